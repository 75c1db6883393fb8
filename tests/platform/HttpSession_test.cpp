#include "platform/HttpSession.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "common/ScopedEnv.h"
#include "httpserver/TestHttpServer.h"
#include "platform/HttpRequest.h"

namespace kivo::platform {
namespace {

using test::LengthHeader;
using test::ResponseOutcome;
using test::ScriptedResponse;
using test::TestHttpServer;

std::u16string Wide(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

HttpSessionOptions ShortTimeouts() {
  HttpSessionOptions options;
  options.ConnectTimeoutMs = 500;
  options.ReceiveTimeoutMs = 500;
  return options;
}

// Short time-outs through the proxy named `proxyName`.
HttpSessionOptions ViaProxy(const std::string& proxyName) {
  HttpSessionOptions options = ShortTimeouts();
  options.UseProxy = true;
  options.ProxyName = Wide(proxyName);
  return options;
}

// Reads the whole body through the 1024-byte reads; the largest piece is reported as well.
std::string ReadAll(HttpRequest& request, size_t* largestPiece = nullptr) {
  std::string body;
  uint8_t buffer[4096];
  for (;;) {
    const int32_t count = request.Read(buffer, sizeof buffer);
    if (count == 0) {
      return body;
    }
    if (largestPiece != nullptr) {
      *largestPiece = std::max(*largestPiece, static_cast<size_t>(count));
    }
    body.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(count));
  }
}

class HttpSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    session_ = HttpSession::Open(ShortTimeouts());
    ASSERT_NE(session_, nullptr);
  }

  std::unique_ptr<HttpRequest> Get(const std::string& path) {
    return session_->OpenRequest(HttpScheme::Http, Wide(server_.Authority()), Wide(path));
  }

  TestHttpServer server_;
  std::unique_ptr<HttpSession> session_;
};

TEST_F(HttpSessionTest, SendsExactlyTheAgentAndAcceptHeadersOverHttp11) {
  server_.Script("/page", ScriptedResponse::Ok("hello"));
  auto request = Get("/page");
  ASSERT_NE(request, nullptr);
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(ReadAll(*request), "hello");
  EXPECT_TRUE(request->CompletedWhole());
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].RequestLine, "GET /page HTTP/1.1");
  EXPECT_EQ(requests[0].Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)");
  EXPECT_EQ(requests[0].Header("Accept"), "*/*");
  EXPECT_EQ(requests[0].Header("Host"), server_.Authority());
  // Nothing else: no Accept-Encoding, Cookie, Pragma, Cache-Control or If-Modified-Since.
  EXPECT_EQ(requests[0].Headers.size(), 3u);
}

TEST_F(HttpSessionTest, RequestTargetKeepsQueryAndFragmentAndEncodesOnlyWhatMust) {
  struct Case {
    std::u16string path;
    std::string target;
  };
  const Case cases[] = {
      {u"/a/b.cgi?x=1&y=2#top", "/a/b.cgi?x=1&y=2#top"},
      {u"/", "/"},
      {u"/with space/x?q=a b", "/with%20space/x?q=a%20b"},
      {u"/%41lready", "/%41lready"},
      {u"/\u65e5\u672c", "/%93%FA%96%7B"},  // code-page bytes (Shift-JIS in the tests)
      {u"/q\"<>`{}|", "/q%22%3C%3E%60%7B%7D|"},
  };
  for (const Case& c : cases) {
    auto request = session_->OpenRequest(HttpScheme::Http, Wide(server_.Authority()), c.path);
    ASSERT_NE(request, nullptr);
    request->Send();
  }
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(requests[i].Target, cases[i].target);
  }
}

