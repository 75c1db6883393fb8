#pragma once

#include <string_view>

#include "html/FetchedFile.h"
#include "support/IndexedList.h"

namespace kivo {

// A stored file's key in a FetchedFileList: the URL it came from.
struct FetchedFileUrl {
  std::u16string_view operator()(const FetchedFile& file) const { return file.Url.View(); }
};

// The files of one patrol in the order they were stored, indexed by URL.
// Find returns the first record of a URL in that order, and records never
// change once added.
using FetchedFileList = IndexedList<FetchedFile, FetchedFileUrl>;

}  // namespace kivo
