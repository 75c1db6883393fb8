#include "html/PageBytes.h"

#include <algorithm>

#include "platform/HostFile.h"

namespace kivo {
namespace {

// Read access, fail when the file does not exist: the mode word of BufferedFile's ReadExisting.
constexpr uint32_t kReadExisting = 0x80000003u;
// Whole pages are read in large pieces rather than through a small buffer.
constexpr int64_t kReadPiece = int64_t{1} << 20;

}  // namespace

PageBytes ReadPageBytes(std::u16string_view path) {
  PageBytes page;
  const platform::UniqueFd file = platform::OpenWithModeWord(path, kReadExisting);
  if (!file.IsValid()) {
    page.Status = PageReadStatus::CannotOpen;
    return page;
  }
  const std::optional<uint64_t> size = platform::FileSize(file.Get());
  if (size.has_value() && *size > kMaxAnalysedPageBytes) {
    page.Status = PageReadStatus::TooLarge;
    return page;
  }
  const int64_t expected = static_cast<int64_t>(size.value_or(0));
  page.Bytes.resize(static_cast<size_t>(expected));
  int64_t got = 0;
  while (got < expected) {
    const int64_t n = platform::ReadSome(file.Get(), page.Bytes.data() + got,
                                         std::min(kReadPiece, expected - got));
    if (n <= 0) {
      break;
    }
    got += n;
  }
  // Only the bytes that really arrived count. A file that shrank, failed to
  // read, had no readable size or grew meanwhile is reported, so that nobody
  // overwrites it with a part of itself.
  page.Bytes.resize(static_cast<size_t>(got));
  char extra = 0;
  const bool grew = platform::ReadSome(file.Get(), &extra, 1) != 0;
  page.Status = (size.has_value() && got == expected && !grew) ? PageReadStatus::Complete
                                                               : PageReadStatus::Incomplete;
  return page;
}

}  // namespace kivo
