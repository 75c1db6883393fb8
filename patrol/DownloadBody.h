#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "patrol/BodyStore.h"
#include "patrol/FetchReport.h"
#include "platform/ContentDigest.h"
#include "platform/HttpConnections.h"
#include "platform/UniqueFd.h"
#include "support/SystemTime.h"

namespace kivo {

// How a download ended, as far as its body is concerned.
enum class BodyOutcome {
  Pending,      // still arriving
  Accepted,     // a 200 whose body is wanted
  Refused,      // another status: not a page
  Unchanged,    // the Last-Modified time equals the stored one
  NotModified,  // a 304 to a conditional request: the earlier copy is current
  Failed,       // over a limit, or could not be kept; Failure() says which
  Dropped,      // fetched ahead, and given up for lack of room; asked for again at its turn
};

// Whether a request carried the validators of an earlier copy. Only then
// does a 304 mean that the copy is current; unasked, it is a failed fetch.
enum class RequestKind { Plain, Conditional };

// Whether a body is fetched ahead of its turn or is the one that the patrol is taking.
enum class BodyRole {
  // It shares the memory of kHeldAheadBytes, and gives way when there is no room for it in
  // memory or on disk, so that a download fetched ahead never stops a patrol.
  Ahead,
  // As with one connection: up to kMemoryBodyBytes in memory, and the free-space floor or a
  // full disk stops it, after those fetched ahead have given their room up.
  Committed,
};

// Receives one response: tests its head (only a 200 counts, or a 304 to a
// conditional request; an unchanged Last-Modified stops it before the body,
// an announced length over the size limit too) and keeps its body in memory,
// or in a numbered temporary file once it is large, which it removes again.
// A file left under that number is replaced, never written through, since a
// stored copy may share it. The body's digest is taken as it arrives, so
// that a body in a file is never read again for it. Its role (BodyRole)
// decides what happens when there is no room.
class DownloadBody : public platform::HttpBodySink {
 public:
  // hasTime/lastTime are the entry's, for a download tested against its
  // Last-Modified time; nothing for an image, which is downloaded whatever its
  // time. `request` tells whether the request carried validators.
  DownloadBody(BodyStore& store, std::optional<std::pair<int32_t, SystemTime>> stored,
               RequestKind request = RequestKind::Plain, BodyRole role = BodyRole::Committed);
  DownloadBody(const DownloadBody&) = delete;
  DownloadBody& operator=(const DownloadBody&) = delete;
  ~DownloadBody() override;

  bool OnHead(const platform::HttpResponseHead& head) override;
  bool OnBody(const uint8_t* data, size_t size) override;

  BodyRole Role() const { return role_; }
  // Makes a body fetched ahead the one being taken: its memory leaves the shared budget.
  void Commit();
  // Gives a body fetched ahead up, freeing its memory and its temporary file; it takes nothing
  // more. Returns false, for the callers that stop its transfer with it.
  bool Drop();
  // Frees the bytes of a body whose download failed, keeping what it knows of the answer (its
  // outcome, size and head): the bytes are never used.
  void Discard();

  BodyOutcome Outcome() const { return outcome_; }
  FetchFailure Failure() const { return failure_; }
  // True once a 200's head was accepted and its body began to be kept.
  bool HeadAccepted() const { return headAccepted_; }
  uint64_t Size() const { return size_; }
  // The announced length, or nothing.
  std::optional<uint64_t> Total() const { return total_; }
  // The Last-Modified state the entry takes when the body is stored.
  int32_t NewHasTime() const { return newHasTime_; }
  const SystemTime& NewTime() const { return newTime_; }
  // The accepted response's Content-Type header, empty when it sent none.
  const std::string& ContentType() const { return contentType_; }
  // True when the body went to a temporary file; else it is in Bytes().
  bool InFile() const { return number_ >= 0; }
  std::string_view Bytes() const;
  std::u16string FilePath() const;
  // Closes the temporary file for reading by name; false when the last writes failed.
  bool FinishFile();
  // True for an image, video or archive, told by its first bytes.
  bool IsBinary() const;
  // Returns what the head of the response said (nothing before it came).
  const ResponseFacts& Facts() const { return facts_; }
  // Returns the SHA-256 digest of every body byte received; call it once the
  // body is whole. Nothing when the digest could not be computed.
  const std::optional<platform::Sha256Digest>& Digest();

 private:
  bool Fail(FetchFailure failure);
  bool KeepsInMemory(size_t size) const;
  // Returns the memory that `size` more bytes take beyond what is held already.
  uint64_t Growth(size_t size) const;
  // Counts the memory of `size` more bytes against the shared budget, for a body fetched ahead.
  void HoldInMemory(size_t size);
  bool SpillToFile();
  bool WriteToFile(const uint8_t* data, size_t size);
  bool KeepsFloor(size_t size);
  void Reserve(uint64_t count);
  void ReleaseFile();

  BodyStore& store_;
  const RequestKind request_;
  BodyRole role_;
  const bool testTime_;
  const int32_t storedHasTime_;
  const SystemTime storedTime_;
  BodyOutcome outcome_ = BodyOutcome::Pending;
  FetchFailure failure_ = FetchFailure::None;
  bool headAccepted_ = false;
  std::optional<uint64_t> total_;
  int32_t newHasTime_ = 0;
  SystemTime newTime_;
  std::string contentType_;
  std::vector<uint8_t> bytes_;
  uint64_t held_ = 0;      // memory counted against the shared budget, the room set aside included
  uint64_t reserved_ = 0;  // bytes promised above the floor and not yet written
  uint64_t size_ = 0;
  int32_t number_ = -1;
  platform::UniqueFd file_;
  uint64_t nextProbe_ = 0;
  ResponseFacts facts_;
  platform::ContentDigest digest_;
  std::optional<std::optional<platform::Sha256Digest>> final_;  // set once taken
};

}  // namespace kivo
