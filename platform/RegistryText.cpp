#include "platform/RegistryText.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/Utf8.h"

namespace kivo::platform {
namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kHexDigits = "0123456789abcdef";

bool IsBlank(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\r';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

std::optional<uint32_t> HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') {
    return static_cast<uint32_t>(ch - '0');
  }
  if (ch >= 'a' && ch <= 'f') {
    return static_cast<uint32_t>(ch - 'a' + 10);
  }
  if (ch >= 'A' && ch <= 'F') {
    return static_cast<uint32_t>(ch - 'A' + 10);
  }
  return std::nullopt;
}

// Reads 1 to maxDigits hex digits that make up all of `text`.
std::optional<uint32_t> ParseHexNumber(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) {
    return std::nullopt;
  }
  uint32_t value = 0;
  for (char ch : text) {
    const auto digit = HexDigit(ch);
    if (!digit) {
      return std::nullopt;
    }
    value = value << 4 | *digit;
  }
  return value;
}

// Splits text into lines, handing out one line at a time without its "\n".
class LineReader {
 public:
  explicit LineReader(std::string_view text) : rest_(text) {}

  // Returns true when there is a next line and it starts with a hex digit,
  // as the continuation lines of hex data do.
  bool NextIsHexContinuation() const {
    const std::string_view next = Trim(rest_.substr(0, rest_.find('\n')));
    return !done_ && !next.empty() && HexDigit(next.front()).has_value();
  }

  bool Next(std::string_view& line) {
    if (done_) {
      return false;
    }
    const size_t end = rest_.find('\n');
    if (end == std::string_view::npos) {
      line = rest_;
      done_ = true;
      return true;
    }
    line = rest_.substr(0, end);
    rest_.remove_prefix(end + 1);
    return true;
  }

 private:
  std::string_view rest_;
  bool done_ = false;
};

// Reads a quoted string that starts at text[0] == '"', undoing the "\\" and
// "\"" escapes. On success `text` is left just after the closing quote.
std::optional<std::string> ReadQuoted(std::string_view& text) {
  std::string out;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '"') {
      text.remove_prefix(i + 1);
      return out;
    }
    if (text[i] == '\\') {
      if (++i == text.size()) {
        break;
      }
    }
    out.push_back(text[i]);
  }
  return std::nullopt;
}

std::string Utf16LeBytes(std::u16string_view units) {
  std::string out;
  out.reserve(units.size() * 2);
  for (char16_t unit : units) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  return out;
}

// Reads the comma-separated bytes of a hex value; a trailing comma is allowed.
std::optional<std::string> ParseHexBytes(std::string_view list) {
  std::string out;
  list = Trim(list);
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view token = Trim(list.substr(0, comma));
    const auto byte = ParseHexNumber(token, 2);
    if (!byte) {
      return std::nullopt;
    }
    out.push_back(static_cast<char>(*byte));
    if (comma == std::string_view::npos) {
      break;
    }
    list = Trim(list.substr(comma + 1));
  }
  return out;
}

struct ParsedData {
  uint32_t Type = 0;
  std::string Bytes;
};

// Reads what follows "=" on a value line. Hex data may continue on the next
// lines, which are then taken from `lines`.
std::optional<ParsedData> ParseData(std::string_view data, LineReader& lines) {
  if (!data.empty() && data.front() == '"') {
    auto text = ReadQuoted(data);
    if (!text || !Trim(data).empty()) {
      return std::nullopt;
    }
    return ParsedData{kRegSz, Utf16LeBytes(Utf16FromUtf8(*text)) + std::string(2, '\0')};
  }
  if (data.starts_with("dword:")) {
    const auto value = ParseHexNumber(Trim(data.substr(6)), 8);
    if (!value) {
      return std::nullopt;
    }
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8) {
      bytes.push_back(static_cast<char>((*value >> shift) & 0xFF));
    }
    return ParsedData{kRegDword, bytes};
  }
  if (!data.starts_with("hex")) {
    return std::nullopt;
  }
  data.remove_prefix(3);
  uint32_t type = kRegBinary;
  if (data.starts_with("(")) {
    const size_t close = data.find(')');
    const auto number = close == std::string_view::npos
                            ? std::nullopt
                            : ParseHexNumber(data.substr(1, close - 1), 8);
    if (!number) {
      return std::nullopt;
    }
    type = *number;
    data.remove_prefix(close + 1);
  }
  if (!data.starts_with(":")) {
    return std::nullopt;
  }
  std::string list(Trim(data.substr(1)));
  std::string_view next;
  // A continuation is taken only when the next line looks like more bytes, so
  // a cut-off value cannot swallow the key line that follows it.
  while (!list.empty() && list.back() == '\\') {
    list.pop_back();
    if (!lines.NextIsHexContinuation() || !lines.Next(next)) {
      break;
    }
    list.append(Trim(next));
  }
  auto bytes = ParseHexBytes(list);
  if (!bytes) {
    return std::nullopt;
  }
  return ParsedData{type, std::move(*bytes)};
}

