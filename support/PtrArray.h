#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <memory>
#include <utility>

namespace kivo {

// A growable array of pointers to T that owns only its slot buffer.
//
// It starts with 8 slots and grows by 8 at a time, never shrinking, which
// keeps memory use predictable on small machines. Whoever stores pointers in
// it owns what they point to; see OwnedPtrArray.h for the helpers that free
// elements, and OwnedPtrArray for an array that owns its elements.
template <class T>
class PtrArray {
 public:
  static constexpr int32_t kGrowStep = 8;

  PtrArray() : items_(std::make_unique<T*[]>(kGrowStep)), allocated_(kGrowStep) {}
  PtrArray(const PtrArray&) = delete;
  PtrArray& operator=(const PtrArray&) = delete;
  // Moving hands over the slots; the source is left empty with a fresh buffer.
  PtrArray(PtrArray&& other) noexcept : PtrArray() { Swap(other); }
  PtrArray& operator=(PtrArray&& other) noexcept {
    Swap(other);
    return *this;
  }
  ~PtrArray() = default;

  // Appends p, growing by 8 slots when full.
  void Add(T* p) { InsertAt(count_, p); }

  // Inserts p at index (0..Count()), moving later slots up by one.
  void InsertAt(int32_t index, T* p) {
    assert(index >= 0 && index <= count_);
    index = std::clamp(index, 0, count_);
    if (count_ + 1 > allocated_) {
      Grow();
    }
    std::move_backward(items_.get() + index, items_.get() + count_, items_.get() + count_ + 1);
    items_[index] = p;
    ++count_;
  }

  // Removes the slot at index without destroying what it points to.
  void RemoveAt(int32_t index) {
    assert(index >= 0 && index < count_);
    if (index < 0 || index >= count_) {
      return;
    }
    std::move(items_.get() + index + 1, items_.get() + count_, items_.get() + index);
    --count_;
  }

  // Grows the slot buffer, still in steps of 8, until it holds at least
  // `slotCount` slots, so that adding a known number of elements costs one
  // allocation instead of one per 8 elements.
  void Reserve(int32_t slotCount) {
    if (slotCount <= allocated_) {
      return;
    }
    const int32_t steps = (slotCount - allocated_ + kGrowStep - 1) / kGrowStep;
    GrowBy(steps * kGrowStep);
  }

  // Forgets every slot (Count 0) but keeps the buffer for reuse.
  void RemoveAll() { count_ = 0; }

  T* operator[](int32_t i) const {
    assert(i >= 0 && i < count_);
    return items_[i];
  }
  T*& operator[](int32_t i) {
    assert(i >= 0 && i < count_);
    return items_[i];
  }

  int32_t Count() const { return count_; }
  int32_t Allocated() const { return allocated_; }

  T* const* begin() const { return items_.get(); }
  T* const* end() const { return items_.get() + count_; }

  void Swap(PtrArray& other) noexcept {
    std::swap(items_, other.items_);
    std::swap(count_, other.count_);
    std::swap(allocated_, other.allocated_);
  }

 private:
  void Grow() { GrowBy(kGrowStep); }

  void GrowBy(int32_t slotCount) {
    auto grown = std::make_unique<T*[]>(static_cast<size_t>(allocated_) + slotCount);
    std::copy_n(items_.get(), allocated_, grown.get());
    items_ = std::move(grown);
    allocated_ += slotCount;
  }

  std::unique_ptr<T*[]> items_;
  int32_t count_ = 0;
  int32_t allocated_;
};

}  // namespace kivo