TEST_F(HttpSessionTest, ControlCharactersInThePathAreRefusedBeforeAnythingIsSent) {
  for (const std::u16string path : {u"/a\r\nX-Injected: 1", u"/a\nb", u"/a\tb", u"/a\x7f"}) {
    EXPECT_EQ(session_->OpenRequest(HttpScheme::Http, Wide(server_.Authority()), path), nullptr);
  }
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_F(HttpSessionTest, HostsThatCouldCarryAnotherUrlAreRefused) {
  for (const std::u16string host : {u"", u"user@127.0.0.1", u"127.0.0.1:", u"127.0.0.1:99999",
                                    u"a b", u"file:", u"h\u00e9te", u"127.0.0.1:80x"}) {
    EXPECT_EQ(session_->OpenRequest(HttpScheme::Http, host, u"/"), nullptr);
  }
}

TEST_F(HttpSessionTest, HttpsSpeaksTlsOnTheGivenPort) {
  // The plain server never answers the TLS handshake, so no HTTP request reaches it; the
  // handshake belongs to connecting and ends with the connect time-out.
  server_.Script("/", ScriptedResponse::Ok("plain"));
  auto request = session_->OpenRequest(HttpScheme::Https, Wide(server_.Authority()), u"/");
  ASSERT_NE(request, nullptr);
  EXPECT_FALSE(request->Send());
  EXPECT_EQ(request->Error(), HttpError::ConnectTimeout);
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_EQ(server_.ConnectionCount(), 1);
}

TEST_F(HttpSessionTest, ReadsDeliverAtMost1024Bytes) {
  const std::string body(100000, 'x');
  server_.Script("/big", ScriptedResponse::Ok(body));
  auto request = Get("/big");
  ASSERT_TRUE(request->Send());
  size_t largest = 0;
  EXPECT_EQ(ReadAll(*request, &largest), body);
  EXPECT_EQ(largest, 1024u);
  EXPECT_TRUE(request->CompletedWhole());
}

TEST_F(HttpSessionTest, ConnectionsAreReusedAcrossRequests) {
  server_.Script("/a", ScriptedResponse::Ok("a"));
  server_.Script("/b", ScriptedResponse::Ok("b"));
  for (const char* path : {"/a", "/b", "/a"}) {
    auto request = Get(path);
    ASSERT_TRUE(request->Send());
    ReadAll(*request);
  }
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].ConnectionId, requests[0].ConnectionId);
  EXPECT_EQ(requests[2].ConnectionId, requests[0].ConnectionId);
}

TEST_F(HttpSessionTest, OnlyOneRequestIsOpenAtATime) {
  auto first = Get("/");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Get("/"), nullptr);
  first.reset();
  EXPECT_NE(Get("/"), nullptr);
}

TEST_F(HttpSessionTest, HeadersOfTheFinalResponseAreQueried) {
  ScriptedResponse response = ScriptedResponse::Ok("12345");
  response.Headers = {{"Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT"}};
  server_.Script("/page", response);
  auto request = Get("/page");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(request->StatusCode(), 200);
  EXPECT_EQ(request->QueryContentLength(), 5u);
  const auto time = request->QueryLastModified();
  ASSERT_TRUE(time.has_value());
  EXPECT_EQ(time->Year, 1994);
  EXPECT_EQ(time->Second, 37);
}

TEST_F(HttpSessionTest, AnUnparsableLastModifiedCountsAsNone) {
  ScriptedResponse response = ScriptedResponse::Ok("x");
  response.Headers = {{"Last-Modified", "yesterday"}};
  server_.Script("/page", response);
  auto request = Get("/page");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(request->QueryLastModified(), std::nullopt);
}

TEST_F(HttpSessionTest, RedirectsAreFollowedAndTheFinalHeadersCount) {
  server_.Script("/old#keep", ScriptedResponse::Redirect(301, "/mid?x#frag"));
  server_.Script("/mid?x", ScriptedResponse::Redirect(302, server_.Url("/new")));
  ScriptedResponse final = ScriptedResponse::Ok("new page");
  final.Headers = {{"Last-Modified", "Mon, 07 Nov 1994 08:49:37 GMT"}};
  server_.Script("/new", final);
  auto request = Get("/old#keep");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(request->StatusCode(), 200);
  EXPECT_EQ(request->RedirectCount(), 2);
  EXPECT_EQ(request->QueryLastModified()->Day, 7);
  EXPECT_EQ(ReadAll(*request), "new page");
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Target, "/old#keep");
  EXPECT_EQ(requests[1].Target, "/mid?x");
  EXPECT_EQ(requests[2].Target, "/new");
}

TEST_F(HttpSessionTest, RedirectLoopsEndAfterTenHopsAndOtherSchemesAreRefused) {
  server_.Script("/loop", ScriptedResponse::Redirect(302, "/loop"));
  server_.Script("/file", ScriptedResponse::Redirect(302, "file:///etc/passwd"));
  server_.Script("/ftp", ScriptedResponse::Redirect(302, "ftp://127.0.0.1/x"));
  for (const char* path : {"/loop", "/file", "/ftp"}) {
    auto request = Get(path);
    EXPECT_FALSE(request->Send()) << path;
    EXPECT_EQ(request->Error(), HttpError::Redirect) << path;
  }
  EXPECT_EQ(server_.RequestCount(), 11u + 2u);  // the first and ten hops, then one each
}

