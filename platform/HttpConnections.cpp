#include "platform/HttpConnections.h"

#include <algorithm>
#include <utility>

namespace kivo::platform {
namespace {

using Clock = std::chrono::steady_clock;

// libcurl's receive buffer, and so the largest piece it hands over at once.
constexpr long kCurlBufferSize = 16384;

HttpError ErrorOf(CURLcode result, bool connected) {
  switch (result) {
    case CURLE_OK:
      return HttpError::None;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
      return HttpError::Connect;
    case CURLE_OPERATION_TIMEDOUT:
      return connected ? HttpError::ReceiveTimeout : HttpError::ConnectTimeout;
    default:
      return HttpError::Transport;
  }
}

}  // namespace

std::unique_ptr<HttpConnections> HttpConnections::Open(const HttpSessionOptions& options,
                                                       int32_t connections) {
  if (!EnsureCurlGlobalInit() || connections < 1) {
    return nullptr;
  }
  ProxyServers proxies;
  if (options.UseProxy) {
    auto parsed = ParseProxyName(options.ProxyName);
    if (!parsed) {
      return nullptr;
    }
    proxies = std::move(*parsed);
  }
  CurlMulti multi(curl_multi_init());
  if (!multi) {
    return nullptr;
  }
  auto result = std::make_unique<HttpConnections>(Key(), std::move(multi), std::move(proxies),
                                                  options, connections);
  for (const Slot& slot : result->slots_) {
    if (!slot.Easy) {
      return nullptr;
    }
  }
  return result;
}

HttpConnections::HttpConnections(Key /*key*/, CurlMulti multi, ProxyServers proxies,
                                 const HttpSessionOptions& options, int32_t connections)
    : multi_(std::move(multi)),
      proxies_(std::move(proxies)),
      connectTimeoutMs_(options.ConnectTimeoutMs),
      receiveTimeoutMs_(options.ReceiveTimeoutMs),
      leftWaiting_(LeftWaitingTime(options)),
      hosts_(connections),
      slots_(static_cast<size_t>(connections)) {
  for (Slot& slot : slots_) {
    slot.Easy.reset(curl_easy_init());
  }
  // libcurl would otherwise queue more transfers than asked for, or keep
  // more idle connections than are ever used again.
  const long limit = connections;
  curl_multi_setopt(multi_.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, limit);
  curl_multi_setopt(multi_.get(), CURLMOPT_MAX_HOST_CONNECTIONS, limit);
  curl_multi_setopt(multi_.get(), CURLMOPT_MAXCONNECTS, limit);
}

HttpConnections::~HttpConnections() {
  for (Slot& slot : slots_) {
    if (slot.Transfer != nullptr) {
      Detach(*slot.Transfer);
    }
  }
}

std::unique_ptr<HttpTransfer> HttpConnections::Prepare(HttpScheme scheme, std::u16string_view host,
                                                       std::u16string_view path, HttpBodySink& sink,
                                                       const HttpValidators& validators) {
  auto authority = ParseAuthority(host);
  auto target = EncodeRequestTarget(path);
  if (!authority || !target) {
    return nullptr;
  }
  // Without validators the request carries exactly the agent and "Accept: */*", as it always
  // has; a validator adds its line after them.
  CurlSlist headers(curl_slist_append(nullptr, "Accept: */*"));
  for (const std::string& line : ConditionalHeaderLines(validators)) {
    // Appending to a list that exists keeps its first element, which `headers` owns.
    if (!headers || curl_slist_append(headers.get(), line.c_str()) == nullptr) {
      return nullptr;
    }
  }
  if (!headers) {
    return nullptr;
  }
  return std::make_unique<HttpTransfer>(HttpTransfer::Key(), *this, scheme,
                                        OriginText(scheme, *authority), std::move(*target),
                                        std::move(headers), sink);
}

bool HttpConnections::HasFreeConnection(TransferRole role) const {
  size_t free = 0;
  size_t ahead = 0;
  for (const Slot& slot : slots_) {
    free += slot.Transfer == nullptr ? 1 : 0;
    ahead += slot.Transfer != nullptr && slot.Transfer->role_ == TransferRole::Ahead ? 1 : 0;
  }
  return free > 0 && (role != TransferRole::Ahead || ahead + 1 < slots_.size());
}

bool HttpConnections::MayStart(const std::string& origin, TransferRole role) const {
  if (!HasFreeConnection(role) || hosts_.Deferred(origin, Clock::now())) {
    return false;
  }
  int32_t toHost = 0;
  int32_t aheadToHost = 0;
  for (const Slot& slot : slots_) {
    const HttpTransfer* other = slot.Transfer;
    if (other == nullptr || other->origin_ != origin) {
      continue;
    }
    if (other->role_ == TransferRole::Alone) {
      return false;
    }
    ++toHost;
    aheadToHost += other->role_ == TransferRole::Ahead ? 1 : 0;
  }
  const int32_t limit = hosts_.Limit(origin);
  switch (role) {
    case TransferRole::Ahead:
      return toHost < limit && aheadToHost < limit - 1;
    case TransferRole::Turn:
      return toHost < limit;
    case TransferRole::Alone:
      return toHost == 0;
  }
  return false;
}

bool HttpConnections::Start(HttpTransfer& transfer, TransferRole role) {
  if (transfer.slot_ >= 0 || transfer.finished_ || !MayStart(transfer.origin_, role)) {
    return false;
  }
  const auto free = std::find_if(slots_.begin(), slots_.end(),
                                 [](const Slot& slot) { return slot.Transfer == nullptr; });
  transfer.role_ = role;
  transfer.currentUrl_ = transfer.origin_ + transfer.target_;
  // libcurl drops a URL's fragment, so the request target is given as it is. A plain HTTP proxy
  // needs the absolute URI; a tunnel (https) carries the origin form.
  const bool absolute =
      transfer.scheme_ == HttpScheme::Http && !proxies_.For(transfer.scheme_).empty();
  const std::string requestTarget = absolute ? transfer.currentUrl_ : transfer.target_;
  if (!Attach(transfer, static_cast<int32_t>(free - slots_.begin()), transfer.origin_ + "/",
              &requestTarget, transfer.scheme_)) {
    transfer.Fail(HttpError::Setup);
  }
  return true;
}

bool HttpConnections::Attach(HttpTransfer& transfer, int32_t slot, const std::string& url,
                             const std::string* requestTarget, HttpScheme scheme) {
  CURL* handle = slots_[static_cast<size_t>(slot)].Easy.get();
  curl_easy_reset(handle);
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
  set(CURLOPT_HTTPHEADER, transfer.headers_.get());
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_FOLLOWLOCATION, 0L);
  // An empty proxy text also keeps libcurl from taking one from http_proxy and the like, and
  // an empty no-proxy list keeps no_proxy from the environment out as well.
  set(CURLOPT_PROXY, proxies_.For(scheme).c_str());
  set(CURLOPT_NOPROXY, "");
  set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  set(CURLOPT_BUFFERSIZE, kCurlBufferSize);
  set(CURLOPT_SSL_VERIFYPEER, 1L);
  set(CURLOPT_SSL_VERIFYHOST, 2L);
  if (connectTimeoutMs_ != 0) {
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectTimeoutMs_));
  }
  set(CURLOPT_HEADERFUNCTION, &HttpTransfer::OnHeader);
  set(CURLOPT_HEADERDATA, static_cast<void*>(&transfer));
  set(CURLOPT_WRITEFUNCTION, &HttpTransfer::OnBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
  set(CURLOPT_PREREQFUNCTION, &HttpTransfer::OnConnected);
  set(CURLOPT_PREREQDATA, static_cast<void*>(&transfer));
  if (!ok || !sockets_.Watch(handle, &transfer) ||
      curl_multi_add_handle(multi_.get(), handle) != CURLM_OK) {
    return false;
  }
  // A server with a limit per client may turn away a request that arrives beside another.
  for (const Slot& other : slots_) {
    if (other.Transfer != nullptr && other.Transfer->origin_ == transfer.origin_) {
      other.Transfer->concurrent_ = true;
      transfer.concurrent_ = true;
    }
  }
  slots_[static_cast<size_t>(slot)].Transfer = &transfer;
  transfer.Reset(slot, TransferWatch(std::chrono::milliseconds(receiveTimeoutMs_)));
  transfer.attachedAt_ = waited_;
  transfer.answersAtAttach_ = hosts_.Answers(transfer.origin_);
  return true;
}

