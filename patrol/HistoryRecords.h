#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ContentDigest.h"
#include "support/SystemTime.h"

// The values that the patrol history records and gives back. Every
// enumerator is stored as its number, so the numbers never change; a number
// that a later version adds reads back as the enumerator marked as fallback.
namespace kivo {

// How a patrol was started.
enum class PatrolTrigger : uint8_t {
  Gui = 0,        // a command in the main window
  GuiOption = 1,  // the desktop program's start-up option /P (usually with /Q)
  Cli = 2,        // kivo-cli patrol from a terminal or a script (fallback)
  Scheduled = 3,  // the systemd timer
};

// What a checked URL was to the patrol.
enum class CheckedKind : uint8_t {
  EntryPage = 0,   // the page of a user entry
  QueuedPage = 1,  // a frame or linked page that the patrol queued (fallback)
  Image = 2,       // an image of a page
};

// What came of asking for a URL.
enum class CheckOutcome : uint8_t {
  Stored = 0,                 // a copy was stored
  UnchangedLastModified = 1,  // the Last-Modified time equalled the stored one
  NotModified = 2,            // the server answered 304 to a conditional request
  SameContent = 3,            // downloaded, but equal to the copy it follows
  Failed = 4,                 // nothing was stored (fallback)
};

// Why asking for a URL failed.
enum class CheckFailure : uint8_t {
  None = 0,
  Setup = 1,           // the transfer could not be set up
  Connect = 2,         // the host could not be resolved or reached
  ConnectTimeout = 3,  // connecting took too long
  ReceiveTimeout = 4,  // no data arrived for the receive time-out
  Transport = 5,       // the connection failed or the body ended early
  Redirect = 6,        // too many redirects, or one to another scheme
  TooSlow = 7,         // too few bytes arrived over a receive time-out
  Abandoned = 8,       // the patrol gave the download up (a cancel)
  TooLarge = 9,        // the body exceeded the size limit
  OutOfSpace = 10,     // the disk was full
  HttpStatus = 11,     // the status (in HttpStatus) counts as a failure
  StoreFailed = 12,    // the copy could not be written
  Other = 255,         // (fallback)
};

// One URL asked for in a patrol: what the patrol records, and what the
// history gives back. Times are milliseconds since 1970 UTC, file times
// nanoseconds since 1970.
struct HistoryCheck {
  int64_t Id = 0;        // given back: the record's number, rising with time
  int64_t PatrolId = 0;  // given back: the patrol it belongs to
  int64_t CheckedAt = 0;
  std::u16string Url;
  CheckedKind Kind = CheckedKind::EntryPage;
  CheckOutcome Outcome = CheckOutcome::Stored;
  CheckFailure Failure = CheckFailure::None;
  int32_t HttpStatus = 0;  // the response's status; 0 when none arrived
  // The validators the response carried. An ETag longer than 1 KiB or with
  // control characters is not kept.
  std::optional<SystemTime> LastModified;
  std::string ETag;  // as the server sent it, quotes and W/ included; empty when none
  // The digest of the downloaded bytes, and of the page's visible text.
  std::optional<platform::Sha256Digest> BodyDigest;
  std::optional<platform::Sha256Digest> TextDigest;
  uint64_t BytesReceived = 0;
  // The stored copy (empty when none), its size and modification time when it
  // was stored, and the copy it follows (the entry's copy before this check).
  std::u16string StoredPath;
  std::optional<uint64_t> StoredSize;
  std::optional<int64_t> StoredModified;
  std::u16string FollowsPath;
};

// How the user entries of one patrol came out.
struct PatrolCounts {
  uint32_t Updated = 0;
  uint32_t UnchangedLastModified = 0;
  uint32_t NotModified = 0;
  uint32_t SameContent = 0;
  uint32_t Failed = 0;

  friend bool operator==(const PatrolCounts&, const PatrolCounts&) = default;
};

// One patrol as the history holds it.
struct PatrolRecord {
  int64_t Id = 0;
  int64_t StartedAt = 0;
  std::optional<int64_t> FinishedAt;  // nothing for a patrol that was killed or is running
  PatrolTrigger Trigger = PatrolTrigger::Cli;
  PatrolCounts Counts;
};

// One patrol with the checks of its user entries, in the order they were made.
struct PatrolLog {
  PatrolRecord Patrol;
  std::vector<HistoryCheck> Entries;
};

// Why the history is not (fully) available, as a value for the front ends to word.
enum class HistoryProblem : uint8_t {
  None,
  Missing,      // a reader found no history database
  MovedAside,   // a damaged database was moved aside (Path) and a new one begun
  Damaged,      // a damaged database left in place (by a reader, or when it cannot be moved)
  NewerSchema,  // written by a newer version: left alone, not written
  Unusable,     // cannot be opened or created (a folder in its place, no permission)
  Full,         // the disk is full: no history for this patrol
  Locked,       // another program holds the database: no history for this patrol
  Failed,       // SQLite failed otherwise: no history for this patrol
};

// One thing to tell the user about the history.
struct HistoryMessage {
  HistoryProblem Problem = HistoryProblem::None;
  std::u16string Path;  // the database, or where a damaged one was moved
  std::string Detail;   // SQLite's own words, when it gave any
};

}  // namespace kivo
