#pragma once

#include <iconv.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace kivo::platform {

// The name of the narrow code page that pages are read in: the value of
// KIVO_CODEPAGE when set and not empty, otherwise "CP932".
std::string AnsiCodePageName();

// Owns one iconv conversion descriptor.
class IconvHandle {
 public:
  IconvHandle() = default;
  IconvHandle(const char* to, const char* from);
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  IconvHandle(IconvHandle&& other) noexcept;
  IconvHandle& operator=(IconvHandle&& other) noexcept;
  ~IconvHandle();

  bool IsValid() const { return handle_ != kInvalid; }
  iconv_t Get() const { return handle_; }
  // Returns the descriptor to its initial shift state.
  void Reset() const;

 private:
  static inline const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);
  iconv_t handle_ = kInvalid;
};

// The two-byte characters of a code page whose second byte may be ASCII, as
// in Shift-JIS, where 0x95 0x5C is one character and not a backslash. Text
// in such a code page must never take that second byte for the ASCII
// character; a lead byte before a byte that cannot follow it stands alone, as
// it does in a browser.
struct LeadByteTable {
  std::array<bool, 256> Lead{};   // begins a character that can end in 0x5C
  std::array<bool, 256> Trail{};  // may end a character that a lead byte begins
};

// Lossless conversions between one narrow code page and UTF-16.
//
// Decoding goes character by character: a byte that does not start a valid
// character becomes the escaped unit U+DC80 + byte, and Encode turns that unit
// back into the same byte, so Encode(Decode(b)) == b for every byte string.
// A character the code page cannot represent is written as its UTF-8 bytes,
// percent-encoded; narrow text only ever ends up in pages as URL references.
// An object is not thread-safe: iconv descriptors carry state.
class CodePage {
 public:
  // Opens converters for `name`; an unknown name gives an invalid object
  // that converts as ISO-8859-1 so that no byte is ever lost.
  explicit CodePage(const std::string& name);

  bool IsValid() const { return decoder_.IsValid() && encoder_.IsValid(); }
  const std::string& Name() const { return name_; }

  std::u16string Decode(std::string_view bytes) const;
  // Decodes for reading only, in one linear pass: every byte sequence becomes
  // the character the code page gives it, so the NEC and IBM copies of a
  // kanji read alike, and a byte that starts no valid character becomes
  // U+DC80 + byte. Encode does not always give back the same bytes.
  std::u16string DecodeForReading(std::string_view bytes) const;
  std::string Encode(std::u16string_view text) const;
  // Returns the code page's lead and trail bytes, worked out once when it was
  // opened; both are empty for a code page whose characters never end in an
  // ASCII byte.
  const LeadByteTable& LeadBytes() const { return leadBytes_; }

 private:
  LeadByteTable FindLeadBytes() const;
  // The number of bytes at the start of `bytes`, which start no valid
  // character, to escape as one.
  size_t InvalidLength(std::string_view bytes) const;
  void DecodeWithIconv(std::string_view bytes, std::u16string& out) const;
  void DecodeReversibly(std::string_view bytes, std::u16string& out) const;
  bool DecodeStrictly(std::string_view bytes, std::u16string& character) const;
  void EncodeRun(std::u16string_view run, std::string& out) const;

  std::string name_;
  IconvHandle decoder_;
  IconvHandle encoder_;
  // True when bytes 0x00..0x7F map to the same code points, which lets pure
  // ASCII text skip iconv altogether.
  bool asciiIdentity_ = false;
  LeadByteTable leadBytes_;
};

}  // namespace kivo::platform
