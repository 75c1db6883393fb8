#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "patrol/FetchReport.h"

namespace kivo {

class DownloadBody;

// A body up to this size stays in memory; a larger one goes to a temporary file.
inline constexpr uint64_t kMemoryBodyBytes = uint64_t{1} << 20;
// What the downloads fetched ahead of their turn may hold in memory in all: their bodies and
// the links read from them. The download being taken keeps up to kMemoryBodyBytes of its own
// besides, as it would with one connection.
inline constexpr uint64_t kHeldAheadBytes = uint64_t{4} << 20;

// The shared state of the bodies one patrol holds: the memory held for downloads fetched
// ahead, the numbered temporary files in the program folder ("Kivo0000.tmp", "Kivo0001.tmp",
// ...) that larger bodies go to, and the bytes that the bodies being written have been
// promised above the free-space floor, so that several bodies written at once keep the floor
// together. It knows its bodies, so that the one being taken can claim the room that those
// fetched ahead hold on disk.
class BodyStore {
 public:
  BodyStore(std::u16string programFolder, const FetchLimits& limits);
  BodyStore(const BodyStore&) = delete;
  BodyStore& operator=(const BodyStore&) = delete;

  const FetchLimits& Limits() const { return limits_; }
  // True when `count` more bytes may be held in memory for downloads fetched ahead.
  bool MayHold(uint64_t count) const { return held_ + count <= kHeldAheadBytes; }
  // Returns the bytes held in memory for downloads fetched ahead.
  uint64_t Held() const { return held_; }
  void Hold(uint64_t count) { held_ += count; }
  void Release(uint64_t count) { held_ -= count; }
  // Takes the lowest free number and returns it; TemporaryPath names its file.
  int32_t TakeNumber();
  void ReleaseNumber(int32_t number) { numbers_.erase(number); }
  std::u16string TemporaryPath(int32_t number) const;
  // Returns the bytes promised to bodies being written and not yet written.
  uint64_t Reserved() const { return reserved_; }
  void Reserve(uint64_t count) { reserved_ += count; }
  void Unreserve(uint64_t count) { reserved_ -= count; }

  // Records a body for as long as it lives, in the order they were made.
  void Register(DownloadBody* body) { bodies_.push_back(body); }
  void Unregister(DownloadBody* body);
  // Gives up the newest body fetched ahead that holds a temporary file, which frees its room;
  // false when there is none.
  bool DropNewestSpilled();

 private:
  const std::u16string programFolder_;
  const FetchLimits limits_;
  uint64_t held_ = 0;
  uint64_t reserved_ = 0;
  std::set<int32_t> numbers_;
  std::vector<DownloadBody*> bodies_;
};

}  // namespace kivo
