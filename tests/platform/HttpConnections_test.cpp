#include "platform/HttpConnections.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "platform/HttpConnectionsHarness.h"

namespace kivo::platform {
namespace {

using test::LengthHeader;
using test::ScriptedResponse;
using test::TestHttpServer;

class HttpConnectionsTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.IsListening()); }

  // Fetches `path` from the server over one connection with time-outs of `ms`; the
  // connection is kept while `ms` stays the same.
  std::unique_ptr<HttpTransfer> Get(const std::string& path, uint32_t ms = kPatientMs,
                                    const HttpValidators& validators = {}) {
    if (http_ == nullptr || ms != ms_) {
      http_ = HttpConnections::Open(Timeouts(ms), 1);
      ms_ = ms;
    }
    sink_ = RecordingSink();
    return Fetch(*http_, sink_, HttpScheme::Http, server_.Authority(), path, validators);
  }

  TestHttpServer server_;
  std::unique_ptr<HttpConnections> http_;
  uint32_t ms_ = 0;
  RecordingSink sink_;
};

// Every request carries exactly the agent and "Accept: */*" (no Accept-Encoding, Cookie or
// Cache-Control), over one kept connection; validators add only their own lines, and one that
// could split the request, or a time that names no day, is left out. A 304 reaches the sink
// like any final response. The host and path rules are HttpTarget's; one of each stands here.
TEST_F(HttpConnectionsTest, RequestsCarryTheAgentAcceptAndOnlyTheValidatorsGiven) {
  ScriptedResponse notModified = ScriptedResponse::Ok("");
  notModified.Status = 304;
  notModified.Headers = {{"ETag", "W/\"v2\""}};
  server_.Script("/%93%FA%96%7B?q=a#top", notModified);
  const SystemTime sunday{1994, 11, 3, 6, 8, 49, 37, 500};  // a wrong weekday is not sent
  const char* kDate = "Sun, 06 Nov 1994 08:49:37 GMT";
  struct Case {
    const char* name;
    HttpValidators validators;
    std::optional<std::string> ifModifiedSince;
    std::optional<std::string> ifNoneMatch;
  };
  const Case cases[] = {
      {"none", {}, {}, {}},
      {"date", {sunday, {}}, kDate, {}},
      {"both, the tag weak", {sunday, "W/\"v1\""}, kDate, "W/\"v1\""},
      {"tag that would split the request", {{}, "\"v1\"\r\nX-Injected: 1"}, {}, {}},
      {"no such day", {SystemTime{1994, 2, 0, 30, 8, 49, 37, 0}, {}}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto transfer = Get("/日本?q=a#top", kPatientMs, c.validators);  // Shift-JIS in the tests
    EXPECT_TRUE(transfer->CompletedWhole());
    EXPECT_EQ(sink_.Heads, 1);
    EXPECT_EQ(sink_.Head->Status, 304);
    EXPECT_EQ(sink_.Head->ETagValue(), "W/\"v2\"");
    const auto request = server_.Requests().back();
    EXPECT_EQ(request.RequestLine, "GET /%93%FA%96%7B?q=a#top HTTP/1.1");
    EXPECT_EQ(request.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)");
    EXPECT_EQ(request.Header("Accept"), "*/*");
    EXPECT_EQ(request.Header("Host"), server_.Authority());
    EXPECT_EQ(request.Header("If-Modified-Since"), c.ifModifiedSince);
    EXPECT_EQ(request.Header("If-None-Match"), c.ifNoneMatch);
    EXPECT_EQ(request.Headers.size(),
              3u + c.ifModifiedSince.has_value() + c.ifNoneMatch.has_value());
  }
  EXPECT_EQ(server_.ConnectionCount(), 1);
  EXPECT_EQ(http_->Prepare(HttpScheme::Http, test::U16(server_.Authority()), u"/a\r\nX: 1", sink_),
            nullptr);
  EXPECT_EQ(http_->Prepare(HttpScheme::Http, u"user@127.0.0.1", u"/", sink_), nullptr);
}

TEST_F(HttpConnectionsTest, TheSinkGetsTheHeadOfTheFinalResponse) {
  server_.Script("/old#keep", ScriptedResponse::Redirect(301, "/mid?x#frag"));
  server_.Script("/mid?x", ScriptedResponse::Redirect(302, server_.Url("/new")));
  ScriptedResponse final = ScriptedResponse::Ok("new page");
  final.Headers = {{"Last-Modified", "Mon, 07 Nov 1994 08:49:37 GMT"}};
  server_.Script("/new", final);

  auto transfer = Get("/old#keep", kPatientMs, {{}, "\"tag\""});
  ASSERT_TRUE(transfer->CompletedWhole());
  EXPECT_EQ(transfer->RedirectCount(), 2);
  EXPECT_EQ(transfer->FinalUrl(), server_.Url("/new"));
  EXPECT_EQ(sink_.Head->Status, 200);
  EXPECT_EQ(sink_.Head->ContentLengthValue(), 8u);
  EXPECT_EQ(sink_.Head->LastModifiedTime(), (SystemTime{1994, 11, 1, 7, 8, 49, 37, 0}));
  EXPECT_EQ(sink_.Body, "new page");
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Target, "/old#keep");
  EXPECT_EQ(requests[1].Target, "/mid?x");
  EXPECT_EQ(requests[2].Target, "/new");
  // The validators belong to the final response, so every hop carries them.
  EXPECT_EQ(requests[2].Header("If-None-Match"), "\"tag\"");
}