TEST_F(HttpSessionTest, AResetOrAShortBodyIsAFailureNotAnEnd) {
  ScriptedResponse reset = ScriptedResponse::Ok(std::string(5000, 'r'));
  reset.Length = LengthHeader::Absent;
  reset.ResetAtByte = 2000;
  server_.Script("/reset", reset);
  ScriptedResponse shorter = ScriptedResponse::Ok("short");
  shorter.Length = LengthHeader::TooLarge;
  shorter.LengthError = 100;
  server_.Script("/short", shorter);
  auto request = Get("/reset");
  ASSERT_TRUE(request->Send());
  ReadAll(*request);
  EXPECT_FALSE(request->CompletedWhole());
  EXPECT_EQ(request->Error(), HttpError::Transport);
  request = nullptr;
  request = Get("/short");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(ReadAll(*request), "short");
  EXPECT_FALSE(request->CompletedWhole());
}

TEST_F(HttpSessionTest, APlainBodyEndsAtItsContentLengthEvenWhenMoreFollows) {
  // HTTP framing: bytes past the stated length are no part of the response.
  ScriptedResponse response = ScriptedResponse::Ok("0123456789");
  response.Length = LengthHeader::TooSmall;
  response.LengthError = 4;
  server_.Script("/long", response);
  auto request = Get("/long");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(request->QueryContentLength(), 6u);
  EXPECT_EQ(ReadAll(*request), "012345");
  EXPECT_TRUE(request->CompletedWhole());
}

TEST_F(HttpSessionTest, ChunkedAndCloseDelimitedBodiesArriveWhole) {
  ScriptedResponse chunked = ScriptedResponse::Ok(std::string(3000, 'c'));
  chunked.Chunked = true;
  chunked.Length = LengthHeader::Absent;
  chunked.ChunkSize = 700;
  server_.Script("/chunked", chunked);
  ScriptedResponse closed = ScriptedResponse::Ok(std::string(3000, 'd'));
  closed.Length = LengthHeader::Absent;
  server_.Script("/closed", closed);
  for (const char* path : {"/chunked", "/closed"}) {
    auto request = Get(path);
    ASSERT_TRUE(request->Send());
    EXPECT_EQ(ReadAll(*request).size(), 3000u) << path;
    EXPECT_TRUE(request->CompletedWhole()) << path;
    EXPECT_EQ(request->QueryContentLength(), std::nullopt);
  }
}

TEST_F(HttpSessionTest, NoDataForTheReceiveTimeOutEndsTheTransfer) {
  ScriptedResponse silent = ScriptedResponse::Ok("late");
  silent.HeaderDelayMs = 5000;
  server_.Script("/silent", silent);
  ScriptedResponse stalls = ScriptedResponse::Ok(std::string(4000, 's'));
  stalls.BodyDelayMs = 5000;
  stalls.DelayAtByte = 1500;
  server_.Script("/stalls", stalls);

  auto silentRequest = Get("/silent");
  EXPECT_FALSE(silentRequest->Send());
  EXPECT_EQ(silentRequest->Error(), HttpError::ReceiveTimeout);
  silentRequest.reset();

  auto stallingRequest = Get("/stalls");
  ASSERT_TRUE(stallingRequest->Send());
  EXPECT_EQ(ReadAll(*stallingRequest).size(), 1500u);
  EXPECT_FALSE(stallingRequest->CompletedWhole());
  EXPECT_EQ(stallingRequest->Error(), HttpError::ReceiveTimeout);
}

TEST_F(HttpSessionTest, SlowButSteadyDataIsNoTimeOut) {
  // Every gap stays below the 0.5 s receive time-out while the whole transfer takes longer:
  // there is no limit on a transfer's total time.
  // The pieces also keep above the minimum rate of 1 KiB per receive time-out.
  ScriptedResponse response = ScriptedResponse::Ok(std::string(2400, 'w'));
  response.HeaderDelayMs = 150;
  response.BodyDelayMs = 150;
  response.DelayAtByte = 600;
  response.DelayEveryBytes = 600;
  server_.Script("/steady", response);
  auto request = Get("/steady");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(ReadAll(*request).size(), 2400u);
  EXPECT_TRUE(request->CompletedWhole());
}

