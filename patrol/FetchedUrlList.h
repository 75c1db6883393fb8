#pragma once

#include "support/IndexedList.h"
#include "support/WideString.h"

namespace kivo {

// The URLs fetched successfully in one patrol, pages and images alike, in
// fetch order. Add appends a copy also when the URL is present; Contains
// compares exactly (case-sensitive) and costs the same however many files a
// patrol fetches.
using FetchedUrlList = IndexedList<WideString>;

}  // namespace kivo
