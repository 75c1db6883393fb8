#include "platform/HttpSession.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/ScopedEnv.h"
#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"
#include "platform/HttpRequest.h"

namespace kivo::platform {
namespace {

using test::LengthHeader;
using test::ScriptedResponse;
using test::TestHttpServer;

// Never reached by a server that answers; the time-out tests use kShortMs.
constexpr uint32_t kPatientMs = 10000;
constexpr uint32_t kShortMs = 300;

std::u16string Wide(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

HttpSessionOptions Timeouts(uint32_t ms) {
  HttpSessionOptions options;
  options.ConnectTimeoutMs = ms;
  options.ReceiveTimeoutMs = ms;
  return options;
}

HttpSessionOptions ViaProxy(const std::string& proxyName) {
  HttpSessionOptions options = Timeouts(kPatientMs);
  options.UseProxy = true;
  options.ProxyName = Wide(proxyName);
  return options;
}

// Reads the whole body through the 1024-byte reads; the largest piece is reported as well.
std::string ReadAll(HttpRequest& request, size_t* largestPiece = nullptr) {
  std::string body;
  uint8_t buffer[4096];
  for (int32_t count; (count = request.Read(buffer, sizeof buffer)) > 0;) {
    if (largestPiece != nullptr) {
      *largestPiece = std::max(*largestPiece, static_cast<size_t>(count));
    }
    body.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(count));
  }
  return body;
}

class HttpSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.IsListening()); }

  // Opens a session with time-outs of `ms` and a GET of `path` from the server.
  std::unique_ptr<HttpRequest> Get(const std::string& path, uint32_t ms = kPatientMs) {
    if (session_ == nullptr || session_->ReceiveTimeoutMs() != ms) {
      session_ = HttpSession::Open(Timeouts(ms));
    }
    return session_->OpenRequest(HttpScheme::Http, Wide(server_.Authority()), test::U16(path));
  }

  TestHttpServer server_;
  std::unique_ptr<HttpSession> session_;
};

// One request at a time, in reads of at most 1024 bytes, over a kept connection. The host and
// path rules are HttpTarget's; one of each stands for them here.
TEST_F(HttpSessionTest, SendsOneRequestAtATimeWithExactlyTheAgentAndAcceptHeaders) {
  const std::string body(100000, 'x');
  server_.Script("/%93%FA%96%7B?q=a#top", ScriptedResponse::Ok(body));
  auto request = Get("/日本?q=a#top");  // in the code page, Shift-JIS in the tests
  ASSERT_NE(request, nullptr);
  EXPECT_EQ(session_->OpenRequest(HttpScheme::Http, Wide(server_.Authority()), u"/"), nullptr);
  ASSERT_TRUE(request->Send());
  size_t largest = 0;
  EXPECT_EQ(ReadAll(*request, &largest), body);
  EXPECT_EQ(largest, 1024u);
  EXPECT_TRUE(request->CompletedWhole());
  request = nullptr;
  EXPECT_EQ(Get("/a\r\nX: 1"), nullptr);
  EXPECT_EQ(session_->OpenRequest(HttpScheme::Http, u"user@127.0.0.1", u"/"), nullptr);
  request = Get("/again");
  ASSERT_NE(request, nullptr);
  ASSERT_TRUE(request->Send());
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

TEST_F(HttpSessionTest, HttpsSpeaksTlsOnTheGivenPort) {
  // The plain server never answers the TLS handshake, so no HTTP request reaches it; the
  // handshake belongs to connecting and ends with the connect time-out. This also stands for
  // a connect that hangs.
  auto session = HttpSession::Open(Timeouts(kShortMs));
  auto request = session->OpenRequest(HttpScheme::Https, Wide(server_.Authority()), u"/");
  ASSERT_NE(request, nullptr);
  EXPECT_FALSE(request->Send());
  EXPECT_EQ(request->Error(), HttpError::ConnectTimeout);
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_EQ(server_.ConnectionCount(), 1);
}

TEST_F(HttpSessionTest, HeadersOfTheFinalResponseAreQueried) {
  server_.Script("/old#keep", ScriptedResponse::Redirect(301, "/mid?x#frag"));
  server_.Script("/mid?x", ScriptedResponse::Redirect(302, server_.Url("/new")));
  ScriptedResponse final = ScriptedResponse::Ok("new page");
  final.Headers = {{"Last-Modified", "Mon, 07 Nov 1994 08:49:37 GMT"}};
  server_.Script("/new", final);
  ScriptedResponse undated = ScriptedResponse::Ok("x");
  undated.Headers = {{"Last-Modified", "yesterday"}};
  server_.Script("/undated", undated);

  auto request = Get("/old#keep");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(request->StatusCode(), 200);
  EXPECT_EQ(request->RedirectCount(), 2);
  EXPECT_EQ(request->QueryContentLength(), 8u);
  const std::optional<SystemTime> time = request->QueryLastModified();
  ASSERT_TRUE(time.has_value());
  EXPECT_EQ(*time, (SystemTime{1994, 11, 1, 7, 8, 49, 37, 0}));
  EXPECT_EQ(ReadAll(*request), "new page");
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Target, "/old#keep");
  EXPECT_EQ(requests[1].Target, "/mid?x");
  EXPECT_EQ(requests[2].Target, "/new");

  request = nullptr;
  request = Get("/undated");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(request->QueryLastModified(), std::nullopt);  // unparsable counts as none
}

