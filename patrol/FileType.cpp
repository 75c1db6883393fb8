#include "patrol/FileType.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "platform/BufferedFile.h"
#include "support/AsciiCase.h"
#include "support/WideString.h"

namespace kivo {
namespace {

constexpr std::array<std::u16string_view, 8> kBinaryExtensions = {u"GIF", u"JPG",  u"JPEG", u"AVI",
                                                                  u"MPG", u"MPEG", u"ZIP",  u"LZH"};
constexpr std::array<std::u16string_view, 2> kPageExtensions = {u"HTML", u"HTM"};

struct Signature {
  size_t Offset;
  std::string_view Bytes;
};
// GIF image, JPEG with a JFIF header, LHA archive, ZIP archive.
constexpr std::array<Signature, 4> kSignatures = {Signature{0, "GIF"}, Signature{6, "JFIF"},
                                                  Signature{2, "-lh"}, Signature{0, "PK"}};
constexpr size_t kHeadSize = 16;

template <size_t N>
bool IsOneOf(std::u16string_view extension, const std::array<std::u16string_view, N>& list) {
  for (std::u16string_view candidate : list) {
    if (EqualsNoCase(extension, candidate)) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<bool> BinaryByExtension(std::u16string_view path) {
  const size_t dot = path.rfind(u'.');
  const std::u16string_view extension =
      dot == std::u16string_view::npos ? std::u16string_view() : path.substr(dot + 1);
  if (IsOneOf(extension, kBinaryExtensions)) {
    return true;
  }
  if (IsOneOf(extension, kPageExtensions)) {
    return false;
  }
  return std::nullopt;
}

bool IsBinaryFile(std::u16string_view path) {
  if (const std::optional<bool> byName = BinaryByExtension(path)) {
    return *byName;
  }
  std::array<char, kHeadSize> head{};
  BufferedFile file;
  if (file.Open(path, OpenMode::ReadExisting)) {
    file.Read(head.data(), static_cast<int64_t>(head.size()));
  }
  return HasBinarySignature(std::string_view(head.data(), head.size()));
}

bool HasBinarySignature(std::string_view bytes) {
  // A short body reads as if filled up with zero bytes, as a short file does.
  std::array<char, kHeadSize> head{};
  std::memcpy(head.data(), bytes.data(), std::min(bytes.size(), head.size()));
  for (const Signature& signature : kSignatures) {
    if (std::memcmp(head.data() + signature.Offset, signature.Bytes.data(),
                    signature.Bytes.size()) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace kivo
