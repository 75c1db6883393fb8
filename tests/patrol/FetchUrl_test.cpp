#include "patrol/FetchUrl.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"
#include "platform/FileExists.h"

namespace kivo {
namespace {

using test::LengthHeader;
using test::ResponseOutcome;
using test::ScriptedResponse;
using test::TestHttpServer;

constexpr const char* kLastModified = "Sun, 06 Nov 1994 08:49:37 GMT";

// Records everything the fetcher shows.
class RecordingProgress : public FetchProgress {
 public:
  void SetByteText(std::u16string_view text) override { texts.emplace_back(text); }
  void SetPercent(int32_t percent) override { percents.push_back(percent); }

  std::vector<std::u16string> texts;
  std::vector<int32_t> percents;
};

// kLastModified as a stored time.
SystemTime StoredTime() {
  return SystemTime{1994, 11, 0, 6, 8, 49, 37, 0};
}

TEST(SplitUrlTest, HostAndPathAreSplitAtTheFirstSlash) {
  struct Case {
    std::u16string url;
    std::u16string host;
    std::u16string path;
    UrlScheme scheme;
  };
  const Case cases[] = {
      {u"http://www.example.com", u"www.example.com", u"/", UrlScheme::Http},
      {u"http://www.example.com/", u"www.example.com", u"/", UrlScheme::Http},
      {u"http://host:8080/a/b?q=1#top", u"host:8080", u"/a/b?q=1#top", UrlScheme::Http},
      {u"https://host/x", u"host", u"/x", UrlScheme::Https},
      // The host also ends at a query or a fragment.
      {u"http://example.com?id=3", u"example.com", u"/?id=3", UrlScheme::Http},
      {u"http://host:81#top", u"host:81", u"/#top", UrlScheme::Http},
      // The prefix test is case-sensitive: the text before the first slash is the host.
      {u"HTTP://host/x", u"HTTP:", u"//host/x", UrlScheme::None},
      {u"ftp://host/x", u"ftp:", u"//host/x", UrlScheme::None},
      {u"file:///etc/passwd", u"file:", u"///etc/passwd", UrlScheme::None},
      {u"host/page", u"host", u"/page", UrlScheme::None},
      {u"", u"", u"/", UrlScheme::None},
  };
  for (const Case& c : cases) {
    WideString host(u"stale");
    WideString path(u"stale");
    const SplitUrlResult result = SplitUrl(c.url, host, path);
    EXPECT_EQ(host.View(), c.host);
    EXPECT_EQ(path.View(), c.path);
    EXPECT_EQ(result.Scheme, c.scheme);
    EXPECT_FALSE(result.Truncated);
  }
}

TEST(SplitUrlTest, OverLongPartsAreCutAndReported) {
  const std::u16string host255(255, u'h');
  const std::u16string path1023 = u"/" + std::u16string(1022, u'p');
  WideString host;
  WideString path;
  EXPECT_FALSE(SplitUrl(u"http://" + host255 + path1023, host, path).Truncated);
  EXPECT_EQ(host.Length(), 255);
  EXPECT_EQ(path.Length(), 1023);
  EXPECT_TRUE(SplitUrl(u"http://" + host255 + u"h/", host, path).Truncated);
  EXPECT_EQ(host.Length(), 255);
  EXPECT_TRUE(SplitUrl(u"http://h" + path1023 + u"p", host, path).Truncated);
  EXPECT_EQ(path.Length(), 1023);
  EXPECT_TRUE(SplitUrl(u"http://" + host255 + u"h", host, path).Truncated);
}

class FetchUrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    HttpSessionOptions options;
    options.ConnectTimeoutMs = 500;
    options.ReceiveTimeoutMs = 500;
    session_ = HttpSession::Open(options);
    ASSERT_NE(session_, nullptr);
    output_ = dir_.Wide("Kivo0000.tmp");
  }

  int Fetch(const std::string& path, int32_t* hasTime = nullptr, SystemTime* time = nullptr) {
    return FetchUrl(*session_, server_.WideUrl(path), output_, hasTime, time, &progress_);
  }
  std::string Output() const { return test::ReadBytes(dir_.File("Kivo0000.tmp")); }
  bool OutputExists() const { return FileExists(output_); }