void HttpConnections::Detach(HttpTransfer& transfer) {
  if (transfer.slot_ < 0) {
    return;
  }
  Slot& slot = slots_[static_cast<size_t>(transfer.slot_)];
  // Removing an unfinished transfer closes its connection, so an unread body is never mistaken
  // for the next response.
  curl_multi_remove_handle(multi_.get(), slot.Easy.get());
  sockets_.Release(&transfer);
  slot.Transfer = nullptr;
  transfer.slot_ = -1;
}

void HttpConnections::Stop(HttpTransfer& transfer, HttpError error) {
  if (!transfer.finished_) {
    End(transfer, error);
  }
}

void HttpConnections::End(HttpTransfer& transfer, HttpError error) {
  Detach(transfer);
  if (error == HttpError::None) {
    transfer.finished_ = true;
  } else {
    transfer.Fail(error);
  }
  NotePushBack(transfer);
}

void HttpConnections::NotePushBack(const HttpTransfer& transfer) {
  const HttpError error = transfer.error_;
  const int32_t status = transfer.Status();
  const bool turnedAway = status == 429 || status == 503;
  const bool refused = error == HttpError::Connect || error == HttpError::ConnectTimeout ||
                       error == HttpError::ReceiveTimeout || error == HttpError::TooSlow ||
                       (error == HttpError::Transport && !transfer.responded_);
  if (!turnedAway && !refused) {
    return;
  }
  hosts_.PushBack(transfer.origin_, Serving(transfer.origin_, false));
  const auto wait =
      turnedAway ? transfer.head_.RetryAfterDelay(std::chrono::system_clock::now()) : std::nullopt;
  if (wait) {
    hosts_.Defer(transfer.origin_, *wait, Clock::now());
  }
}

