#include "changes/CopyComparison.h"

#include <string>

#include "html/PageText.h"
#include "patrol/FileType.h"
#include "platform/BufferedFile.h"
#include "platform/HostFile.h"

namespace kivo {
namespace {

// Reads the copy at `path` into `bytes`, within kMaxComparedBytes.
CopyRead ReadCopy(std::u16string_view path, std::string& bytes) {
  const platform::UniqueFd file =
      platform::OpenWithModeWord(path, static_cast<uint32_t>(OpenMode::ReadExisting));
  if (!file.IsValid()) {
    return platform::PathExists(path) ? CopyRead::Unreadable : CopyRead::Missing;
  }
  const std::optional<uint64_t> size = platform::FileSize(file.Get());
  if (!size) {
    return CopyRead::Unreadable;
  }
  if (*size > kMaxComparedBytes) {
    return CopyRead::TooLarge;
  }
  bytes.resize(static_cast<size_t>(*size));
  size_t filled = 0;
  while (filled < bytes.size()) {
    const int64_t got = platform::ReadSome(file.Get(), bytes.data() + filled,
                                           static_cast<int64_t>(bytes.size() - filled));
    if (got < 0) {
      return CopyRead::Unreadable;
    }
    if (got == 0) {
      break;  // it became shorter since its size was taken: what is there is compared
    }
    filled += static_cast<size_t>(got);
  }
  bytes.resize(filled);
  // An entry may watch an image or an archive; its bytes are no text.
  if (BinaryByExtension(path).value_or(HasBinarySignature(bytes))) {
    return CopyRead::NotText;
  }
  return CopyRead::Read;
}

}  // namespace

CopyComparison CompareCopies(std::u16string_view olderPath, std::u16string_view newerPath,
                             const platform::CodePage& codePage, const DiffLimits& limits) {
  CopyComparison comparison;
  std::string older;
  std::string newer;
  comparison.Older = ReadCopy(olderPath, older);
  comparison.Newer = ReadCopy(newerPath, newer);
  if (!comparison.BothRead()) {
    return comparison;
  }
  comparison.Diff =
      DiffTexts(ExtractPageText(older, codePage), ExtractPageText(newer, codePage), limits);
  return comparison;
}

}  // namespace kivo