// Redirect loops end after ten hops. The plain server never answers a TLS handshake, which
// belongs to connecting: that row also stands for a connect that hangs. When a stall or a drip
// ends a transfer is TransferWatch's; their rows show that the waiting and the bytes reach it.
TEST_F(HttpConnectionsTest, TransfersThatCannotSucceedEndWithTheirReason) {
  std::string closed;
  {
    TestHttpServer gone;
    closed = gone.Authority();
  }
  server_.Script("/loop", ScriptedResponse::Redirect(302, "/loop"));
  server_.Script("/file", ScriptedResponse::Redirect(302, "file:///etc/passwd"));
  ScriptedResponse huge = ScriptedResponse::Ok("x");
  huge.Headers.assign(HttpTransfer::kMaxHeadBytes / 64, {"X-Pad", std::string(64, 'p')});
  server_.Script("/huge", huge);
  // 1500 bytes come at once, enough for the first window, so that silence then is a stall.
  ScriptedResponse slow = ScriptedResponse::Ok(std::string(4000, 's'));
  slow.DelayAtByte = 1500;
  slow.BodyDelayMs = 5000;
  server_.Script("/stall", slow);
  slow.BodyDelayMs = 20;
  slow.DelayEveryBytes = 1;
  server_.Script("/drip", slow);
  const std::string here = server_.Authority();
  using enum HttpError;
  using enum HttpScheme;
  struct Case {
    const char* name;
    HttpScheme scheme;
    std::string host;
    const char* path;
    HttpError error;
    size_t requests;
    bool head;  // the sink saw a head
  };
  const Case cases[] = {
      {"https on a plain port", Https, here, "/", ConnectTimeout, 0, false},
      {"refused", Http, closed, "/", Connect, 0, false},
      {"redirect loop", Http, here, "/loop", Redirect, 11, false},
      {"redirect to file", Http, here, "/file", Redirect, 1, false},
      {"too many header bytes", Http, here, "/huge", HeadTooLarge, 1, false},
      {"stalls", Http, here, "/stall", ReceiveTimeout, 1, true},
      {"drips", Http, here, "/drip", TooSlow, 1, true},
  };
  auto http = HttpConnections::Open(Timeouts(kShortMs), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t before = server_.RequestCount();
    RecordingSink sink;
    auto transfer = Fetch(*http, sink, c.scheme, c.host, c.path);
    ASSERT_NE(transfer, nullptr);
    EXPECT_FALSE(transfer->CompletedWhole());
    EXPECT_EQ(transfer->Error(), c.error);
    EXPECT_EQ(sink.Head.has_value(), c.head);
    EXPECT_LT(sink.Body.size(), 4000u);
    EXPECT_EQ(server_.RequestCount() - before, c.requests);
  }
}