  TestHttpServer server_;
  test::TempDir dir_;
  std::unique_ptr<HttpSession> session_;
  std::u16string output_;
  RecordingProgress progress_;
};

TEST_F(FetchUrlTest, ABodyIsWrittenWholeWithCountsAndPercentages) {
  const std::string body(2500, 'b');
  server_.Script("/page.html", ScriptedResponse::Ok(body));
  EXPECT_EQ(Fetch("/page.html"), 1);
  EXPECT_EQ(Output(), body);
  // One text and one percentage per piece read, after the two initial texts and the 0.
  ASSERT_GE(progress_.texts.size(), 5u);
  EXPECT_EQ(progress_.texts[0], u"");
  EXPECT_EQ(progress_.texts[1], u"0/2500");
  EXPECT_EQ(progress_.texts.back(), u"2500/2500");
  ASSERT_EQ(progress_.percents.size() + 1, progress_.texts.size());
  EXPECT_EQ(progress_.percents.front(), 0);
  EXPECT_EQ(progress_.percents.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress_.percents.begin(), progress_.percents.end()));
}

TEST_F(FetchUrlTest, WithoutContentLengthOnlyTheRunningCountIsShown) {
  ScriptedResponse response = ScriptedResponse::Ok(std::string(1500, 'n'));
  response.Length = LengthHeader::Absent;
  server_.Script("/nolength", response);
  EXPECT_EQ(Fetch("/nolength"), 1);
  EXPECT_EQ(Output().size(), 1500u);
  ASSERT_GE(progress_.texts.size(), 4u);
  EXPECT_EQ(progress_.texts[0], u"");
  EXPECT_EQ(progress_.texts[1], u"0");
  EXPECT_EQ(progress_.texts.back(), u"1500");
  EXPECT_EQ(progress_.percents, (std::vector<int32_t>{0}));
}

TEST_F(FetchUrlTest, AContentLengthSmallerThanTheDataCapsThePercentageAt100) {
  // A chunked body frames itself, so the data runs past the stated length.
  ScriptedResponse response = ScriptedResponse::Ok(std::string(3000, 's'));
  response.Chunked = true;
  response.Length = LengthHeader::TooSmall;
  response.LengthError = 2000;
  server_.Script("/small", response);
  EXPECT_EQ(Fetch("/small"), 1);
  EXPECT_EQ(Output().size(), 3000u);
  EXPECT_EQ(progress_.percents.back(), 100);
  for (int32_t percent : progress_.percents) {
    EXPECT_LE(percent, 100);
  }
  EXPECT_EQ(progress_.texts.back(), u"3000/1000");
}

TEST_F(FetchUrlTest, AnEqualTimeToTheSecondIsUnchangedAndTheBodyIsNotTransferred) {
  ScriptedResponse response = ScriptedResponse::Ok(std::string(1000, 'u'));
  response.Headers = {{"Last-Modified", kLastModified}};
  response.BodyDelayMs = 3000;  // the client must close well before the body would follow
  server_.Script("/same", response);
  test::WriteBytes(dir_.File("Kivo0000.tmp"), "previous");
  int32_t hasTime = 1;
  SystemTime stored = StoredTime();
  stored.DayOfWeek = 3;       // takes no part in the comparison
  stored.Milliseconds = 500;  // nor does this
  const SystemTime before = stored;
  EXPECT_EQ(Fetch("/same", &hasTime, &stored), 0);
  EXPECT_EQ(hasTime, 1);
  EXPECT_EQ(stored, before);
  EXPECT_EQ(Output(), "previous");
  ASSERT_TRUE(server_.WaitForOutcomes(1));
  EXPECT_EQ(server_.Requests()[0].Outcome, ResponseOutcome::ClientClosed);
}