TEST_F(HttpSessionTest, RedirectLoopsEndAfterTenHopsAndOtherSchemesAreRefused) {
  server_.Script("/loop", ScriptedResponse::Redirect(302, "/loop"));
  server_.Script("/file", ScriptedResponse::Redirect(302, "file:///etc/passwd"));
  server_.Script("/ftp", ScriptedResponse::Redirect(302, "ftp://127.0.0.1/x"));
  for (const char* path : {"/loop", "/file", "/ftp"}) {
    SCOPED_TRACE(path);
    auto request = Get(path);
    ASSERT_NE(request, nullptr);
    EXPECT_FALSE(request->Send());
    EXPECT_EQ(request->Error(), HttpError::Redirect);
  }
  EXPECT_EQ(server_.RequestCount(), 11u + 2u);  // the first and ten hops, then one each
}

// How a body ends decides whether it arrived whole; bytes past a stated length are no part of
// the response.
TEST_F(HttpSessionTest, BodiesEndAsTheirFramingSays) {
  struct Case {
    const char* name;
    size_t bytes;
    LengthHeader length;
    size_t lengthError;
    size_t chunkSize;
    std::optional<size_t> resetAt;
    size_t received;
    bool whole;
    std::optional<uint64_t> contentLength;
  };
  const Case cases[] = {
      {"exact", 3000, LengthHeader::Exact, 0, 0, {}, 3000, true, 3000},
      {"chunked", 3000, LengthHeader::Absent, 0, 700, {}, 3000, true, {}},
      {"closed", 3000, LengthHeader::Absent, 0, 0, {}, 3000, true, {}},
      {"longer than stated", 10, LengthHeader::TooSmall, 4, 0, {}, 6, true, 6},
      {"shorter than stated", 5, LengthHeader::TooLarge, 100, 0, {}, 5, false, 105},
      {"reset", 5000, LengthHeader::Absent, 0, 0, 2000, 2000, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedResponse response = ScriptedResponse::Ok(std::string(c.bytes, 'b'));
    response.Length = c.length;
    response.LengthError = c.lengthError;
    response.ChunkSize = c.chunkSize;
    response.ResetAtByte = c.resetAt;
    server_.Script("/body", response);
    auto request = Get("/body");
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(request->Send());
    EXPECT_EQ(request->QueryContentLength(), c.contentLength);
    EXPECT_EQ(ReadAll(*request).size(), c.received);
    EXPECT_EQ(request->CompletedWhole(), c.whole);
    if (c.resetAt) {
      EXPECT_EQ(request->Error(), HttpError::Transport);
    }
  }
}

// A server that stops, or drips far under 1 KiB per receive time-out, ends the transfer. Data
// with every gap well below the time-out, at a fair rate, is no time-out however long the
// whole transfer takes.
TEST_F(HttpSessionTest, SilenceOrADripEndsTheTransfer) {
  struct Case {
    const char* name;
    int headerDelayMs;
    int headerLineDelayMs;
    int bodyDelayMs;
    size_t delayEveryBytes;
    bool sent;
    size_t received;
    HttpError error;
  };
  const Case cases[] = {
      {"silent", 5000, 0, 0, 0, false, 0, HttpError::ReceiveTimeout},
      {"stalls", 0, 0, 5000, 0, true, 1500, HttpError::ReceiveTimeout},
      {"drips its headers", 0, 20, 0, 0, false, 0, HttpError::TooSlow},
      {"drips its body", 0, 0, 20, 1, true, 1500, HttpError::TooSlow},
      {"slow but steady", 60, 0, 60, 400, true, 4000, HttpError::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedResponse response = ScriptedResponse::Ok(std::string(4000, 's'));
    response.Headers.assign(c.headerLineDelayMs > 0 ? 150 : 0, {"X", "1"});
    response.HeaderDelayMs = c.headerDelayMs;
    response.HeaderLineDelayMs = c.headerLineDelayMs;
    response.BodyDelayMs = c.bodyDelayMs;
    response.DelayAtByte = 1500;
    response.DelayEveryBytes = c.delayEveryBytes;
    server_.Script("/slow", response);
    auto request = Get("/slow", kShortMs);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->Send(), c.sent);
    if (c.sent) {
      const size_t received = ReadAll(*request).size();
      EXPECT_GE(received, c.received);
      EXPECT_EQ(received == 4000u, c.error == HttpError::None);
      EXPECT_EQ(request->CompletedWhole(), c.error == HttpError::None);
    }
    EXPECT_EQ(request->Error(), c.error);
  }
}

TEST(HttpSessionConnectTest, ARefusedConnectionFails) {
  std::string closed;
  {
    TestHttpServer gone;
    closed = gone.Authority();
  }
  auto session = HttpSession::Open(Timeouts(kShortMs));
  auto request = session->OpenRequest(HttpScheme::Http, Wide(closed), u"/");
  ASSERT_NE(request, nullptr);
  EXPECT_FALSE(request->Send());
  EXPECT_EQ(request->Error(), HttpError::Connect);
}

// The proxy's forms are ProxyName's; HTTPS through a proxy is FetchUrl_test's.
TEST(HttpSessionProxyTest, TheProxySeesTheAbsoluteUriAndMustBeNamed) {
  for (const char16_t* blank : {u"", u"  "}) {
    HttpSessionOptions options;
    options.UseProxy = true;
    options.ProxyName = blank;
    EXPECT_EQ(HttpSession::Open(options), nullptr);
  }
  TestHttpServer proxy;
  proxy.Script("http://www.example.test:8080/dir/page.html?q=1#f",
               ScriptedResponse::Ok("via proxy"));
  auto session = HttpSession::Open(ViaProxy("http=" + proxy.Authority()));
  ASSERT_NE(session, nullptr);
  auto request =
      session->OpenRequest(HttpScheme::Http, u"www.example.test:8080", u"/dir/page.html?q=1#f");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(ReadAll(*request), "via proxy");
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].RequestLine,
            "GET http://www.example.test:8080/dir/page.html?q=1#f HTTP/1.1");
  EXPECT_EQ(requests[0].Header("Host"), "www.example.test:8080");
  EXPECT_EQ(requests[0].Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)");
}

// Direct stays direct whatever proxy the environment names, and a proxy is used even for the
// hosts that the environment's no_proxy lists.
TEST(HttpSessionProxyTest, TheEnvironmentNeverChangesTheRoute) {
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
  auto direct = HttpSession::Open(Timeouts(kPatientMs));
  auto proxied = HttpSession::Open(ViaProxy(proxy.Authority()));
  auto request = direct->OpenRequest(HttpScheme::Http, Wide(origin.Authority()), u"/page");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(ReadAll(*request), "direct");
  EXPECT_EQ(proxy.RequestCount(), 0u);
  request = proxied->OpenRequest(HttpScheme::Http, u"127.0.0.1:1", u"/x");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(ReadAll(*request), "proxied");
}

}  // namespace
}  // namespace kivo::platform