int32_t HttpConnections::Serving(const std::string& origin, bool answeringOnly) const {
  return static_cast<int32_t>(std::count_if(slots_.begin(), slots_.end(), [&](const Slot& slot) {
    return slot.Transfer != nullptr && slot.Transfer->origin_ == origin &&
           (!answeringOnly || slot.Transfer->responded_);
  }));
}

bool HttpConnections::LeftWaiting(const HttpTransfer& transfer) const {
  return !transfer.responded_ && waited_ - transfer.attachedAt_ >= leftWaiting_ &&
         hosts_.Answers(transfer.origin_) > transfer.answersAtAttach_;
}

void HttpConnections::Wait(std::chrono::milliseconds wait) {
  const Clock::time_point before = Clock::now();
  curl_multi_poll(multi_.get(), nullptr, 0, static_cast<int>(LongestWait(wait).count()), nullptr);
  waited_ += Clock::now() - before;
  Perform();
  // Only now are the transfers that got data this time known; the rest may have waited too long.
  CheckWatches();
}

void HttpConnections::CheckWatches() {
  for (Slot& slot : slots_) {
    if (slot.Transfer == nullptr) {
      continue;
    }
    const HttpError error = slot.Transfer->watch_.Check(waited_);
    if (error != HttpError::None) {
      End(*slot.Transfer, error);
    } else if (LeftWaiting(*slot.Transfer)) {
      Relieve(*slot.Transfer);
    }
  }
}

// A request left waiting shows that its host may serve only the connections that it answers:
// the host gets no more requests beside those, and its idle connections are closed so that
// such a server turns to ours. It is left waiting again only after another answer.
void HttpConnections::Relieve(HttpTransfer& transfer) {
  hosts_.PushBack(transfer.origin_, Serving(transfer.origin_, true));
  sockets_.ShutIdleBeside(transfer.socket_);
  transfer.answersAtAttach_ = hosts_.Answers(transfer.origin_);
}

std::chrono::milliseconds HttpConnections::LongestWait(std::chrono::milliseconds wait) const {
  for (const Slot& slot : slots_) {
    const HttpTransfer* transfer = slot.Transfer;
    if (transfer == nullptr) {
      continue;
    }
    TransferWatch::Duration left = transfer->watch_.Remaining(waited_);
    if (!transfer->responded_ && hosts_.Answers(transfer->origin_) > transfer->answersAtAttach_) {
      left = std::min(left, std::max(transfer->attachedAt_ + leftWaiting_ - waited_,
                                     TransferWatch::Duration::zero()));
    }
    if (left < wait) {
      wait = std::chrono::ceil<std::chrono::milliseconds>(left);
    }
  }
  return std::max(wait, std::chrono::milliseconds(1));
}

void HttpConnections::Perform() {
  int running = 0;
  if (curl_multi_perform(multi_.get(), &running) != CURLM_OK) {
    for (Slot& slot : slots_) {
      if (slot.Transfer != nullptr) {
        End(*slot.Transfer, HttpError::Transport);
      }
    }
    return;
  }
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
    if (message->msg != CURLMSG_DONE) {
      continue;
    }
    for (Slot& slot : slots_) {
      if (slot.Transfer != nullptr && slot.Easy.get() == message->easy_handle) {
        Finish(*slot.Transfer, message->data.result);
        break;
      }
    }
  }
}

void HttpConnections::Finish(HttpTransfer& transfer, CURLcode result) {
  Detach(transfer);
  if (transfer.head_.Complete) {
    hosts_.Answered(transfer.origin_);
  }
  if (transfer.redirecting_) {
    FollowRedirect(transfer);
    return;
  }
  HttpError error = HttpError::None;
  // A sink that wanted no more knows why; otherwise libcurl's result and the head tell.
  if (!transfer.sinkStopped_) {
    error = ErrorOf(result, transfer.watch_.Begun());
    if (error == HttpError::None && !transfer.headTaken_) {
      error = HttpError::Transport;
    }
  }
  End(transfer, error);
}

void HttpConnections::FollowRedirect(HttpTransfer& transfer) {
  if (transfer.redirects_ >= kMaxRedirects) {
    transfer.Fail(HttpError::Redirect);
    return;
  }
  const std::optional<HttpRedirectTarget> next =
      ResolveRedirect(transfer.currentUrl_, *transfer.head_.Location);
  if (!next) {
    transfer.Fail(HttpError::Redirect);
    return;
  }
  ++transfer.redirects_;
  transfer.currentUrl_ = next->Url;
  // The connection it had is free again and is taken at once, so the next hop never waits
  // behind other transfers.
  const auto free = std::find_if(slots_.begin(), slots_.end(),
                                 [](const Slot& slot) { return slot.Transfer == nullptr; });
  if (free == slots_.end() || !Attach(transfer, static_cast<int32_t>(free - slots_.begin()),
                                      next->Url, nullptr, next->Scheme)) {
    transfer.Fail(HttpError::Setup);
  }
}

}  // namespace kivo::platform
