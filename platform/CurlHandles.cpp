#include "platform/CurlHandles.h"

#include <mutex>

namespace kivo::platform {

bool EnsureCurlGlobalInit() {
  // curl_global_init is not thread-safe and must run once before any other libcurl call; the
  // library stays initialised for the life of the process.
  static std::once_flag once;
  static bool initialised = false;
  std::call_once(once, [] { initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return initialised;
}

}  // namespace kivo::platform