// How a body ends decides whether it arrived whole; bytes past a stated length are no part of
// the response. Trailers never change the head, and a trailer section without end fails.
TEST_F(HttpConnectionsTest, BodiesEndAsTheirFramingSays) {
  enum Trailers { NoTrailers, LyingTrailers, EndlessTrailers };
  using enum LengthHeader;
  using enum HttpError;
  struct Case {
    const char* name;
    size_t bytes;
    LengthHeader length;
    size_t lengthError;
    size_t chunkSize;
    std::optional<size_t> resetAt;
    Trailers trailers;
    size_t received;
    std::optional<uint64_t> contentLength;
    HttpError error;
  };
  const Case cases[] = {
      {"exact", 3000, Exact, 0, 0, {}, NoTrailers, 3000, 3000, None},
      {"chunked", 3000, Absent, 0, 700, {}, NoTrailers, 3000, {}, None},
      {"closed", 3000, Absent, 0, 0, {}, NoTrailers, 3000, {}, None},
      {"longer than stated", 10, TooSmall, 4, 0, {}, NoTrailers, 6, 6, None},
      {"shorter than stated", 5, TooLarge, 100, 0, {}, NoTrailers, 5, 105, Transport},
      {"reset", 5000, Absent, 0, 0, 2000, NoTrailers, 2000, {}, Transport},
      {"trailers", 6, Absent, 0, 700, {}, LyingTrailers, 6, {}, None},
      {"endless trailers", 6, Absent, 0, 700, {}, EndlessTrailers, 6, {}, HeadTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedResponse response = ScriptedResponse::Ok(std::string(c.bytes, 'b'));
    response.Length = c.length;
    response.LengthError = c.lengthError;
    response.ChunkSize = c.chunkSize;
    response.ResetAtByte = c.resetAt;
    if (c.trailers == LyingTrailers) {
      response.Trailers = "Content-Length: 99999999999999\r\nStatus: 500\r\n";
    } else if (c.trailers == EndlessTrailers) {
      response.Trailers = "X-Pad: " + std::string(1000, 't') + "\r\n";
      response.EndlessTrailers = true;
    }
    server_.Script("/body", response);
    auto transfer = Get("/body");
    ASSERT_EQ(sink_.Heads, 1);
    EXPECT_EQ(sink_.Head->ContentLengthValue(), c.contentLength);
    EXPECT_EQ(sink_.Body.size(), c.received);
    EXPECT_EQ(transfer->CompletedWhole(), c.error == None);
    EXPECT_EQ(transfer->Error(), c.error);
  }
}

// A transfer fetched ahead never takes the last connection, nor one beside a transfer alone to
// its host; a 503 that came beside another request leaves the host that one, and its
// Retry-After defers the host's next request.
TEST_F(HttpConnectionsTest, TransfersStartAsTheirRoleAndTheirHostAllow) {
  struct Case {
    const char* name;
    const char* retryAfter;
    bool startsOnceAlone;  // a transfer needed now, once the held one has ended
  };
  const Case cases[] = {{"retry at once", "0", true}, {"retry later", "120", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string hold = std::string("held ") + c.name;
    ScriptedResponse held = ScriptedResponse::Ok("held");
    held.HoldName = hold;
    server_.Script("/held", held);
    ScriptedResponse busy = ScriptedResponse::Ok("busy");
    busy.Status = 503;
    busy.Headers = {{"Retry-After", c.retryAfter}};
    server_.Script("/busy", busy);
    auto http = HttpConnections::Open(Timeouts(kPatientMs), 3);
    RecordingSink sinks[4];
    std::unique_ptr<HttpTransfer> transfers[4];
    const char* paths[] = {"/held", "/busy", "/a", "/b"};
    for (int i = 0; i < 4; ++i) {
      transfers[i] = http->Prepare(HttpScheme::Http, test::U16(server_.Authority()),
                                   test::U16(paths[i]), sinks[i]);
    }
    ASSERT_TRUE(http->Start(*transfers[0], TransferRole::Ahead));
    EXPECT_FALSE(http->Start(*transfers[1], TransferRole::Alone));
    ASSERT_TRUE(http->Start(*transfers[1], TransferRole::Ahead));
    EXPECT_FALSE(http->HasFreeConnection(TransferRole::Ahead));
    EXPECT_TRUE(http->HasFreeConnection(TransferRole::Turn));
    while (!transfers[1]->Finished()) {
      http->Wait(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(transfers[1]->Status(), 503);
    EXPECT_TRUE(transfers[1]->Concurrent());
    // One request beside the 503: the host gets one at a time from now on.
    EXPECT_FALSE(http->Start(*transfers[2], TransferRole::Turn));
    server_.Release(hold);
    while (!transfers[0]->Finished()) {
      http->Wait(std::chrono::milliseconds(200));
    }
    EXPECT_TRUE(transfers[0]->CompletedWhole());
    EXPECT_EQ(http->Start(*transfers[2], TransferRole::Turn), c.startsOnceAlone);
    EXPECT_FALSE(http->Start(*transfers[3], TransferRole::Turn));
  }
}

// A request that has no answer while its host answers another is never ended, or it would be
// asked twice: a server that serves one connection at a time turns to it once the host's idle
// connection is closed, and a slow page is waited for. Each request is answered once, and the
// host gets one request at a time from then.
TEST_F(HttpConnectionsTest, ARequestLeftWaitingWhileOthersAreAnsweredIsAnsweredOnce) {
  for (const bool slow : {false, true}) {
    SCOPED_TRACE(slow ? "a slow page" : "one connection at a time");
    TestHttpServer server;
    server.SetMode(slow ? test::ServerMode::Threaded : test::ServerMode::OneConnection);
    ScriptedResponse first = ScriptedResponse::Ok("a");
    first.HoldName = slow ? "slow" : "";
    first.HoldHead = slow;
    server.Script("/a", first);
    server.Script("/b", ScriptedResponse::Ok("b"));
    HttpSessionOptions options = Timeouts(kPatientMs);
    options.LeftWaitingMs = 1;
    auto http = HttpConnections::Open(options, 2);
    RecordingSink sinks[2];
    const auto prepare = [&](const char16_t* path, RecordingSink& sink) {
      return http->Prepare(HttpScheme::Http, test::U16(server.Authority()), path, sink);
    };
    std::unique_ptr<HttpTransfer> transfers[] = {prepare(u"/a", sinks[0]),
                                                 prepare(u"/b", sinks[1])};
    ASSERT_TRUE(http->Start(*transfers[0]) && http->Start(*transfers[1]));
    // The slow page begins its answer a few waits past the left-waiting time after the other.
    for (int waits = 0; !transfers[0]->Finished() || !transfers[1]->Finished();
         http->Wait(std::chrono::milliseconds(1))) {
      waits += transfers[1]->Finished() ? 1 : 0;
      if (waits == 3) {
        server.Release("slow");
      }
    }
    EXPECT_TRUE(transfers[0]->CompletedWhole() && transfers[1]->CompletedWhole());
    EXPECT_EQ(server.RequestCount(), 2u);
    auto next = prepare(u"/a", sinks[0]);
    auto beside = prepare(u"/b", sinks[1]);
    EXPECT_TRUE(http->Start(*next));
    EXPECT_FALSE(http->Start(*beside));
  }
}

// The proxy's forms are ProxyName's; HTTPS through a proxy is FetchAhead's test.
TEST(HttpConnectionsProxyTest, TheProxySeesTheAbsoluteUriAndMustBeNamed) {
  EXPECT_EQ(HttpConnections::Open(ViaProxy("  "), 1), nullptr);
  TestHttpServer proxy;
  proxy.Script("http://www.example.test:8080/dir/page.html?q=1#f",
               ScriptedResponse::Ok("via proxy"));
  auto http = HttpConnections::Open(ViaProxy("http=" + proxy.Authority()), 1);
  ASSERT_NE(http, nullptr);
  RecordingSink sink;
  Fetch(*http, sink, HttpScheme::Http, "www.example.test:8080", "/dir/page.html?q=1#f");
  EXPECT_EQ(sink.Body, "via proxy");
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].RequestLine,
            "GET http://www.example.test:8080/dir/page.html?q=1#f HTTP/1.1");
  EXPECT_EQ(requests[0].Header("Host"), "www.example.test:8080");
  EXPECT_EQ(requests[0].Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)");
}

// Direct stays direct whatever proxy the environment names, and a proxy is used even for the
// hosts that the environment's no_proxy lists.
TEST(HttpConnectionsProxyTest, TheEnvironmentNeverChangesTheRoute) {
  TestHttpServer origin;
  TestHttpServer proxy;
  origin.Script("/page", ScriptedResponse::Ok("direct"));
  proxy.Script("http://127.0.0.1:1/x", ScriptedResponse::Ok("proxied"));
  const std::string proxyUrl = "http://" + proxy.Authority();
  test::ScopedEnv httpProxy("http_proxy", proxyUrl);
  test::ScopedEnv allProxy("ALL_PROXY", proxyUrl);
  test::ScopedEnv allProxyLower("all_proxy", proxyUrl);
  test::ScopedEnv noProxy("no_proxy", "*");
  test::ScopedEnv noProxyUpper("NO_PROXY", "*");
  auto direct = HttpConnections::Open(Timeouts(kPatientMs), 1);
  auto proxied = HttpConnections::Open(ViaProxy(proxy.Authority()), 1);
  RecordingSink sink;
  Fetch(*direct, sink, HttpScheme::Http, origin.Authority(), "/page");
  EXPECT_EQ(sink.Body, "direct");
  EXPECT_EQ(proxy.RequestCount(), 0u);
  RecordingSink viaProxy;
  Fetch(*proxied, viaProxy, HttpScheme::Http, "127.0.0.1:1", "/x");
  EXPECT_EQ(viaProxy.Body, "proxied");
}

}  // namespace
}  // namespace kivo::platform
