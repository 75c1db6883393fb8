#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/HttpResponseHead.h"

namespace kivo::platform {

// Where a transfer delivers its final response. Both calls come from inside
// HttpConnections::Wait, on the thread that waits.
class HttpBodySink {
 public:
  virtual ~HttpBodySink() = default;
  // Takes the headers of the final response (redirects are followed first), once, whatever
  // its status (a 304 included); false stops the transfer, because its body is not wanted.
  virtual bool OnHead(const HttpResponseHead& head) = 0;
  // Takes the next piece of the body; false stops the transfer.
  virtual bool OnBody(const uint8_t* data, size_t size) = 0;
};

}  // namespace kivo::platform