TEST_F(FetchUrlTest, ADownloadRecordsTheServersTimeOrClearsTheFlagWithoutOne) {
  struct Case {
    const char* name;
    const char* lastModified;  // nullptr: no header
    int32_t hasTimeBefore;
    int32_t hasTimeAfter;
    uint16_t secondAfter;  // the rest of the stored time stays StoredTime()
  };
  const Case cases[] = {
      {"a different time is stored", "Sun, 06 Nov 1994 08:49:38 GMT", 1, 1, 38},
      // An equal time must not matter while the flag is clear.
      {"a first fetch sets the flag", kLastModified, 0, 1, 37},
      {"a header that has gone keeps the time", nullptr, 1, 0, 37},
  };
  for (const Case& c : cases) {
    ScriptedResponse response = ScriptedResponse::Ok(c.name);
    if (c.lastModified != nullptr) {
      response.Headers = {{"Last-Modified", c.lastModified}};
    }
    server_.Script("/page", response);
    int32_t hasTime = c.hasTimeBefore;
    SystemTime stored = StoredTime();
    SystemTime expected = StoredTime();
    expected.Second = c.secondAfter;
    EXPECT_EQ(Fetch("/page", &hasTime, &stored), 1) << c.name;
    EXPECT_EQ(Output(), c.name);
    EXPECT_EQ(hasTime, c.hasTimeAfter) << c.name;
    EXPECT_EQ(stored, expected) << c.name;
  }
}

TEST_F(FetchUrlTest, ImagesAreFetchedUnconditionally) {
  ScriptedResponse response = ScriptedResponse::Ok("GIF89a");
  response.Headers = {{"Last-Modified", kLastModified}};
  server_.Script("/logo.gif", response);
  EXPECT_EQ(Fetch("/logo.gif"), 1);
  EXPECT_EQ(Output(), "GIF89a");
}

TEST_F(FetchUrlTest, TheOutputIsReplacedSoASecondNameKeepsTheOldBytes) {
  // A stored copy may be a second name of the previous download.
  ASSERT_TRUE(test::WriteBytes(dir_.File("Kivo0000.tmp"), "previous download"));
  ASSERT_EQ(::link(dir_.File("Kivo0000.tmp").c_str(), dir_.File("copy.html").c_str()), 0);
  server_.Script("/next.html", ScriptedResponse::Ok("next"));
  EXPECT_EQ(Fetch("/next.html"), 1);
  EXPECT_EQ(Output(), "next");
  EXPECT_EQ(test::ReadBytes(dir_.File("copy.html")), "previous download");
}

TEST_F(FetchUrlTest, ABodyCutShortFailsAndLeavesNoPartialDownloadNorTime) {
  ScriptedResponse reset = ScriptedResponse::Ok(std::string(5000, 'r'));
  reset.ResetAtByte = 3000;
  ScriptedResponse truncated = ScriptedResponse::Ok(std::string(2000, 't'));
  truncated.Length = LengthHeader::TooLarge;
  truncated.LengthError = 1000;
  ScriptedResponse stalls = ScriptedResponse::Ok(std::string(3000, 'w'));
  stalls.BodyDelayMs = 5000;
  stalls.DelayAtByte = 1024;
  for (ScriptedResponse* response : {&reset, &truncated, &stalls}) {
    response->Headers = {{"Last-Modified", kLastModified}};
    server_.Script("/cut", *response);
    int32_t hasTime = 0;
    SystemTime stored;
    EXPECT_EQ(Fetch("/cut", &hasTime, &stored), 0);
    EXPECT_FALSE(OutputExists());
    EXPECT_EQ(hasTime, 0);  // a later patrol must not skip the page as unchanged
    EXPECT_EQ(stored, SystemTime());
  }
}

TEST_F(FetchUrlTest, HttpErrorStatusesFailAndStoreNothing) {
  for (int status : {400, 404, 500, 503}) {
    ScriptedResponse response = ScriptedResponse::Ok("error page");
    response.Status = status;
    response.Headers = {{"Last-Modified", kLastModified}};
    server_.Script("/error", response);
    test::WriteBytes(dir_.File("Kivo0000.tmp"), "previous");
    int32_t hasTime = 0;
    SystemTime stored;
    EXPECT_EQ(Fetch("/error", &hasTime, &stored), 0) << status;
    EXPECT_EQ(Output(), "previous") << status;
    EXPECT_EQ(hasTime, 0) << status;
  }
}

TEST_F(FetchUrlTest, ARedirectIsFollowedToTheFinalBody) {
  server_.Script("/moved", ScriptedResponse::Redirect(302, "/here"));
  server_.Script("/here", ScriptedResponse::Ok("final"));
  EXPECT_EQ(Fetch("/moved"), 1);
  EXPECT_EQ(Output(), "final");
}

