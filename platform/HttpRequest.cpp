#include "platform/HttpRequest.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "platform/HttpDate.h"
#include "platform/HttpSession.h"
#include "platform/HttpText.h"
#include "support/AsciiCase.h"

namespace kivo::platform {
namespace {

using Clock = std::chrono::steady_clock;

// libcurl's receive buffer, and so the largest piece it hands over at once.
constexpr long kCurlBufferSize = 16384;
}  // namespace

HttpRequest::HttpRequest(Key /*key*/, HttpSession& session, HttpScheme scheme,
                         HttpAuthority authority, std::string target)
    : session_(session),
      scheme_(scheme),
      authority_(std::move(authority)),
      target_(std::move(target)) {}

HttpRequest::~HttpRequest() {
  StopTransfer();
  session_.ReleaseRequest();
}

bool HttpRequest::Send() {
  if (sent_) {
    return false;
  }
  sent_ = true;
  headers_.reset(curl_slist_append(nullptr, "Accept: */*"));
  if (!headers_) {
    Fail(HttpError::Setup);
    return false;
  }
  const std::string origin = OriginText(scheme_, authority_);
  currentUrl_ = origin + target_;
  // libcurl drops a URL's fragment, so the request target is given as it is. A plain HTTP proxy
  // needs the absolute URI; a tunnel (https) carries the origin form.
  const bool absolute = scheme_ == HttpScheme::Http && !session_.ProxyFor(scheme_).empty();
  const std::string requestTarget = absolute ? currentUrl_ : target_;
  if (!StartTransfer(origin + "/", &requestTarget, scheme_)) {
    return false;
  }
  for (;;) {
    if (!PumpUntilHeaders()) {
      return false;
    }
    if (!head_.IsRedirect()) {
      break;
    }
    if (!FollowRedirect()) {
      return false;
    }
  }
  status_ = head_.Status;
  return true;
}

std::optional<SystemTime> HttpRequest::QueryLastModified() const {
  if (status_ == 0) {
    return std::nullopt;
  }
  return head_.LastModifiedTime();
}

std::optional<uint64_t> HttpRequest::QueryContentLength() const {
  if (status_ == 0) {
    return std::nullopt;
  }
  return head_.ContentLengthValue();
}

int32_t HttpRequest::Read(uint8_t* buffer, int32_t capacity) {
  // Checked here too, because a fast endless body would never make the request wait.
  if (status_ == 0 || buffer == nullptr || capacity <= 0 || Abandoned() || !PumpUntilBody()) {
    return 0;
  }
  const size_t available = pending_.size() - pendingPos_;
  const size_t count =
      std::min({available, static_cast<size_t>(capacity), static_cast<size_t>(kMaxRead)});
  std::memcpy(buffer, pending_.data() + pendingPos_, count);
  pendingPos_ += count;
  return static_cast<int32_t>(count);
}

bool HttpRequest::CompletedWhole() const {
  return status_ != 0 && finished_ && error_ == HttpError::None && !paused_ &&
         pendingPos_ >= pending_.size();
}

bool HttpRequest::StartTransfer(const std::string& url, const std::string* requestTarget,
                                HttpScheme scheme) {
  CurlEasy easy(curl_easy_init());
  if (!easy) {
    Fail(HttpError::Setup);
    return false;
  }
  CURL* handle = easy.get();
  bool ok = true;
  const auto set = [&](CURLoption option, auto value) {
    ok = ok && curl_easy_setopt(handle, option, value) == CURLE_OK;
  };
  set(CURLOPT_URL, url.c_str());
  if (requestTarget != nullptr) {
    set(CURLOPT_REQUEST_TARGET, requestTarget->c_str());
  }
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_USERAGENT, kHttpAgent);
  set(CURLOPT_HTTPHEADER, headers_.get());
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_FOLLOWLOCATION, 0L);
  // An empty proxy text also keeps libcurl from taking one from http_proxy and the like, and
  // an empty no-proxy list keeps no_proxy from the environment out as well.
  set(CURLOPT_PROXY, session_.ProxyFor(scheme).c_str());
  set(CURLOPT_NOPROXY, "");
  set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  set(CURLOPT_BUFFERSIZE, kCurlBufferSize);
  set(CURLOPT_SSL_VERIFYPEER, 1L);
  set(CURLOPT_SSL_VERIFYHOST, 2L);
  if (session_.ConnectTimeoutMs() != 0) {
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(session_.ConnectTimeoutMs()));
  }
  set(CURLOPT_HEADERFUNCTION, &HttpRequest::OnHeader);
  set(CURLOPT_HEADERDATA, static_cast<void*>(this));
  set(CURLOPT_WRITEFUNCTION, &HttpRequest::OnBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(this));
  set(CURLOPT_PREREQFUNCTION, &HttpRequest::OnConnected);
  set(CURLOPT_PREREQDATA, static_cast<void*>(this));
  if (!ok || curl_multi_add_handle(session_.Multi(), handle) != CURLM_OK) {
    Fail(HttpError::Setup);
    return false;
  }
  easy_ = std::move(easy);
  attached_ = true;
  finished_ = false;
  paused_ = false;
  awaitingData_ = false;
  connected_ = false;
  head_ = HttpResponseHead();
  lastActivity_ = Clock::now();
  windowWaited_ = Clock::duration::zero();
  windowBytes_ = 0;
  return true;
}

void HttpRequest::StopTransfer() {
  if (attached_) {
    // Removing an unfinished transfer closes its connection, so an unread body is never
    // mistaken for the next response.
    curl_multi_remove_handle(session_.Multi(), easy_.get());
    attached_ = false;
  }
  easy_.reset();
  pending_.clear();
  pendingPos_ = 0;
  paused_ = false;
}

