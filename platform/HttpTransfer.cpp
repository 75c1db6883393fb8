#include "platform/HttpTransfer.h"

#include <string_view>
#include <utility>

#include "platform/HttpConnections.h"

namespace kivo::platform {

HttpTransfer::HttpTransfer(Key /*key*/, HttpConnections& owner, HttpScheme scheme,
                           std::string origin, std::string target, CurlSlist headers,
                           HttpBodySink& sink)
    : owner_(owner),
      scheme_(scheme),
      origin_(std::move(origin)),
      target_(std::move(target)),
      headers_(std::move(headers)),
      sink_(sink) {}

HttpTransfer::~HttpTransfer() {
  if (slot_ >= 0) {
    owner_.Detach(*this);
  }
}

bool HttpTransfer::CompletedWhole() const {
  return finished_ && error_ == HttpError::None && headTaken_ && !sinkStopped_;
}

void HttpTransfer::Fail(HttpError error) {
  if (error_ == HttpError::None) {
    error_ = error;
  }
  finished_ = true;
}

void HttpTransfer::Reset(int32_t slot, TransferWatch watch) {
  slot_ = slot;
  head_ = HttpResponseHead();
  headBytes_ = 0;
  redirecting_ = false;
  responded_ = false;
  socket_ = -1;
  watch_ = watch;
}

size_t HttpTransfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto& transfer = *static_cast<HttpTransfer*>(self);
  const size_t length = size * count;
  transfer.watch_.Received(length, transfer.owner_.waited_);
  transfer.responded_ = true;
  transfer.headBytes_ += length;
  if (transfer.headBytes_ > kMaxHeadBytes) {
    transfer.error_ = HttpError::HeadTooLarge;  // Finish ends it with this reason
    return 0;
  }
  // Lines after the final head are the trailers of a chunked body. They are read past and
  // never change the head that the sink has taken.
  if (transfer.head_.Complete) {
    return length;
  }
  transfer.head_.AddLine(std::string_view(data, length));
  if (!transfer.head_.Complete) {
    return length;
  }
  // A redirect's body is never read: the transfer stops here and the next
  // hop starts once libcurl has let go of it.
  if (transfer.head_.IsRedirect()) {
    transfer.redirecting_ = true;
    return 0;
  }
  if (!transfer.sink_.OnHead(transfer.head_)) {
    transfer.sinkStopped_ = true;
    return 0;
  }
  transfer.headTaken_ = true;
  return length;
}

size_t HttpTransfer::OnBody(char* data, size_t size, size_t count, void* self) {
  auto& transfer = *static_cast<HttpTransfer*>(self);
  const size_t length = size * count;
  transfer.watch_.Received(length, transfer.owner_.waited_);
  if (!transfer.headTaken_) {
    return length;  // the body of a response whose head was not complete: not ours
  }
  if (!transfer.sink_.OnBody(reinterpret_cast<const uint8_t*>(data), length)) {
    transfer.sinkStopped_ = true;
    return 0;
  }
  return length;
}

int HttpTransfer::OnConnected(void* self, char* /*remoteIp*/, char* /*localIp*/, int /*remotePort*/,
                              int localPort) {
  auto& transfer = *static_cast<HttpTransfer*>(self);
  transfer.watch_.Begin(transfer.owner_.waited_);
  transfer.socket_ = transfer.owner_.sockets_.Claim(localPort, &transfer);
  return CURL_PREREQFUNC_OK;
}

}  // namespace kivo::platform
