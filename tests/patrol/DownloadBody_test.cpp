#include "patrol/DownloadBody.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/TempDir.h"
#include "platform/FileExists.h"

namespace kivo {
namespace {

constexpr const char* kLastModified = "Sun, 06 Nov 1994 08:49:37 GMT";

// kLastModified as a stored time.
SystemTime StoredTime() {
  return SystemTime{1994, 11, 0, 6, 8, 49, 37, 0};
}

platform::HttpResponseHead Head(int status, const char* lastModified,
                                std::optional<uint64_t> length = std::nullopt) {
  platform::HttpResponseHead head;
  head.AddLine("HTTP/1.1 " + std::to_string(status) + " Whatever\r\n");
  if (lastModified != nullptr) {
    head.AddLine(std::string("Last-Modified: ") + lastModified + "\r\n");
  }
  if (length) {
    head.AddLine("Content-Length: " + std::to_string(*length) + "\r\n");
  }
  head.AddLine("\r\n");
  return head;
}

bool Feed(DownloadBody& body, const std::string& bytes) {
  return body.OnBody(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Only a 200 carries the page: not an error page, a 204 or a 304 that nobody asked for, nor a
// redirect without a Location. An equal time to the second leaves the page unchanged and its
// body unread; an accepted page takes the server's time, or clears the flag without one.
TEST(DownloadBodyTest, TheHeadDecidesWhetherTheBodyIsWanted) {
  struct Case {
    const char* name;
    int status;
    const char* lastModified;  // nullptr: no header
    int32_t hasTimeBefore;
    BodyOutcome outcome;
    int32_t hasTimeAfter;
    uint16_t secondAfter;  // 0: the stored time stays as it was
    RequestKind request = RequestKind::Plain;
  };
  const Case cases[] = {
      {"an equal time is unchanged", 200, kLastModified, 1, BodyOutcome::Unchanged, 0, 0},
      {"a different time is taken", 200, "Sun, 06 Nov 1994 08:49:38 GMT", 1, BodyOutcome::Accepted,
       1, 38},
      // An equal time must not matter while the flag is clear.
      {"a first fetch sets the flag", 200, kLastModified, 0, BodyOutcome::Accepted, 1, 37},
      {"a header that has gone clears the flag", 200, nullptr, 1, BodyOutcome::Accepted, 0, 0},
      {"an unparsable time counts as none", 200, "yesterday", 1, BodyOutcome::Accepted, 0, 0},
      {"204", 204, kLastModified, 0, BodyOutcome::Refused, 0, 0},
      {"302 without a Location", 302, kLastModified, 0, BodyOutcome::Refused, 0, 0},
      {"304", 304, kLastModified, 0, BodyOutcome::Refused, 0, 0},
      // Asked for, a 304's head is taken so that the connection stays open.
      {"304 to a conditional request", 304, kLastModified, 1, BodyOutcome::NotModified, 0, 0,
       RequestKind::Conditional},
      {"404", 404, kLastModified, 0, BodyOutcome::Refused, 0, 0},
      {"503", 503, kLastModified, 0, BodyOutcome::Refused, 0, 0},
  };
  test::TempDir dir;
  BodyStore store(dir.Wide(""), FetchLimits());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SystemTime stored = StoredTime();
    stored.DayOfWeek = 3;       // takes no part in the comparison
    stored.Milliseconds = 500;  // nor does this
    SystemTime expected = stored;
    if (c.secondAfter != 0) {
      expected = StoredTime();
      expected.Second = c.secondAfter;
    }
    DownloadBody body(store, std::make_pair(c.hasTimeBefore, stored), c.request);
    EXPECT_EQ(body.OnHead(Head(c.status, c.lastModified)),
              c.outcome == BodyOutcome::Accepted || c.outcome == BodyOutcome::NotModified);
    EXPECT_EQ(body.Outcome(), c.outcome);
    EXPECT_EQ(body.Failure(), FetchFailure::None);
    EXPECT_EQ(body.NewHasTime(), c.hasTimeAfter);
    EXPECT_EQ(body.NewTime(), expected);
  }
}

// A body that will not fit is given up, as soon as its announced length or its bytes tell.
TEST(DownloadBodyTest, BodiesKeepToTheirLimits) {
  struct Case {
    const char* name;
    uint64_t maxBytes;
    uint64_t freeBytes;
    std::optional<uint64_t> length;
    size_t bytes;
    const char* folder;  // where the temporary file goes, in the test's folder
    FetchFailure failure;
  };
  const Case cases[] = {
      {"within every limit", 4u << 20, 1u << 30, {}, 3u << 19, "", FetchFailure::None},
      {"announced over the size limit", 1000, 1u << 30, 1001, 0, "", FetchFailure::TooLarge},
      {"over the size limit unannounced", 1000, 1u << 30, {}, 1001, "", FetchFailure::TooLarge},
      {"under the free-space floor",
       0,
       (1u << 20) + (1u << 19),
       {},
       3u << 19,
       "",
       FetchFailure::OutOfSpace},
      {"no folder for the temporary file",
       0,
       1u << 30,
       {},
       3u << 19,
       "missing/",
       FetchFailure::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const uint64_t freeBytes = c.freeBytes;
    const FetchLimits limits{c.maxBytes, 1u << 20,
                             [freeBytes](std::u16string_view) { return freeBytes; }};
    BodyStore store(dir.Wide(c.folder), limits);
    DownloadBody body(store, std::nullopt);
    bool accepted = body.OnHead(Head(200, nullptr, c.length));
    for (size_t sent = 0; accepted && sent < c.bytes; sent += 1000) {
      accepted = Feed(body, std::string(std::min<size_t>(1000, c.bytes - sent), 'b'));
    }
    accepted = accepted && body.FinishFile();
    EXPECT_EQ(accepted, c.failure == FetchFailure::None && c.folder[0] == '\0');
    EXPECT_EQ(body.Outcome(), accepted ? BodyOutcome::Accepted : BodyOutcome::Failed);
    EXPECT_EQ(body.Failure(), c.failure);
  }
}

// Bodies written at once keep the floor together: each stretch is promised before it is
// written. A body fetched ahead gives way when there is no room; the body being taken first
// takes the room of those fetched ahead. The memory for pages fetched ahead is full, so theirs
// go to disk at once; the free space is what the bodies leave of `room` above the floor.
TEST(DownloadBodyTest, BodiesShareTheRoomAboveTheFloor) {
  constexpr uint64_t kFloor = 1u << 20;
  constexpr size_t kPiece = 256u << 10;
  struct Body {
    BodyRole role;
    size_t bytes;
    BodyOutcome outcome;
  };
  struct Case {
    const char* name;
    uint64_t room;
    bool together;  // fed a piece each in turn, else one after the other
    std::vector<Body> bodies;
  };
  const Case cases[] = {
      {"two fetched ahead at once",
       3u << 19,
       true,
       {{BodyRole::Ahead, 1u << 20, BodyOutcome::Accepted},
        {BodyRole::Ahead, 1u << 20, BodyOutcome::Dropped}}},
      {"the one taken claims the room of one fetched ahead",
       2u << 20,
       false,
       {{BodyRole::Ahead, 1u << 20, BodyOutcome::Dropped},
        {BodyRole::Committed, 3u << 19, BodyOutcome::Accepted}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const auto used = [&dir] {
      uint64_t bytes = 0;
      for (const auto& file : std::filesystem::directory_iterator(dir.File(""))) {
        bytes += file.file_size();
      }
      return bytes;
    };
    const uint64_t room = c.room;
    const FetchLimits limits{0, kFloor,
                             [&](std::u16string_view) { return kFloor + room - used(); }};
    BodyStore store(dir.Wide(""), limits);
    store.Hold(kHeldAheadBytes);
    std::vector<std::unique_ptr<DownloadBody>> bodies;
    std::vector<size_t> sent(c.bodies.size(), 0);
    for (const Body& body : c.bodies) {
      bodies.push_back(
          std::make_unique<DownloadBody>(store, std::nullopt, RequestKind::Plain, body.role));
      ASSERT_TRUE(bodies.back()->OnHead(Head(200, nullptr)));
    }
    for (bool more = true; more;) {
      more = false;
      for (size_t i = 0; i < bodies.size(); ++i) {
        if (sent[i] < c.bodies[i].bytes &&
            (c.together || i == 0 || sent[i - 1] >= c.bodies[i - 1].bytes)) {
          const size_t piece = std::min(kPiece, c.bodies[i].bytes - sent[i]);
          sent[i] = Feed(*bodies[i], std::string(piece, 'b')) ? sent[i] + piece : SIZE_MAX;
          EXPECT_LE(used(), c.room);
          more = true;
        }
      }
    }
    for (size_t i = 0; i < bodies.size(); ++i) {
      EXPECT_EQ(bodies[i]->Outcome(), c.bodies[i].outcome);
    }
  }
}

// A body fetched ahead counts the room it sets aside for its announced length against the
// memory budget, not only the bytes that came, and a failed one gives it all back when it is
// discarded; the body being taken counts nothing, as with one connection.
TEST(DownloadBodyTest, AheadBodiesCountTheMemoryTheyTake) {
  test::TempDir dir;
  BodyStore store(dir.Wide(""), FetchLimits());
  for (const BodyRole role : {BodyRole::Ahead, BodyRole::Committed}) {
    DownloadBody body(store, std::nullopt, RequestKind::Plain, role);
    ASSERT_TRUE(body.OnHead(Head(200, nullptr, kMemoryBodyBytes)));
    ASSERT_TRUE(Feed(body, "b"));
    EXPECT_EQ(store.Held(), role == BodyRole::Ahead ? kMemoryBodyBytes : 0);
    body.Discard();
    EXPECT_EQ(store.Held(), 0u);
    EXPECT_EQ(body.Size(), 1u);
  }
}

// A large body goes to a numbered temporary file, which a stored copy may later share as a
// second name: the next download must replace that file, never write through it.
TEST(DownloadBodyTest, ALargeBodyGoesToAFreshTemporaryFileThatIsRemovedAfter) {
  test::TempDir dir;
  const std::string temporary = dir.File("Kivo0000.tmp");
  ASSERT_TRUE(test::WriteBytes(temporary, "previous download"));
  ASSERT_EQ(::link(temporary.c_str(), dir.File("copy.html").c_str()), 0);
  BodyStore store(dir.Wide(""), FetchLimits());
  const std::string bytes(kMemoryBodyBytes + 1, 'x');
  {
    DownloadBody body(store, std::nullopt);
    ASSERT_TRUE(body.OnHead(Head(200, nullptr, bytes.size())));
    ASSERT_TRUE(Feed(body, bytes.substr(0, 1000)));
    EXPECT_FALSE(body.InFile());
    ASSERT_TRUE(Feed(body, bytes.substr(1000)));
    ASSERT_TRUE(body.FinishFile());
    EXPECT_TRUE(body.InFile());
    EXPECT_EQ(test::Utf8(body.FilePath()), temporary);
    EXPECT_TRUE(test::ReadBytes(temporary) == bytes);
    EXPECT_EQ(body.Digest(), platform::ContentDigest::Of(bytes));  // taken across the spill
    EXPECT_EQ(test::ReadBytes(dir.File("copy.html")), "previous download");
  }
  EXPECT_FALSE(FileExists(test::U16(temporary)));
}

}  // namespace
}  // namespace kivo