bool HttpRequest::FollowRedirect() {
  if (redirects_ >= kMaxRedirects) {
    Fail(HttpError::Redirect);
    return false;
  }
  const std::optional<HttpRedirectTarget> next = ResolveRedirect(currentUrl_, *head_.Location);
  if (!next) {
    Fail(HttpError::Redirect);
    return false;
  }
  StopTransfer();
  ++redirects_;
  currentUrl_ = next->Url;
  return StartTransfer(currentUrl_, nullptr, next->Scheme);
}

bool HttpRequest::PumpUntilHeaders() {
  const Clock::time_point waitStart = Clock::now();
  while (!head_.Complete) {
    if (finished_) {
      Fail(HttpError::Transport);
      return false;
    }
    if (Abandoned()) {
      return false;
    }
    Perform();
    if (!head_.Complete && !finished_) {
      WaitForActivity(waitStart);
    }
  }
  return true;
}

bool HttpRequest::PumpUntilBody() {
  const Clock::time_point waitStart = Clock::now();
  while (pendingPos_ >= pending_.size()) {
    if (finished_ || !attached_ || Abandoned()) {
      return false;
    }
    if (paused_) {
      // Resuming may hand over the held piece at once, through OnBody.
      paused_ = false;
      pending_.clear();
      pendingPos_ = 0;
      if (curl_easy_pause(easy_.get(), CURLPAUSE_CONT) != CURLE_OK) {
        Fail(HttpError::Transport);
        return false;
      }
      continue;
    }
    Perform();
    if (pendingPos_ >= pending_.size() && !finished_ && !paused_) {
      WaitForActivity(waitStart);
    }
  }
  return true;
}

void HttpRequest::Perform() {
  CURLM* multi = session_.Multi();
  int running = 0;
  if (curl_multi_perform(multi, &running) != CURLM_OK) {
    Fail(HttpError::Transport);
    return;
  }
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
    if (message->msg != CURLMSG_DONE || message->easy_handle != easy_.get()) {
      continue;
    }
    finished_ = true;
    switch (message->data.result) {
      case CURLE_OK:
        break;
      case CURLE_COULDNT_RESOLVE_HOST:
      case CURLE_COULDNT_RESOLVE_PROXY:
      case CURLE_COULDNT_CONNECT:
        Fail(HttpError::Connect);
        break;
      case CURLE_OPERATION_TIMEDOUT:
        Fail(connected_ ? HttpError::ReceiveTimeout : HttpError::ConnectTimeout);
        break;
      default:
        Fail(HttpError::Transport);
        break;
    }
  }
}

void HttpRequest::WaitForActivity(Clock::time_point waitStart) {
  std::chrono::milliseconds wait = kPollSlice;
  const uint32_t receiveTimeoutMs = session_.ReceiveTimeoutMs();
  const bool timed = awaitingData_ && receiveTimeoutMs != 0;
  if (timed) {
    const std::chrono::milliseconds limit(receiveTimeoutMs);
    // Only time spent waiting here counts: a caller busy between reads pauses the transfer.
    const Clock::time_point since = std::max(lastActivity_, waitStart);
    const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
    if (idle >= limit) {
      Fail(HttpError::ReceiveTimeout);
      return;
    }
    // A server that drips a byte now and then is never idle, so the rate counts as well. The
    // windows follow each other without overlap.
    if (windowWaited_ >= limit) {
      if (windowBytes_ < kMinBytesPerWindow) {
        Fail(HttpError::TooSlow);
        return;
      }
      windowWaited_ = Clock::duration::zero();
      windowBytes_ = 0;
    }
    const auto windowLeft = std::chrono::ceil<std::chrono::milliseconds>(limit - windowWaited_);
    wait = std::min({wait, limit - idle, windowLeft});
  }
  const Clock::time_point before = Clock::now();
  curl_multi_poll(session_.Multi(), nullptr, 0, static_cast<int>(wait.count()), nullptr);
  if (timed) {
    windowWaited_ += Clock::now() - before;
  }
}

bool HttpRequest::Abandoned() {
  if (!session_.ShouldAbandon()) {
    return false;
  }
  Fail(HttpError::Abandoned);
  return true;
}

void HttpRequest::Fail(HttpError error) {
  if (error_ == HttpError::None) {
    error_ = error;
  }
  finished_ = true;
}

size_t HttpRequest::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto& request = *static_cast<HttpRequest*>(self);
  const size_t length = size * count;
  request.lastActivity_ = Clock::now();
  request.windowBytes_ += length;
  request.head_.AddLine(std::string_view(data, length));
  return length;
}

size_t HttpRequest::OnBody(char* data, size_t size, size_t count, void* self) {
  auto& request = *static_cast<HttpRequest*>(self);
  const size_t length = size * count;
  request.lastActivity_ = Clock::now();
  if (request.pendingPos_ < request.pending_.size()) {
    // The caller has not taken the previous piece yet: libcurl keeps this one until resumed.
    request.paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  request.windowBytes_ += length;
  request.pending_.assign(reinterpret_cast<const uint8_t*>(data),
                          reinterpret_cast<const uint8_t*>(data) + length);
  request.pendingPos_ = 0;
  return length;
}

int HttpRequest::OnConnected(void* self, char* /*remoteIp*/, char* /*localIp*/, int /*remotePort*/,
                             int /*localPort*/) {
  auto& request = *static_cast<HttpRequest*>(self);
  request.connected_ = true;
  request.awaitingData_ = true;
  request.lastActivity_ = Clock::now();
  return CURL_PREREQFUNC_OK;
}

}  // namespace kivo::platform
