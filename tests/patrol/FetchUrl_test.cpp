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
    SCOPED_TRACE(test::Utf8(c.url));
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

// One text and one percentage per piece read, after the two initial texts and the 0; without a
// Content-Length only the running count.
TEST_F(FetchUrlTest, ProgressShowsCountsAndPercentages) {
  struct Case {
    const char* name;
    LengthHeader length;
    size_t lengthError;
    const char16_t* firstCount;
    const char16_t* lastCount;
    int32_t lastPercent;
  };
  const Case cases[] = {
      {"exact", LengthHeader::Exact, 0, u"0/3000", u"3000/3000", 100},
      {"no length", LengthHeader::Absent, 0, u"0", u"3000", 0},
      // A chunked body frames itself, so the data runs past the stated length.
      {"length too small", LengthHeader::TooSmall, 2000, u"0/1000", u"3000/1000", 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedResponse response = ScriptedResponse::Ok(std::string(3000, 'b'));
    response.Length = c.length;
    response.LengthError = c.lengthError;
    response.ChunkSize = c.length == LengthHeader::TooSmall ? 1024 : 0;
    server_.Script("/page.html", response);
    progress_.texts.clear();
    progress_.percents.clear();
    EXPECT_EQ(Fetch("/page.html"), 1);
    EXPECT_EQ(Output(), response.Body);
    const std::vector<std::u16string>& texts = progress_.texts;
    const std::vector<int32_t>& percents = progress_.percents;
    ASSERT_GE(texts.size(), 5u);
    EXPECT_EQ(texts[0], u"");
    EXPECT_EQ(texts[1], c.firstCount);
    EXPECT_EQ(texts.back(), c.lastCount);
    EXPECT_EQ(percents.size(), c.lastPercent == 0 ? 1 : texts.size() - 1);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), c.lastPercent);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  }
}

TEST_F(FetchUrlTest, AnEqualTimeToTheSecondIsUnchangedAndTheBodyIsNotTransferred) {
  ScriptedResponse response = ScriptedResponse::Ok(std::string(1000, 'u'));
  response.Headers = {{"Last-Modified", kLastModified}};
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
    SCOPED_TRACE(c.name);
    ScriptedResponse response = ScriptedResponse::Ok(c.name);
    if (c.lastModified != nullptr) {
      response.Headers = {{"Last-Modified", c.lastModified}};
    }
    server_.Script("/page", response);
    int32_t hasTime = c.hasTimeBefore;
    SystemTime stored = StoredTime();
    SystemTime expected = StoredTime();
    expected.Second = c.secondAfter;
    EXPECT_EQ(Fetch("/page", &hasTime, &stored), 1);
    EXPECT_EQ(Output(), c.name);
    EXPECT_EQ(hasTime, c.hasTimeAfter);
    EXPECT_EQ(stored, expected);
  }
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

// How the transfer fails is HttpSession's; here a body cut short stands for them all.
TEST_F(FetchUrlTest, ABodyCutShortFailsAndLeavesNoPartialDownloadNorTime) {
  ScriptedResponse truncated = ScriptedResponse::Ok(std::string(2000, 't'));
  truncated.Length = LengthHeader::TooLarge;
  truncated.LengthError = 1000;
  truncated.Headers = {{"Last-Modified", kLastModified}};
  server_.Script("/cut", truncated);
  int32_t hasTime = 0;
  SystemTime stored;
  EXPECT_EQ(Fetch("/cut", &hasTime, &stored), 0);
  EXPECT_FALSE(OutputExists());
  EXPECT_EQ(hasTime, 0);  // a later patrol must not skip the page as unchanged
  EXPECT_EQ(stored, SystemTime());
}

// Only a 200 carries the page: not an error page, a 204 or a 304 that nobody asked for, nor a
// redirect without a Location.
TEST_F(FetchUrlTest, AnyOtherStatusFailsAndStoresNothing) {
  test::WriteBytes(dir_.File("Kivo0000.tmp"), "previous");
  for (int status : {204, 302, 304, 404, 503}) {
    SCOPED_TRACE(status);
    ScriptedResponse response;
    response.Status = status;
    response.Headers = {{"Last-Modified", kLastModified}};
    server_.Script("/status", response);
    int32_t hasTime = 0;
    SystemTime stored;
    EXPECT_EQ(Fetch("/status", &hasTime, &stored), 0);
    EXPECT_EQ(Output(), "previous");
    EXPECT_EQ(hasTime, 0);
  }
}

TEST_F(FetchUrlTest, ARedirectIsFollowedToTheFinalBodyAndReported) {
  server_.Script("/moved", ScriptedResponse::Redirect(302, "/here"));
  server_.Script("/here", ScriptedResponse::Ok("final"));
  FetchReport report;
  EXPECT_EQ(FetchUrl(*session_, server_.WideUrl("/moved"), output_, nullptr, nullptr, nullptr,
                     nullptr, &report),
            1);
  EXPECT_EQ(Output(), "final");
  EXPECT_EQ(report.RedirectedUrl, server_.WideUrl("/here"));
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
    SCOPED_TRACE(c.target);
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
      server_.WideUrl(std::string("/a\0b", 4)),
      server_.WideUrl(longPath),
      u"http://" + std::u16string(256, u'h') + u"/",
      u"file://" + dir_.Wide("secret"),
      u"ftp://127.0.0.1/x",
      u"HTTP://" + test::U16(server_.Authority()) + u"/",
  };
  for (const std::u16string& url : urls) {
    SCOPED_TRACE(test::Utf8(url));
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
