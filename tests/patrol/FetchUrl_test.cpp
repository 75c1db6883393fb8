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

// Over-long parts are cut to 255 and 1023 characters and reported.
TEST(SplitUrlTest, HostAndPathAreSplitAtTheFirstSlash) {
  const std::u16string h255(255, u'h');
  const std::u16string p1023 = u"/" + std::u16string(1022, u'p');
  struct Case {
    std::u16string url;
    std::u16string host;
    std::u16string path;
    UrlScheme scheme;
    bool truncated;
  };
  const Case cases[] = {
      {u"http://www.example.com", u"www.example.com", u"/", UrlScheme::Http, false},
      {u"http://www.example.com/", u"www.example.com", u"/", UrlScheme::Http, false},
      {u"http://host:8080/a/b?q=1#top", u"host:8080", u"/a/b?q=1#top", UrlScheme::Http, false},
      {u"https://host/x", u"host", u"/x", UrlScheme::Https, false},
      // The host also ends at a query or a fragment.
      {u"http://example.com?id=3", u"example.com", u"/?id=3", UrlScheme::Http, false},
      {u"http://host:81#top", u"host:81", u"/#top", UrlScheme::Http, false},
      // The prefix test is case-sensitive: the text before the first slash is the host.
      {u"HTTP://host/x", u"HTTP:", u"//host/x", UrlScheme::None, false},
      {u"ftp://host/x", u"ftp:", u"//host/x", UrlScheme::None, false},
      {u"file:///etc/passwd", u"file:", u"///etc/passwd", UrlScheme::None, false},
      {u"host/page", u"host", u"/page", UrlScheme::None, false},
      {u"", u"", u"/", UrlScheme::None, false},
      {u"http://" + h255 + p1023, h255, p1023, UrlScheme::Http, false},
      {u"http://" + h255 + u"h/", h255, u"/", UrlScheme::Http, true},
      {u"http://h" + p1023 + u"p", u"h", p1023, UrlScheme::Http, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::Utf8(c.url.substr(0, 40)));
    WideString host(u"stale");
    WideString path(u"stale");
    const SplitUrlResult result = SplitUrl(c.url, host, path);
    EXPECT_EQ(host.View(), c.host);
    EXPECT_EQ(path.View(), c.path);
    EXPECT_EQ(result.Scheme, c.scheme);
    EXPECT_EQ(result.Truncated, c.truncated);
  }
}

class FetchUrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    session_ = HttpSession::Open(HttpSessionOptions());
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

// An equal time to the second leaves the page unchanged and its body unread; a download
// stores the server's time, or clears the flag without one.
TEST_F(FetchUrlTest, TheServersTimeDecidesAndIsRecorded) {
  struct Case {
    const char* name;
    const char* lastModified;  // nullptr: no header
    int32_t hasTimeBefore;
    int result;
    int32_t hasTimeAfter;
    uint16_t secondAfter;  // 0: the stored time stays as it was
  };
  const Case cases[] = {
      {"an equal time is unchanged", kLastModified, 1, 0, 1, 0},
      {"a different time is stored", "Sun, 06 Nov 1994 08:49:38 GMT", 1, 1, 1, 38},
      // An equal time must not matter while the flag is clear.
      {"a first fetch sets the flag", kLastModified, 0, 1, 1, 37},
      {"a header that has gone keeps the time", nullptr, 1, 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedResponse response = ScriptedResponse::Ok(c.name);
    if (c.lastModified != nullptr) {
      response.Headers = {{"Last-Modified", c.lastModified}};
    }
    server_.Script("/page", response);
    test::WriteBytes(dir_.File("Kivo0000.tmp"), "previous");
    int32_t hasTime = c.hasTimeBefore;
    SystemTime stored = StoredTime();
    stored.DayOfWeek = 3;       // takes no part in the comparison
    stored.Milliseconds = 500;  // nor does this
    SystemTime expected = stored;
    if (c.secondAfter != 0) {
      expected = StoredTime();
      expected.Second = c.secondAfter;
    }
    EXPECT_EQ(Fetch("/page", &hasTime, &stored), c.result);
    EXPECT_EQ(Output(), c.result == 1 ? c.name : "previous");
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

// Only a 200 carries the page: not an error page, a 204 or a 304 that nobody asked for, nor a
// redirect without a Location. A body cut short (the 200 here; how transfers fail is
// HttpSession's) is thrown away, so that a later patrol cannot take it for the page.
TEST_F(FetchUrlTest, AFailedFetchStoresNeitherBytesNorTime) {
  for (int status : {204, 302, 304, 404, 503, 200}) {
    SCOPED_TRACE(status);
    ScriptedResponse response = ScriptedResponse::Ok(status == 200 ? std::string(2000, 't') : "");
    response.Status = status;
    response.Length = status == 200 ? LengthHeader::TooLarge : LengthHeader::Exact;
    response.LengthError = 1000;
    response.Headers = {{"Last-Modified", kLastModified}};
    server_.Script("/fail", response);
    test::WriteBytes(dir_.File("Kivo0000.tmp"), "previous");
    int32_t hasTime = 0;
    SystemTime stored;
    EXPECT_EQ(Fetch("/fail", &hasTime, &stored), 0);
    EXPECT_EQ(OutputExists(), status != 200);
    EXPECT_EQ(Output(), status != 200 ? "previous" : "");
    EXPECT_EQ(hasTime, 0);
    EXPECT_EQ(stored, SystemTime());
  }
}

TEST_F(FetchUrlTest, TheRequestLineIsTheRootForABareHostAndThePathAsWritten) {
  for (const std::string target : {"/", "/cgi/list?page=2&sort=a#entry5"}) {
    SCOPED_TRACE(target);
    server_.Script(target, ScriptedResponse::Ok("body " + target));
    const std::string url = "http://" + server_.Authority() + (target == "/" ? "" : target);
    // No progress sink and no stored time are needed.
    EXPECT_EQ(FetchUrl(*session_, test::U16(url), output_, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(Output(), "body " + target);
    EXPECT_EQ(server_.Requests().back().RequestLine, "GET " + target + " HTTP/1.1");
    EXPECT_EQ(server_.Requests().back().Header("Host"), server_.Authority());
  }
}

TEST_F(FetchUrlTest, AnOutputFileThatCannotBeCreatedFails) {
  server_.Script("/page", ScriptedResponse::Ok("body"));
  ::mkdir(dir_.File("folder").c_str(), 0755);
  for (const char* output : {"missing/Kivo0000.tmp", "folder"}) {
    SCOPED_TRACE(output);
    EXPECT_EQ(
        FetchUrl(*session_, server_.WideUrl("/page"), dir_.Wide(output), nullptr, nullptr, nullptr),
        0);
  }
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