// Reads one value line into the current key. False when it cannot be read.
bool ParseValueLine(std::string_view line, LineReader& lines, const std::u16string* keyPath,
                    RegistryDocument& document) {
  std::u16string name;
  if (line.front() == '@') {
    line.remove_prefix(1);
  } else {
    auto quoted = ReadQuoted(line);
    if (!quoted) {
      return false;
    }
    name = Utf16FromUtf8(*quoted);
  }
  line = Trim(line);
  if (!line.starts_with("=")) {
    return false;
  }
  auto data = ParseData(Trim(line.substr(1)), lines);
  if (!data || keyPath == nullptr) {
    return false;
  }
  document.SetValue(*keyPath, name, data->Type, data->Bytes);
  return true;
}

// A text file saved by the registry editor is UTF-16LE with a byte-order
// mark; it is turned into UTF-8 so that one parser reads both.
std::string Utf8Text(std::string_view text, bool& clean) {
  if (text.starts_with("\xEF\xBB\xBF")) {
    return std::string(text.substr(3));
  }
  if (!text.starts_with("\xFF\xFE")) {
    return std::string(text);
  }
  text.remove_prefix(2);
  std::u16string units;
  units.reserve(text.size() / 2);
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<uint8_t>(text[i]) |
                                          static_cast<uint8_t>(text[i + 1]) << 8));
  }
  clean = clean && text.size() % 2 == 0;
  return Utf8FromUtf16(units);
}

// Returns the text of a REG_SZ value when a quoted string carries it
// unchanged: an even size, one final NUL and nothing else a line could lose.
std::optional<std::u16string> QuotableText(const RegistryValue& value) {
  const std::string& bytes = value.Data;
  if (value.Type != kRegSz || bytes.size() < 2 || bytes.size() % 2 != 0) {
    return std::nullopt;
  }
  std::u16string units;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                          static_cast<uint8_t>(bytes[i + 1]) << 8));
  }
  if (units.back() != u'\0') {
    return std::nullopt;
  }
  units.pop_back();
  if (units.find(u'\0') != std::u16string::npos || !IsStorableRegistryName(units)) {
    return std::nullopt;
  }
  return units;
}

void AppendQuoted(std::string& out, std::u16string_view text) {
  out.push_back('"');
  for (char ch : Utf8FromUtf16(text)) {
    if (ch == '"' || ch == '\\') {
      out.push_back('\\');
    }
    out.push_back(ch);
  }
  out.push_back('"');
}

void AppendHex(std::string& out, uint32_t value, int minDigits) {
  std::string digits;
  do {
    digits.insert(digits.begin(), kHexDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  out.append(static_cast<size_t>(std::max(0, minDigits - static_cast<int>(digits.size()))), '0');
  out.append(digits);
}

void AppendValue(std::string& out, const RegistryValue& value) {
  if (value.Name.empty()) {
    out.push_back('@');
  } else {
    AppendQuoted(out, value.Name);
  }
  out.push_back('=');
  if (value.Type == kRegDword && value.Data.size() == 4) {
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i) {
      number = number << 8 | static_cast<uint8_t>(value.Data[static_cast<size_t>(i)]);
    }
    out.append("dword:");
    AppendHex(out, number, 8);
  } else if (auto text = QuotableText(value)) {
    AppendQuoted(out, *text);
  } else {
    if (value.Type == kRegBinary) {
      out.append("hex:");
    } else {
      out.append("hex(");
      AppendHex(out, value.Type, 1);
      out.append("):");
    }
    for (size_t i = 0; i < value.Data.size(); ++i) {
      if (i != 0) {
        out.push_back(',');
      }
      AppendHex(out, static_cast<uint8_t>(value.Data[i]), 2);
    }
  }
  out.push_back('\n');
}

}  // namespace

RegistryParseResult ParseRegistryText(std::string_view input) {
  RegistryParseResult result;
  const std::string text = Utf8Text(input, result.Clean);
  LineReader lines(text);
  std::optional<std::u16string> keyPath;
  std::string_view rawLine;
  while (lines.Next(rawLine)) {
    const std::string_view line = Trim(rawLine);
    if (line.empty() || line.front() == ';' || line == kRegistryTextHeader || line == kOldHeader) {
      continue;
    }
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      const std::string_view inner = line.substr(1, line.size() - 2);
      // A deletion line removes a key on import; the store never deletes, so
      // its values are skipped rather than applied to the wrong key.
      if (inner.starts_with("-")) {
        keyPath.reset();
        result.Clean = false;
        continue;
      }
      keyPath = Utf16FromUtf8(inner);
      result.Document.AddKey(*keyPath);
      continue;
    }
    const bool isValue = line.front() == '"' || line.front() == '@';
    if (!isValue || !ParseValueLine(line, lines, keyPath ? &*keyPath : nullptr, result.Document)) {
      result.Clean = false;
    }
  }
  return result;
}

std::string FormatRegistryText(const RegistryDocument& document) {
  std::string out(kRegistryTextHeader);
  out.append("\n");
  for (const RegistryKeyEntry& key : document.Keys()) {
    out.append("\n[");
    out.append(Utf8FromUtf16(key.Path));
    out.append("]\n");
    for (const RegistryValue& value : key.Values) {
      AppendValue(out, value);
    }
  }
  return out;
}

bool IsStorableRegistryName(std::u16string_view name) {
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t unit = name[i];
    if (unit < 0x20) {
      return false;
    }
    if (IsHighSurrogate(unit)) {
      if (i + 1 == name.size() || !IsLowSurrogate(name[i + 1])) {
        return false;
      }
      ++i;
    } else if (IsLowSurrogate(unit)) {
      return false;
    }
  }
  return true;
}

}  // namespace kivo::platform
