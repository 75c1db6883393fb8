#pragma once

#include "support/WideString.h"

namespace kivo {

// One file that a patrol stored: where it came from and where it now lies.
struct FetchedFile {
  WideString Url;        // the absolute URL exactly as it was requested
  WideString LocalPath;  // full path of the local copy
};

}  // namespace kivo