TEST(HttpSessionConnectTest, AConnectThatHangsEndsAfterTheConnectTimeOut) {
  test::StalledListener stalled;
  auto session = HttpSession::Open(ShortTimeouts());
  ASSERT_NE(session, nullptr);
  auto request = session->OpenRequest(HttpScheme::Http, Wide(stalled.Authority()), u"/");
  ASSERT_NE(request, nullptr);
  EXPECT_FALSE(request->Send());
  EXPECT_EQ(request->Error(), HttpError::ConnectTimeout);
}

TEST(HttpSessionConnectTest, ARefusedConnectionFails) {
  uint16_t closedPort = 0;
  {
    TestHttpServer gone;
    closedPort = gone.Port();
  }
  auto session = HttpSession::Open(ShortTimeouts());
  auto request =
      session->OpenRequest(HttpScheme::Http, Wide("127.0.0.1:" + std::to_string(closedPort)), u"/");
  EXPECT_FALSE(request->Send());
  EXPECT_EQ(request->Error(), HttpError::Connect);
}

TEST(HttpSessionProxyTest, UseProxyWithoutAProxyNameCannotOpen) {
  HttpSessionOptions options;
  options.UseProxy = true;
  EXPECT_EQ(HttpSession::Open(options), nullptr);
  options.ProxyName = u"  ";
  EXPECT_EQ(HttpSession::Open(options), nullptr);
  options.ProxyName = u"proxy.example:8080";
  EXPECT_NE(HttpSession::Open(options), nullptr);
}

TEST(HttpSessionProxyTest, TheProxySeesTheAbsoluteUri) {
  TestHttpServer proxy;
  proxy.Script("http://www.example.test:8080/dir/page.html?q=1#f",
               ScriptedResponse::Ok("via proxy"));
  for (const std::string& name : {proxy.Authority(), "http=" + proxy.Authority()}) {
    auto session = HttpSession::Open(ViaProxy(name));
    ASSERT_NE(session, nullptr);
    auto request =
        session->OpenRequest(HttpScheme::Http, u"www.example.test:8080", u"/dir/page.html?q=1#f");
    ASSERT_TRUE(request->Send());
    EXPECT_EQ(ReadAll(*request), "via proxy");
  }
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].RequestLine,
            "GET http://www.example.test:8080/dir/page.html?q=1#f HTTP/1.1");
  EXPECT_EQ(requests[0].Header("Host"), "www.example.test:8080");
  EXPECT_EQ(requests[0].Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)");
}

TEST(HttpSessionProxyTest, HttpsGoesThroughATunnelToPort443) {
  TestHttpServer proxy;
  ScriptedResponse refused;
  refused.Status = 403;
  proxy.Script("secure.example.test:443", refused);
  auto session = HttpSession::Open(ViaProxy(proxy.Authority()));
  auto request = session->OpenRequest(HttpScheme::Https, u"secure.example.test", u"/x");
  EXPECT_FALSE(request->Send());
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].RequestLine, "CONNECT secure.example.test:443 HTTP/1.1");
}

TEST(HttpSessionProxyTest, DirectIgnoresProxyVariablesInTheEnvironment) {
  TestHttpServer origin;
  TestHttpServer trap;
  origin.Script("/page", ScriptedResponse::Ok("direct"));
  const std::string trapUrl = "http://" + trap.Authority();
  test::ScopedEnv httpProxy("http_proxy", trapUrl);
  test::ScopedEnv allProxy("ALL_PROXY", trapUrl);
  test::ScopedEnv allProxyLower("all_proxy", trapUrl);
  auto session = HttpSession::Open(ShortTimeouts());
  auto request = session->OpenRequest(HttpScheme::Http, Wide(origin.Authority()), u"/page");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(ReadAll(*request), "direct");
  EXPECT_EQ(origin.RequestCount(), 1u);
  EXPECT_EQ(trap.RequestCount(), 0u);
}

TEST(HttpSessionProxyTest, NoProxyInTheEnvironmentDoesNotBypassTheProxy) {
  TestHttpServer proxy;
  proxy.Script("http://127.0.0.1:1/x", ScriptedResponse::Ok("proxied"));
  test::ScopedEnv noProxy("no_proxy", "*");
  test::ScopedEnv noProxyUpper("NO_PROXY", "*");
  auto session = HttpSession::Open(ViaProxy(proxy.Authority()));
  auto request = session->OpenRequest(HttpScheme::Http, u"127.0.0.1:1", u"/x");
  ASSERT_TRUE(request->Send());
  EXPECT_EQ(ReadAll(*request), "proxied");
}

}  // namespace
}  // namespace kivo::platform
