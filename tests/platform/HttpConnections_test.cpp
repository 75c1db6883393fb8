#include "platform/HttpConnections.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"

namespace kivo::platform {
namespace {

using test::LengthHeader;
using test::RecordedRequest;
using test::ScriptedResponse;
using test::TestHttpServer;

// Never reached by a server that answers; the time-out tests use kShortMs.
constexpr uint32_t kPatientMs = 10000;
constexpr uint32_t kShortMs = 300;

HttpSessionOptions Timeouts(uint32_t ms) {
  HttpSessionOptions options;
  options.ConnectTimeoutMs = ms;
  options.ReceiveTimeoutMs = ms;
  return options;
}

HttpSessionOptions ViaProxy(const std::string& proxyName) {
  HttpSessionOptions options = Timeouts(kPatientMs);
  options.UseProxy = true;
  options.ProxyName = test::U16(proxyName);
  return options;
}

// Keeps the final response's head and body.
class RecordingSink : public HttpBodySink {
 public:
  bool OnHead(const HttpResponseHead& head) override {
    Head = head;
    ++Heads;
    return true;
  }
  bool OnBody(const uint8_t* data, size_t size) override {
    Body.append(reinterpret_cast<const char*>(data), size);
    return true;
  }

  std::optional<HttpResponseHead> Head;
  int Heads = 0;
  std::string Body;
};

// Makes a GET of `path` from `host` and runs it to its end; nullptr when it cannot be made.
std::unique_ptr<HttpTransfer> Fetch(HttpConnections& http, RecordingSink& sink, HttpScheme scheme,
                                    const std::string& host, const std::string& path,
                                    const HttpValidators& validators = {}) {
  auto transfer = http.Prepare(scheme, test::U16(host), test::U16(path), sink, validators);
  if (transfer != nullptr && http.Start(*transfer)) {
    while (!transfer->Finished()) {
      http.Wait(std::chrono::milliseconds(200));
    }
  }
  return transfer;
}

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

// The host and path rules are HttpTarget's; one of each stands for them here.
TEST_F(HttpConnectionsTest, SendsExactlyTheAgentAndAcceptHeadersOverAKeptConnection) {
  const std::string body(100000, 'x');
  server_.Script("/%93%FA%96%7B?q=a#top", ScriptedResponse::Ok(body));
  auto transfer = Get("/日本?q=a#top");  // in the code page, Shift-JIS in the tests
  ASSERT_NE(transfer, nullptr);
  EXPECT_TRUE(transfer->CompletedWhole());
  EXPECT_EQ(sink_.Body, body);
  EXPECT_EQ(http_->Prepare(HttpScheme::Http, test::U16(server_.Authority()), u"/a\r\nX: 1", sink_),
            nullptr);
  EXPECT_EQ(http_->Prepare(HttpScheme::Http, u"user@127.0.0.1", u"/", sink_), nullptr);
  transfer = Get("/again");
  ASSERT_NE(transfer, nullptr);
  EXPECT_TRUE(transfer->CompletedWhole());
  EXPECT_EQ(sink_.Head->Status, 404);
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].RequestLine, "GET /%93%FA%96%7B?q=a#top HTTP/1.1");
  EXPECT_EQ(requests[0].Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)");
  EXPECT_EQ(requests[0].Header("Accept"), "*/*");
  EXPECT_EQ(requests[0].Header("Host"), server_.Authority());
  // Nothing else: no Accept-Encoding, Cookie, Pragma, Cache-Control or If-Modified-Since.
  EXPECT_EQ(requests[0].Headers.size(), 3u);
  EXPECT_EQ(server_.ConnectionCount(), 1);
}

