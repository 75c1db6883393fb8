#include "platform/CodePage.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>

#include "platform/Utf8.h"

namespace kivo::platform {
namespace {

constexpr size_t kChunk = 4096;

bool IsAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

bool IsAscii(std::u16string_view text) {
  for (char16_t u : text) {
    if (u >= 0x80) {
      return false;
    }
  }
  return true;
}

// Maps every byte to the code point of the same value.
std::u16string WidenBytes(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) {
    out.push_back(b);
  }
  return out;
}

// Bytes 0x80..0xFF are escaped as U+DC80..U+DCFF. An ASCII byte has no
// escaped form; it can only fail to decode in code pages that are not ASCII
// based, and is then kept as its own code point.
char16_t EscapeByte(char byte) {
  const auto b = static_cast<unsigned char>(byte);
  return b >= 0x80 ? static_cast<char16_t>(kEscapedByteBase + b) : static_cast<char16_t>(b);
}

void AppendPercentEncoded(std::u16string_view character, std::string& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (unsigned char byte : Utf8FromUtf16(character)) {
    out.push_back('%');
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0xF]);
  }
}

// Writes units below 0x100 as single bytes, the way the fallback decoder reads
// them, escaped bytes as their byte, and anything else percent-encoded.
void EncodeWithoutConverter(std::u16string_view text, std::string& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    // A pair is taken whole first: its second half may lie in the escaped range.
    const bool pair = i + 1 < text.size() && IsHighSurrogate(u) && IsLowSurrogate(text[i + 1]);
    if (pair) {
      AppendPercentEncoded(text.substr(i, 2), out);
      ++i;
    } else if (IsEscapedByte(u)) {
      out.push_back(static_cast<char>(u - kEscapedByteBase));
    } else if (u < 0x100) {
      out.push_back(static_cast<char>(u));
    } else {
      AppendPercentEncoded(text.substr(i, 1), out);
    }
  }
}

}  // namespace

std::string AnsiCodePageName() {
  const char* name = std::getenv("KIVO_CODEPAGE");
  return (name != nullptr && *name != '\0') ? std::string(name) : std::string("CP932");
}

IconvHandle::IconvHandle(const char* to, const char* from) : handle_(::iconv_open(to, from)) {}

IconvHandle::IconvHandle(IconvHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, kInvalid)) {}

IconvHandle& IconvHandle::operator=(IconvHandle&& other) noexcept {
  std::swap(handle_, other.handle_);
  return *this;
}

IconvHandle::~IconvHandle() {
  if (IsValid()) {
    ::iconv_close(handle_);
  }
}

void IconvHandle::Reset() const {
  if (IsValid()) {
    ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
  }
}

CodePage::CodePage(const std::string& name)
    : name_(name), decoder_("UTF-16LE", name.c_str()), encoder_(name.c_str(), "UTF-16LE") {
  if (!IsValid()) {
    return;
  }
  std::string ascii;
  for (int b = 1; b < 0x80; ++b) {
    ascii.push_back(static_cast<char>(b));
  }
  std::u16string decoded;
  DecodeWithIconv(ascii, decoded);
  asciiIdentity_ = decoded.size() == ascii.size();
  for (size_t i = 0; asciiIdentity_ && i < ascii.size(); ++i) {
    asciiIdentity_ = decoded[i] == static_cast<char16_t>(ascii[i]);
  }
  leadBytes_ = FindLeadBytes();
}

LeadByteTable CodePage::FindLeadBytes() const {
  LeadByteTable table;
  const std::u16string backslash = Decode("\\");
  std::optional<char> sample;
  for (size_t b = 0x80; b < table.Lead.size(); ++b) {
    const char pair[] = {static_cast<char>(b), '\\'};
    table.Lead[b] = !Decode(std::string_view(pair, 2)).ends_with(backslash);
    if (table.Lead[b] && !sample.has_value()) {
      sample = static_cast<char>(b);
    }
  }
  if (!sample.has_value()) {
    return table;
  }
  // A byte that makes one character with the lead byte decodes differently
  // from the two bytes each on its own.
  const std::u16string lead = Decode(std::string_view(&*sample, 1));
  for (size_t b = 0; b < table.Trail.size(); ++b) {
    const char pair[] = {*sample, static_cast<char>(b)};
    table.Trail[b] =
        Decode(std::string_view(pair, 2)) != lead + Decode(std::string_view(pair + 1, 1));
  }
  return table;
}

std::u16string CodePage::Decode(std::string_view bytes) const {
  if (!IsValid() || (asciiIdentity_ && IsAscii(bytes))) {
    // Without a converter every byte maps to the code point of the same value,
    // which is lossless too.
    return WidenBytes(bytes);
  }
  std::u16string out;
  DecodeWithIconv(bytes, out);
  if (Encode(out) == bytes) {
    return out;
  }
  // Some code pages map several byte sequences to one character (CP932 has
  // NEC and IBM copies of the same kanji), so a plain decode is not always
  // reversible. Then decode character by character and escape the bytes of
  // every character that would not come back as the same bytes.
  out.clear();
  DecodeReversibly(bytes, out);
  return out;
}

std::u16string CodePage::DecodeForReading(std::string_view bytes) const {
  if (!IsValid() || (asciiIdentity_ && IsAscii(bytes))) {
    return WidenBytes(bytes);
  }
  std::u16string out;
  DecodeWithIconv(bytes, out);
  return out;
}

