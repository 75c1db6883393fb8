#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "urllist/UrlEntry.h"

namespace kivo {

// The entries of one patrol, in the order they are processed.
//
// Whoever starts the patrol appends the user entries (borrowed; it owns them
// and sets their ListIndex). The worker inserts temporary entries for the
// frames and links it follows right after the entry being processed, and
// removes them again at the end; it owns those until then.
//
// The worker only ever inserts just after the entry it is processing, so the
// entries are kept in a gap buffer whose gap follows that position: every
// insertion and lookup is O(1) amortised, and a patrol over many pages never
// shifts the whole array. Beside it, a hash table counts the URLs of all
// elements so that the admission test's "already in the list" check does not
// search linearly.
class PatrolList {
 public:
  PatrolList() = default;
  PatrolList(const PatrolList&) = delete;
  PatrolList& operator=(const PatrolList&) = delete;
  // Frees any temporary entries that are still in the list.
  ~PatrolList();

  // Appends a user entry, which the list only borrows.
  void Add(UrlEntry* entry);
  // Inserts a temporary entry at index (0..Count()) and owns it until
  // RemoveTemporaries; returns the raw pointer. frameHops counts the frames
  // that lead to it since the last hyperlink or the user entry.
  UrlEntry* InsertTemporary(int32_t index, std::unique_ptr<UrlEntry> entry, int32_t frameHops = 0);

  int32_t Count() const;
  UrlEntry* operator[](int32_t index) const;
  // True when some element, user or temporary, has exactly this Url.
  bool ContainsUrl(std::u16string_view url) const;
  // True when `entry` is a temporary entry owned by this list.
  bool IsTemporary(const UrlEntry* entry) const;
  int32_t TemporaryCount() const { return static_cast<int32_t>(temporaries_.size()); }
  // The frame hops `entry` was inserted with; 0 for a user entry.
  int32_t FrameHops(const UrlEntry* entry) const;

  // Removes and frees every temporary entry; the user entries stay, in the
  // order they were added.
  void RemoveTemporaries();

 private:
  void InsertAt(int32_t index, UrlEntry* entry);
  void MoveGapTo(int32_t index);
  void Grow();
  int32_t GapSize() const { return gapEnd_ - gapStart_; }
  void CountUrl(const UrlEntry& entry, int32_t delta);

  std::vector<UrlEntry*> slots_;
  int32_t gapStart_ = 0;
  int32_t gapEnd_ = 0;
  // Hashes owned keys and looked-up views alike, so that a lookup copies
  // nothing.
  struct UrlHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view url) const noexcept {
      return std::hash<std::u16string_view>()(url);
    }
  };
  std::unordered_map<std::u16string, int32_t, UrlHash, std::equal_to<>> urlCounts_;
  struct Temporary {
    std::unique_ptr<UrlEntry> Entry;
    int32_t FrameHops = 0;
  };
  std::unordered_map<const UrlEntry*, Temporary> temporaries_;
};

}  // namespace kivo
