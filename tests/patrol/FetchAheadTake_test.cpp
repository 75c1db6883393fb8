// One download taken through FetchAhead on its own: what reaches the server,
// and the progress that the patrol shows for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/TempDir.h"
#include "httpserver/TestHttpServer.h"
#include "patrol/FetchAhead.h"

namespace kivo {
namespace {

using test::LengthHeader;
using test::ScriptedResponse;
using test::TestHttpServer;

// Records everything the download shows.
class RecordingProgress : public FetchProgress {
 public:
  void SetBytes(std::optional<ByteCount> count) override { counts.push_back(count); }
  void SetPercent(int32_t percent) override { percents.push_back(percent); }

  std::vector<std::optional<ByteCount>> counts;
  std::vector<int32_t> percents;
};

class FetchAheadTake : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.IsListening()); }

  // Takes `url` as an image (unconditionally) over one connection made with `options`.
  FetchOutcome Take(const std::u16string& url, const HttpSessionOptions& options = {}) {
    ahead_.reset();
    http_ = platform::HttpConnections::Open(options, 1);
    ahead_ = std::make_unique<FetchAhead>(
        *http_, store_, 1, [] { return false; }, [] { return false; }, nullptr);
    return ahead_->Take(FetchKey{url, FetchKind::Image, 0, SystemTime(), nullptr}, &progress_);
  }

  TestHttpServer server_;
  test::TempDir dir_;
  BodyStore store_{dir_.Wide(""), FetchLimits()};
  std::unique_ptr<platform::HttpConnections> http_;
  std::unique_ptr<FetchAhead> ahead_;
  RecordingProgress progress_;
};

// One count and one percentage per 1024 bytes, after the two initial counts and the 0; without
// a Content-Length only the running count.
TEST_F(FetchAheadTake, ProgressShowsCountsAndPercentages) {
  struct Case {
    const char* name;
    LengthHeader length;
    size_t lengthError;
    ByteCount firstCount;
    ByteCount lastCount;
    int32_t lastPercent;
  };
  const Case cases[] = {
      {"exact", LengthHeader::Exact, 0, {0, 3000}, {3000, 3000}, 100},
      {"no length", LengthHeader::Absent, 0, {0, std::nullopt}, {3000, std::nullopt}, 0},
      // A chunked body frames itself, so the data runs past the stated length.
      {"length too small", LengthHeader::TooSmall, 2000, {0, 1000}, {3000, 1000}, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedResponse response = ScriptedResponse::Ok(std::string(3000, 'b'));
    response.Length = c.length;
    response.LengthError = c.lengthError;
    response.ChunkSize = c.length == LengthHeader::TooSmall ? 1024 : 0;
    server_.Script("/page.html", response);
    progress_ = RecordingProgress();
    const FetchOutcome outcome = Take(server_.WideUrl("/page.html"));
    ASSERT_EQ(outcome.Result, 1);
    EXPECT_EQ(outcome.Body->Bytes(), response.Body);
    const std::vector<std::optional<ByteCount>>& counts = progress_.counts;
    const std::vector<int32_t>& percents = progress_.percents;
    ASSERT_EQ(counts.size(), 5u);
    EXPECT_EQ(counts[0], std::nullopt);
    EXPECT_EQ(counts[1], c.firstCount);
    EXPECT_EQ(counts.back(), c.lastCount);
    EXPECT_EQ(percents.size(), c.lastPercent == 0 ? 1 : counts.size() - 1);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), c.lastPercent);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  }
}

// A URL that would be sent cut down, could split the request or leaves HTTP never reaches a
// server; a bare host asks for "/".
TEST_F(FetchAheadTake, OnlyUrlsThatCanBeSentWholeAreRequested) {
  std::string longPath(1024, 'p');
  longPath[0] = '/';
  server_.Script(longPath.substr(0, 1023), ScriptedResponse::Ok("cut down"));
  const std::u16string refused[] = {
      server_.WideUrl("/a\r\nHost: evil"),
      server_.WideUrl(std::string("/a\0b", 4)),
      server_.WideUrl(longPath),
      u"http://" + std::u16string(256, u'h') + u"/",
      u"file://" + dir_.Wide("secret"),
      u"ftp://127.0.0.1/x",
      u"HTTP://" + test::U16(server_.Authority()) + u"/",
  };
  for (const std::u16string& url : refused) {
    SCOPED_TRACE(test::Utf8(url));
    EXPECT_EQ(Take(url).Result, 0);
  }
  EXPECT_EQ(server_.RequestCount(), 0u);

  server_.Script("/", ScriptedResponse::Ok("root"));
  EXPECT_EQ(Take(u"http://" + test::U16(server_.Authority())).Result, 1);
  EXPECT_EQ(server_.Requests().back().RequestLine, "GET / HTTP/1.1");
}

TEST_F(FetchAheadTake, HttpsUrlsGoThroughTheProxyToPort443) {
  ScriptedResponse refused;
  refused.Status = 403;
  server_.Script("www.example.test:443", refused);
  HttpSessionOptions options;
  options.UseProxy = true;
  options.ProxyName = test::U16(server_.Authority());
  EXPECT_EQ(Take(u"https://www.example.test/index.html", options).Result, 0);
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].RequestLine, "CONNECT www.example.test:443 HTTP/1.1");
}

}  // namespace
}  // namespace kivo
