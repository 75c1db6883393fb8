#include "patrol/PatrolList.h"

#include <algorithm>
#include <cassert>

namespace kivo {

PatrolList::~PatrolList() {
  RemoveTemporaries();
}

void PatrolList::Add(UrlEntry* entry) {
  InsertAt(Count(), entry);
}

UrlEntry* PatrolList::InsertTemporary(int32_t index, std::unique_ptr<UrlEntry> entry,
                                      int32_t frameHops) {
  UrlEntry* raw = entry.get();
  temporaries_.emplace(raw, Temporary{std::move(entry), frameHops});
  InsertAt(std::clamp(index, 0, Count()), raw);
  return raw;
}

int32_t PatrolList::Count() const {
  return static_cast<int32_t>(slots_.size()) - GapSize();
}

UrlEntry* PatrolList::operator[](int32_t index) const {
  assert(index >= 0 && index < Count());
  return index < gapStart_ ? slots_[index] : slots_[index + GapSize()];
}

bool PatrolList::ContainsUrl(std::u16string_view url) const {
  return urlCounts_.find(url) != urlCounts_.end();
}

bool PatrolList::IsTemporary(const UrlEntry* entry) const {
  return temporaries_.find(entry) != temporaries_.end();
}

int32_t PatrolList::FrameHops(const UrlEntry* entry) const {
  const auto found = temporaries_.find(entry);
  return found == temporaries_.end() ? 0 : found->second.FrameHops;
}

void PatrolList::RemoveTemporaries() {
  if (temporaries_.empty()) {
    return;
  }
  // One compacting pass keeps the removal linear in the list's length.
  std::vector<UrlEntry*> kept;
  kept.reserve(slots_.size());
  const int32_t count = Count();
  for (int32_t i = 0; i < count; ++i) {
    UrlEntry* entry = (*this)[i];
    if (IsTemporary(entry)) {
      CountUrl(*entry, -1);
    } else {
      kept.push_back(entry);
    }
  }
  gapStart_ = static_cast<int32_t>(kept.size());
  gapEnd_ = gapStart_;
  slots_ = std::move(kept);
  temporaries_.clear();
}

void PatrolList::InsertAt(int32_t index, UrlEntry* entry) {
  MoveGapTo(index);
  if (GapSize() == 0) {
    Grow();
  }
  slots_[gapStart_++] = entry;
  CountUrl(*entry, +1);
}

void PatrolList::MoveGapTo(int32_t index) {
  if (index < gapStart_) {
    const int32_t moved = gapStart_ - index;
    std::move_backward(slots_.begin() + index, slots_.begin() + gapStart_,
                       slots_.begin() + gapEnd_);
    gapStart_ -= moved;
    gapEnd_ -= moved;
  } else if (index > gapStart_) {
    const int32_t moved = index - gapStart_;
    std::move(slots_.begin() + gapEnd_, slots_.begin() + gapEnd_ + moved,
              slots_.begin() + gapStart_);
    gapStart_ += moved;
    gapEnd_ += moved;
  }
}

void PatrolList::Grow() {
  const int32_t oldSize = static_cast<int32_t>(slots_.size());
  const int32_t newSize = std::max(16, oldSize * 2);
  const int32_t tail = oldSize - gapEnd_;
  std::vector<UrlEntry*> grown(static_cast<size_t>(newSize), nullptr);
  std::copy(slots_.begin(), slots_.begin() + gapStart_, grown.begin());
  std::copy(slots_.begin() + gapEnd_, slots_.end(), grown.end() - tail);
  slots_ = std::move(grown);
  gapEnd_ = newSize - tail;
}

void PatrolList::CountUrl(const UrlEntry& entry, int32_t delta) {
  const std::u16string_view url = entry.Url.View();
  auto it = urlCounts_.find(url);
  if (it == urlCounts_.end()) {
    if (delta > 0) {
      urlCounts_.emplace(std::u16string(url), delta);
    }
    return;
  }
  it->second += delta;
  if (it->second <= 0) {
    urlCounts_.erase(it);
  }
}

}  // namespace kivo
