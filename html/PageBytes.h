#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kivo {

// Pages larger than this are stored but neither analysed nor rewritten: the
// analysis holds the whole page in memory, and no real page comes near it.
inline constexpr uint64_t kMaxAnalysedPageBytes = uint64_t{64} << 20;

enum class PageReadStatus {
  Complete,    // every byte of the file was read
  CannotOpen,  // the file could not be opened for reading
  TooLarge,    // the file is larger than kMaxAnalysedPageBytes; nothing was read
  Incomplete,  // fewer or more bytes than the file's size said were there
};

// The bytes of one stored page as read from its file.
struct PageBytes {
  PageReadStatus Status = PageReadStatus::CannotOpen;
  std::string Bytes;  // the bytes actually read (at most the size the file had when opened)
};

// Reads the whole page file at `path` into memory, up to kMaxAnalysedPageBytes.
PageBytes ReadPageBytes(std::u16string_view path);

// Reads the stored file at `path` and hands whatever could be read to
// `analyse`; returns false when the file cannot be opened. A file larger than
// kMaxAnalysedPageBytes is not analysed and gives true.
template <class Analyse>
bool AnalyseStoredFile(std::u16string_view path, Analyse&& analyse) {
  const PageBytes page = ReadPageBytes(path);
  switch (page.Status) {
    case PageReadStatus::CannotOpen:
      return false;
    case PageReadStatus::TooLarge:
      return true;
    case PageReadStatus::Complete:
    case PageReadStatus::Incomplete:
      // A short read simply yields fewer links.
      break;
  }
  analyse(std::string_view(page.Bytes));
  return true;
}

}  // namespace kivo