void CodePage::DecodeReversibly(std::string_view bytes, std::u16string& out) const {
  constexpr size_t kMaxCharacterBytes = 4;
  while (!bytes.empty()) {
    size_t taken = 0;
    for (size_t length = 1; length <= std::min(kMaxCharacterBytes, bytes.size()); ++length) {
      std::u16string character;
      if (!DecodeStrictly(bytes.substr(0, length), character)) {
        continue;
      }
      if (Encode(character) == bytes.substr(0, length)) {
        out += character;
        taken = length;
      }
      break;
    }
    if (taken == 0) {
      taken = InvalidLength(bytes);
      for (size_t i = 0; i < taken; ++i) {
        out.push_back(EscapeByte(bytes[i]));
      }
    }
    bytes.remove_prefix(taken);
  }
}

size_t CodePage::InvalidLength(std::string_view bytes) const {
  // A lead byte and a non-ASCII byte that may follow it are read as one
  // character even where they make none, as a browser reads them, so the
  // next byte is never taken for a trail byte: in Shift-JIS, 0x83 0x99
  // before a backslash must leave the backslash standing. An ASCII byte
  // after the lead byte stands on its own. Other bytes are escaped alone,
  // since the bytes after them may well start a character of their own.
  const bool pair = bytes.size() >= 2 && leadBytes_.Lead[static_cast<unsigned char>(bytes[0])] &&
                    static_cast<unsigned char>(bytes[1]) >= 0x80 &&
                    leadBytes_.Trail[static_cast<unsigned char>(bytes[1])];
  return pair ? 2 : 1;
}

bool CodePage::DecodeStrictly(std::string_view bytes, std::u16string& character) const {
  decoder_.Reset();
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  std::array<char, 16> chunk{};
  char* outPtr = chunk.data();
  size_t outLeft = chunk.size();
  if (::iconv(decoder_.Get(), &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
      inLeft != 0 || outPtr == chunk.data()) {
    return false;
  }
  for (const char* p = chunk.data(); p + 1 < outPtr; p += 2) {
    character.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                              (static_cast<unsigned char>(p[1]) << 8)));
  }
  return true;
}

void CodePage::DecodeWithIconv(std::string_view bytes, std::u16string& out) const {
  out.reserve(out.size() + bytes.size());
  decoder_.Reset();
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  std::array<char, kChunk> chunk{};
  while (true) {
    char* outPtr = chunk.data();
    size_t outLeft = chunk.size();
    const size_t result =
        ::iconv(decoder_.Get(), inLeft ? &in : nullptr, &inLeft, &outPtr, &outLeft);
    const int error = result == static_cast<size_t>(-1) ? errno : 0;
    for (const char* p = chunk.data(); p + 1 < outPtr; p += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                          (static_cast<unsigned char>(p[1]) << 8)));
    }
    if (error == E2BIG) {
      continue;
    }
    if (error == EILSEQ || error == EINVAL) {
      // The bytes at `in` start no valid character: keep them as escaped
      // units and go on after them.
      const size_t invalid = InvalidLength(std::string_view(in, inLeft));
      for (size_t i = 0; i < invalid; ++i) {
        out.push_back(EscapeByte(in[i]));
      }
      in += invalid;
      inLeft -= invalid;
      decoder_.Reset();
      continue;
    }
    if (inLeft == 0) {
      return;
    }
  }
}

std::string CodePage::Encode(std::u16string_view text) const {
  std::string out;
  out.reserve(text.size() * 2);
  if (!IsValid() || (asciiIdentity_ && IsAscii(text))) {
    EncodeWithoutConverter(text, out);
    return out;
  }
  // Escaped bytes are written back as they were; the runs between them go
  // through iconv.
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !IsEscapedByteAt(text, i)) {
      continue;
    }
    EncodeRun(text.substr(start, i - start), out);
    if (i < text.size()) {
      out.push_back(static_cast<char>(text[i] - kEscapedByteBase));
    }
    start = i + 1;
  }
  return out;
}

void CodePage::EncodeRun(std::u16string_view run, std::string& out) const {
  if (run.empty()) {
    return;
  }
  std::string input;
  input.reserve(run.size() * 2);
  for (char16_t u : run) {
    input.push_back(static_cast<char>(u & 0xFF));
    input.push_back(static_cast<char>(u >> 8));
  }
  encoder_.Reset();
  char* in = input.data();
  size_t inLeft = input.size();
  std::array<char, kChunk> chunk{};
  while (true) {
    char* outPtr = chunk.data();
    size_t outLeft = chunk.size();
    size_t result = ::iconv(encoder_.Get(), &in, &inLeft, &outPtr, &outLeft);
    int error = result == static_cast<size_t>(-1) ? errno : 0;
    if (error == 0) {
      // Flush any shift sequence that a stateful code page needs at the end.
      result = ::iconv(encoder_.Get(), nullptr, nullptr, &outPtr, &outLeft);
      error = result == static_cast<size_t>(-1) ? errno : 0;
    }
    out.append(chunk.data(), static_cast<size_t>(outPtr - chunk.data()));
    if (error == E2BIG) {
      continue;
    }
    if (error == EILSEQ || error == EINVAL) {
      // The character at `in` has no form in this code page, or is a broken
      // surrogate: write it percent-encoded and resume after it.
      const size_t index = static_cast<size_t>(in - input.data()) / 2;
      const bool pair =
          index + 1 < run.size() && IsHighSurrogate(run[index]) && IsLowSurrogate(run[index + 1]);
      const size_t units = pair ? 2 : 1;
      AppendPercentEncoded(run.substr(index, units), out);
      in += units * 2;
      inLeft -= units * 2;
      encoder_.Reset();
      continue;
    }
    return;
  }
}

}  // namespace kivo::platform