// Validators add their lines after the usual two; one that could split the request, or a time
// with no date, is left out. A 304 reaches the sink like any final response.
TEST_F(HttpConnectionsTest, ValidatorsAddOnlyTheirOwnLines) {
  ScriptedResponse notModified = ScriptedResponse::Ok("");
  notModified.Status = 304;
  notModified.Headers = {{"ETag", "W/\"v2\""}};
  server_.Script("/v", notModified);
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
      {"weak tag", {{}, "W/\"v1\""}, {}, "W/\"v1\""},
      {"both", {sunday, "\"v1\""}, kDate, "\"v1\""},
      {"tag that would split the request", {{}, "\"v1\"\r\nX-Injected: 1"}, {}, {}},
      {"no such day", {SystemTime{1994, 2, 0, 30, 8, 49, 37, 0}, {}}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto transfer = Get("/v", kPatientMs, c.validators);
    EXPECT_TRUE(transfer->CompletedWhole());
    EXPECT_EQ(sink_.Heads, 1);
    EXPECT_EQ(sink_.Head->Status, 304);
    EXPECT_EQ(sink_.Head->ETagValue(), "W/\"v2\"");
    const RecordedRequest request = server_.Requests().back();
    EXPECT_EQ(request.Header("If-Modified-Since"), c.ifModifiedSince);
    EXPECT_EQ(request.Header("If-None-Match"), c.ifNoneMatch);
    EXPECT_EQ(request.Headers.size(),
              3u + c.ifModifiedSince.has_value() + c.ifNoneMatch.has_value());
  }
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
// belongs to connecting: that row also stands for a connect that hangs.
TEST_F(HttpConnectionsTest, TransfersThatCannotSucceedEndWithTheirReason) {
  std::string closed;
  {
    TestHttpServer gone;
    closed = gone.Authority();
  }
  server_.Script("/loop", ScriptedResponse::Redirect(302, "/loop"));
  server_.Script("/file", ScriptedResponse::Redirect(302, "file:///etc/passwd"));
  server_.Script("/ftp", ScriptedResponse::Redirect(302, "ftp://127.0.0.1/x"));
  ScriptedResponse huge = ScriptedResponse::Ok("x");
  huge.Headers.assign(HttpTransfer::kMaxHeadBytes / 64, {"X-Pad", std::string(64, 'p')});
  server_.Script("/huge", huge);
  struct Case {
    const char* name;
    HttpScheme scheme;
    std::string host;
    const char* path;
    HttpError error;
    size_t requests;
  };
  const Case cases[] = {
      {"https on a plain port", HttpScheme::Https, server_.Authority(), "/",
       HttpError::ConnectTimeout, 0},
      {"refused", HttpScheme::Http, closed, "/", HttpError::Connect, 0},
      {"redirect loop", HttpScheme::Http, server_.Authority(), "/loop", HttpError::Redirect, 11},
      {"redirect to file", HttpScheme::Http, server_.Authority(), "/file", HttpError::Redirect, 1},
      {"redirect to ftp", HttpScheme::Http, server_.Authority(), "/ftp", HttpError::Redirect, 1},
      {"too many header bytes", HttpScheme::Http, server_.Authority(), "/huge",
       HttpError::HeadTooLarge, 1},
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
    EXPECT_FALSE(sink.Head.has_value());
    EXPECT_EQ(server_.RequestCount() - before, c.requests);
  }
}

// How a body ends decides whether it arrived whole; bytes past a stated length are no part of
// the response. Trailers never change the head, and a trailer section without end fails.
TEST_F(HttpConnectionsTest, BodiesEndAsTheirFramingSays) {
  const std::vector<std::pair<std::string, std::string>> lyingTrailer = {
      {"Content-Length", "99999999999999"}, {"Status", "500"}};
  const std::vector<std::pair<std::string, std::string>> padding = {
      {"X-Pad", std::string(1000, 't')}};
  struct Case {
    const char* name;
    size_t bytes;
    LengthHeader length;
    size_t lengthError;
    size_t chunkSize;
    std::optional<size_t> resetAt;
    std::vector<std::pair<std::string, std::string>> trailers;
    bool endless;
    size_t received;
    std::optional<uint64_t> contentLength;
    HttpError error;
  };
  const Case cases[] = {
      {"exact", 3000, LengthHeader::Exact, 0, 0, {}, {}, false, 3000, 3000, HttpError::None},
      {"chunked", 3000, LengthHeader::Absent, 0, 700, {}, {}, false, 3000, {}, HttpError::None},
      {"closed", 3000, LengthHeader::Absent, 0, 0, {}, {}, false, 3000, {}, HttpError::None},
      {"longer than stated",
       10,
       LengthHeader::TooSmall,
       4,
       0,
       {},
       {},
       false,
       6,
       6,
       HttpError::None},
      {"shorter than stated",
       5,
       LengthHeader::TooLarge,
       100,
       0,
       {},
       {},
       false,
       5,
       105,
       HttpError::Transport},
      {"reset", 5000, LengthHeader::Absent, 0, 0, 2000, {}, false, 2000, {}, HttpError::Transport},
      {"trailers",
       6,
       LengthHeader::Absent,
       0,
       700,
       {},
       lyingTrailer,
       false,
       6,
       {},
       HttpError::None},
      {"endless trailers",
       6,
       LengthHeader::Absent,
       0,
       700,
       {},
       padding,
       true,
       6,
       {},
       HttpError::HeadTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedResponse response = ScriptedResponse::Ok(std::string(c.bytes, 'b'));
    response.Length = c.length;
    response.LengthError = c.lengthError;
    response.ChunkSize = c.chunkSize;
    response.ResetAtByte = c.resetAt;
    response.Trailers = c.trailers;
    response.EndlessTrailers = c.endless;
    server_.Script("/body", response);
    auto transfer = Get("/body");
    ASSERT_EQ(sink_.Heads, 1);
    EXPECT_EQ(sink_.Head->Status, 200);
    EXPECT_EQ(sink_.Head->ContentLengthValue(), c.contentLength);
    EXPECT_EQ(sink_.Body.size(), c.received);
    EXPECT_EQ(transfer->CompletedWhole(), c.error == HttpError::None);
    EXPECT_EQ(transfer->Error(), c.error);
  }
}

// When a stall or a drip ends a transfer is TransferWatch's; these show that the waiting and the
// bytes reach it, with a short receive time-out.
TEST_F(HttpConnectionsTest, SilenceOrADripEndsTheTransfer) {
  struct Case {
    const char* name;
    size_t delayEveryBytes;
    HttpError error;
  };
  const Case cases[] = {
      {"stalls", 0, HttpError::ReceiveTimeout},
      {"drips", 1, HttpError::TooSlow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedResponse response = ScriptedResponse::Ok(std::string(4000, 's'));
    response.BodyDelayMs = c.delayEveryBytes > 0 ? 20 : 5000;
    response.DelayAtByte = 1500;
    response.DelayEveryBytes = c.delayEveryBytes;
    server_.Script("/slow", response);
    auto transfer = Get("/slow", kShortMs);
    EXPECT_TRUE(sink_.Head.has_value());
    EXPECT_GE(sink_.Body.size(), 1500u);
    EXPECT_LT(sink_.Body.size(), 4000u);
    EXPECT_EQ(transfer->Error(), c.error);
  }
}

// The proxy's forms are ProxyName's; HTTPS through a proxy is FetchAhead's test.
TEST(HttpConnectionsProxyTest, TheProxySeesTheAbsoluteUriAndMustBeNamed) {
  for (const char16_t* blank : {u"", u"  "}) {
    HttpSessionOptions options;
    options.UseProxy = true;
    options.ProxyName = blank;
    EXPECT_EQ(HttpConnections::Open(options, 1), nullptr);
  }
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
