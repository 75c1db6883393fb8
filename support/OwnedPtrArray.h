#pragma once

#include <memory>

#include "support/PtrArray.h"

namespace kivo {

// Destroys every non-null element of `array` and sets its count to 0.
// The slot buffer stays allocated for reuse. This is the one place where the
// elements of pointer arrays are freed.
template <class T>
void DeleteElements(PtrArray<T>& array) {
  for (T* element : array) {
    std::unique_ptr<T> owned(element);
  }
  array.RemoveAll();
}

// An array of pointers that owns its elements: they are handed in and out as
// unique_ptr and destroyed with the array. Read access goes through Array(),
// which callers that only borrow the elements take as a const PtrArray<T>&.
template <class T>
class OwnedPtrArray {
 public:
  OwnedPtrArray() = default;
  OwnedPtrArray(const OwnedPtrArray&) = delete;
  OwnedPtrArray& operator=(const OwnedPtrArray&) = delete;
  OwnedPtrArray(OwnedPtrArray&&) noexcept = default;
  OwnedPtrArray& operator=(OwnedPtrArray&& other) noexcept {
    DeleteElements(array_);
    array_.Swap(other.array_);
    return *this;
  }
  ~OwnedPtrArray() { DeleteElements(array_); }

  // Appends an element and takes ownership of it; returns the raw pointer.
  T* Add(std::unique_ptr<T> element) {
    T* raw = element.release();
    array_.Add(raw);
    return raw;
  }
  // Inserts an element at index (0..Count()) and takes ownership of it.
  T* InsertAt(int32_t index, std::unique_ptr<T> element) {
    T* raw = element.release();
    array_.InsertAt(index, raw);
    return raw;
  }
  // Removes the element at index and hands ownership back to the caller.
  std::unique_ptr<T> TakeAt(int32_t index) {
    std::unique_ptr<T> owned(array_[index]);
    array_.RemoveAt(index);
    return owned;
  }
  // Makes room for at least `slotCount` elements without growing on each 8th Add.
  void Reserve(int32_t slotCount) { array_.Reserve(slotCount); }
  // Destroys every element and empties the array.
  void Clear() { DeleteElements(array_); }

  int32_t Count() const { return array_.Count(); }
  T* operator[](int32_t i) const { return array_[i]; }
  T* const* begin() const { return array_.begin(); }
  T* const* end() const { return array_.end(); }
  const PtrArray<T>& Array() const { return array_; }

 private:
  PtrArray<T> array_;
};

}  // namespace kivo