TEST_F(FetchUrlTest, RedirectsThatGoNowhereOrElsewhereFail) {
  test::WriteBytes(dir_.File("secret"), "secret");
  server_.Script("/loop", ScriptedResponse::Redirect(302, "/loop"));
  server_.Script("/local", ScriptedResponse::Redirect(301, "file://" + dir_.File("secret")));
  EXPECT_EQ(Fetch("/loop"), 0);
  EXPECT_EQ(Fetch("/local"), 0);
  EXPECT_FALSE(OutputExists());
}

TEST_F(FetchUrlTest, TheRequestLineIsTheRootForABareHostAndThePathAsWritten) {
  struct Case {
    std::string suffix;  // after "http://host:port"
    std::string target;
  };
  const Case cases[] = {
      {"", "/"},
      {"/cgi/list?page=2&sort=a#entry5", "/cgi/list?page=2&sort=a#entry5"},
  };
  for (const Case& c : cases) {
    server_.Script(c.target, ScriptedResponse::Ok("body " + c.target));
    const std::string url = "http://" + server_.Authority() + c.suffix;
    // No progress sink and no stored time are needed.
    EXPECT_EQ(FetchUrl(*session_, test::U16(url), output_, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(Output(), "body " + c.target);
  }
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(requests[i].RequestLine, "GET " + cases[i].target + " HTTP/1.1");
    EXPECT_EQ(requests[i].Header("Host"), server_.Authority());
  }
}

TEST_F(FetchUrlTest, AnOutputFileThatCannotBeCreatedFails) {
  server_.Script("/page", ScriptedResponse::Ok("body"));
  const std::u16string missingFolder = dir_.Wide("missing/Kivo0000.tmp");
  EXPECT_EQ(FetchUrl(*session_, server_.WideUrl("/page"), missingFolder, nullptr, nullptr, nullptr),
            0);
  ::mkdir(dir_.File("folder").c_str(), 0755);
  EXPECT_EQ(
      FetchUrl(*session_, server_.WideUrl("/page"), dir_.Wide("folder"), nullptr, nullptr, nullptr),
      0);
}

TEST_F(FetchUrlTest, UrlsThatCouldSplitTheRequestBeCutDownOrLeaveHttpAreRefused) {
  test::WriteBytes(dir_.File("secret"), "secret");
  std::string longPath(1024, 'p');
  longPath[0] = '/';
  server_.Script(longPath.substr(0, 1023), ScriptedResponse::Ok("cut down"));
  const std::u16string urls[] = {
      server_.WideUrl("/a\r\nHost: evil"),
      server_.WideUrl("/a\nb"),
      server_.WideUrl("/a\rb"),
      server_.WideUrl(std::string("/a\0b", 4)),
      server_.WideUrl(longPath),
      u"http://" + std::u16string(256, u'h') + u"/",
      u"file://" + dir_.Wide("secret"),
      u"ftp://127.0.0.1/x",
      u"HTTP://" + test::U16(server_.Authority()) + u"/",
  };
  for (const std::u16string& url : urls) {
    EXPECT_EQ(FetchUrl(*session_, url, output_, nullptr, nullptr, nullptr), 0);
  }
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_FALSE(OutputExists());
}

TEST(FetchUrlProxyTest, HttpsUrlsAreFetchedOnPort443) {
  TestHttpServer proxy;
  ScriptedResponse refused;
  refused.Status = 403;
  proxy.Script("www.example.test:443", refused);
  HttpSessionOptions options;
  options.UseProxy = true;
  options.ProxyName = test::U16(proxy.Authority());
  options.ConnectTimeoutMs = 500;
  options.ReceiveTimeoutMs = 500;
  auto session = HttpSession::Open(options);
  test::TempDir dir;
  EXPECT_EQ(FetchUrl(*session, u"https://www.example.test/index.html", dir.Wide("out"), nullptr,
                     nullptr, nullptr),
            0);
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].RequestLine, "CONNECT www.example.test:443 HTTP/1.1");
}

}  // namespace
}  // namespace kivo
