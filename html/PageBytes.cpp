#include "html/PageBytes.h"

#include "support/BufferedFile.h"

namespace kivo {

PageBytes ReadPageBytes(std::u16string_view path) {
  PageBytes page;
  BufferedFile file;
  if (!file.Open(path, OpenMode::ReadExisting)) {
    page.Status = PageReadStatus::CannotOpen;
    return page;
  }
  const uint64_t size = file.Size();
  if (size > kMaxAnalysedPageBytes) {
    page.Status = PageReadStatus::TooLarge;
    return page;
  }
  page.Bytes.resize(static_cast<size_t>(size));
  const int64_t got = file.Read(page.Bytes.data(), static_cast<int64_t>(size));
  // Only the bytes that really arrived count; a file that shrank, failed to
  // read or had no readable size is reported so that nobody overwrites it.
  page.Bytes.resize(static_cast<size_t>(got));
  char extra = 0;
  const bool grew = file.Read(&extra, 1) != 0;
  page.Status = (static_cast<uint64_t>(got) == size && !grew) ? PageReadStatus::Complete
                                                              : PageReadStatus::Incomplete;
  return page;
}

}  // namespace kivo
