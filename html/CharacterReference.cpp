#include "html/CharacterReference.h"

#include <algorithm>
#include <array>
#include <optional>

namespace kivo {
namespace {

struct NamedCharacter {
  std::string_view Name;
  char32_t CodePoint;
};

// The names of U+00A0..U+00FF, in code point order. Browsers read each of
// them even without its ";".
constexpr std::array<std::string_view, 96> kLatin1Names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

// The other names of HTML 4 (symbols, Greek letters, punctuation), "apos",
// and the capitalised spellings that browsers accept for the oldest names.
// The angle brackets take the code points browsers use today.
constexpr NamedCharacter kOtherNames[] = {
    {"quot", 34},     {"amp", 38},      {"apos", 39},      {"lt", 60},        {"gt", 62},
    {"QUOT", 34},     {"AMP", 38},      {"LT", 60},        {"GT", 62},        {"COPY", 169},
    {"REG", 174},     {"OElig", 338},   {"oelig", 339},    {"Scaron", 352},   {"scaron", 353},
    {"Yuml", 376},    {"fnof", 402},    {"circ", 710},     {"tilde", 732},    {"Alpha", 913},
    {"Beta", 914},    {"Gamma", 915},   {"Delta", 916},    {"Epsilon", 917},  {"Zeta", 918},
    {"Eta", 919},     {"Theta", 920},   {"Iota", 921},     {"Kappa", 922},    {"Lambda", 923},
    {"Mu", 924},      {"Nu", 925},      {"Xi", 926},       {"Omicron", 927},  {"Pi", 928},
    {"Rho", 929},     {"Sigma", 931},   {"Tau", 932},      {"Upsilon", 933},  {"Phi", 934},
    {"Chi", 935},     {"Psi", 936},     {"Omega", 937},    {"alpha", 945},    {"beta", 946},
    {"gamma", 947},   {"delta", 948},   {"epsilon", 949},  {"zeta", 950},     {"eta", 951},
    {"theta", 952},   {"iota", 953},    {"kappa", 954},    {"lambda", 955},   {"mu", 956},
    {"nu", 957},      {"xi", 958},      {"omicron", 959},  {"pi", 960},       {"rho", 961},
    {"sigmaf", 962},  {"sigma", 963},   {"tau", 964},      {"upsilon", 965},  {"phi", 966},
    {"chi", 967},     {"psi", 968},     {"omega", 969},    {"thetasym", 977}, {"upsih", 978},
    {"piv", 982},     {"ensp", 8194},   {"emsp", 8195},    {"thinsp", 8201},  {"zwnj", 8204},
    {"zwj", 8205},    {"lrm", 8206},    {"rlm", 8207},     {"ndash", 8211},   {"mdash", 8212},
    {"lsquo", 8216},  {"rsquo", 8217},  {"sbquo", 8218},   {"ldquo", 8220},   {"rdquo", 8221},
    {"bdquo", 8222},  {"dagger", 8224}, {"Dagger", 8225},  {"bull", 8226},    {"hellip", 8230},
    {"permil", 8240}, {"prime", 8242},  {"Prime", 8243},   {"lsaquo", 8249},  {"rsaquo", 8250},
    {"oline", 8254},  {"frasl", 8260},  {"euro", 8364},    {"image", 8465},   {"weierp", 8472},
    {"real", 8476},   {"trade", 8482},  {"alefsym", 8501}, {"larr", 8592},    {"uarr", 8593},
    {"rarr", 8594},   {"darr", 8595},   {"harr", 8596},    {"crarr", 8629},   {"lArr", 8656},
    {"uArr", 8657},   {"rArr", 8658},   {"dArr", 8659},    {"hArr", 8660},    {"forall", 8704},
    {"part", 8706},   {"exist", 8707},  {"empty", 8709},   {"nabla", 8711},   {"isin", 8712},
    {"notin", 8713},  {"ni", 8715},     {"prod", 8719},    {"sum", 8721},     {"minus", 8722},
    {"lowast", 8727}, {"radic", 8730},  {"prop", 8733},    {"infin", 8734},   {"ang", 8736},
    {"and", 8743},    {"or", 8744},     {"cap", 8745},     {"cup", 8746},     {"int", 8747},
    {"there4", 8756}, {"sim", 8764},    {"cong", 8773},    {"asymp", 8776},   {"ne", 8800},
    {"equiv", 8801},  {"le", 8804},     {"ge", 8805},      {"sub", 8834},     {"sup", 8835},
    {"nsub", 8836},   {"sube", 8838},   {"supe", 8839},    {"oplus", 8853},   {"otimes", 8855},
    {"perp", 8869},   {"sdot", 8901},   {"lceil", 8968},   {"rceil", 8969},   {"lfloor", 8970},
    {"rfloor", 8971}, {"lang", 10216},  {"rang", 10217},   {"loz", 9674},     {"spades", 9824},
    {"clubs", 9827},  {"hearts", 9829}, {"diams", 9830},
};

constexpr size_t kNameCount = kLatin1Names.size() + std::size(kOtherNames);

// Every name, sorted for binary search.
constexpr std::array<NamedCharacter, kNameCount> SortedNames() {
  std::array<NamedCharacter, kNameCount> names{};
  size_t n = 0;
  for (size_t i = 0; i < kLatin1Names.size(); ++i) {
    names[n++] = {kLatin1Names[i], static_cast<char32_t>(0xA0 + i)};
  }
  for (const NamedCharacter& named : kOtherNames) {
    names[n++] = named;
  }
  std::sort(names.begin(), names.end(),
            [](const NamedCharacter& a, const NamedCharacter& b) { return a.Name < b.Name; });
  return names;
}

constexpr std::array<NamedCharacter, kNameCount> kSortedNames = SortedNames();

// What browsers show for the numbers 0x80..0x9F: the windows-1252 characters.
// The five numbers that code page leaves unassigned stand for themselves.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr size_t kMaxNameLength = 32;
// The longest of the names that browsers read without a ";" ("frac14").
constexpr size_t kMaxLegacyNameLength = 6;
constexpr char32_t kReplacement = 0xFFFD;

bool IsAsciiAlnum(char16_t u) {
  return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

int DigitValue(char16_t u, int base) {
  if (u >= '0' && u <= '9') {
    return u - '0';
  }
  if (base == 16 && u >= 'a' && u <= 'f') {
    return u - 'a' + 10;
  }
  if (base == 16 && u >= 'A' && u <= 'F') {
    return u - 'A' + 10;
  }
  return -1;
}

std::optional<char32_t> FindName(std::u16string_view name) {
  char ascii[kMaxNameLength];
  for (size_t i = 0; i < name.size(); ++i) {
    ascii[i] = static_cast<char>(name[i]);
  }
  const std::string_view key(ascii, name.size());
  const auto it = std::lower_bound(
      kSortedNames.begin(), kSortedNames.end(), key,
      [](const NamedCharacter& named, std::string_view k) { return named.Name < k; });
  if (it == kSortedNames.end() || it->Name != key) {
    return std::nullopt;
  }
  return it->CodePoint;
}

// Browsers read the names of characters below U+0100 without a ";", all
// but "apos", which is younger than that habit.
bool IsLegacyName(char32_t codePoint, std::u16string_view name) {
  return codePoint < 0x100 && name != u"apos";
}

CharacterReference ReadNumber(std::u16string_view text, size_t pos) {
  size_t at = pos + 2;
  int base = 10;
  if (at < text.size() && (text[at] == 'x' || text[at] == 'X')) {
    base = 16;
    ++at;
  }
  const size_t firstDigit = at;
  char32_t value = 0;
  for (int digit = 0; at < text.size() && (digit = DigitValue(text[at], base)) >= 0; ++at) {
    // Saturate past the last code point, so that a long run of digits stays harmless.
    value = std::min<char32_t>(value * base + digit, 0x110000);
  }
  if (at == firstDigit) {
    return {};
  }
  if (at < text.size() && text[at] == ';') {
    ++at;
  }
  if (value >= 0x80 && value <= 0x9F) {
    value = kWindows1252High[value - 0x80];
  } else if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    value = kReplacement;
  }
  return {at - pos, value};
}

CharacterReference ReadName(std::u16string_view text, size_t pos, ReferenceContext context) {
  const size_t start = pos + 1;
  size_t end = start;
  while (end < text.size() && end - start < kMaxNameLength && IsAsciiAlnum(text[end])) {
    ++end;
  }
  if (end < text.size() && text[end] == ';') {
    if (const std::optional<char32_t> found = FindName(text.substr(start, end - start))) {
      return {end + 1 - pos, *found};
    }
  }
  // Without a ";", the longest legacy name that begins the run counts.
  for (size_t length = std::min(end - start, kMaxLegacyNameLength); length > 0; --length) {
    const std::u16string_view name = text.substr(start, length);
    const std::optional<char32_t> found = FindName(name);
    if (!found || !IsLegacyName(*found, name)) {
      continue;
    }
    const size_t after = start + length;
    const bool runsOn = after < text.size() && (IsAsciiAlnum(text[after]) || text[after] == '=');
    if (context == ReferenceContext::Attribute && runsOn) {
      return {};
    }
    return {after - pos, *found};
  }
  return {};
}

}  // namespace

CharacterReference ReadCharacterReference(std::u16string_view text, size_t pos,
                                          ReferenceContext context) {
  if (pos + 1 >= text.size() || text[pos] != '&') {
    return {};
  }
  if (text[pos + 1] == '#') {
    return ReadNumber(text, pos);
  }
  return ReadName(text, pos, context);
}

}  // namespace kivo
