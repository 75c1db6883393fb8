#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "support/WideString.h"

namespace kivo {

// The key of a plain string: its text.
struct TextKey {
  std::u16string_view operator()(const WideString& text) const { return text.View(); }
};

// Owned elements in the order they were added, beside a hash index on a text
// key of each element (KeyOf gives it), so that a lookup costs the same for
// ten elements or a million.
//
// Elements live on the heap and are never changed or moved once added: the
// pointers the list hands out and the key views its index holds stay valid
// until Clear or TakeAll. Keys compare exactly, code unit by code unit.
template <class T, class KeyOf = TextKey>
class IndexedList {
 public:
  IndexedList() = default;
  IndexedList(const IndexedList&) = delete;
  IndexedList& operator=(const IndexedList&) = delete;
  ~IndexedList() = default;

  // Appends `element` and takes ownership of it, also when an element with the
  // same key is present (lookups keep finding the earlier one). Returns the
  // stored element, or nullptr (and stores nothing) when `element` is null.
  const T* Add(std::unique_ptr<T> element) {
    if (element == nullptr) {
      return nullptr;
    }
    ReserveSlot();
    const std::u16string_view key = KeyOf()(*element);
    const size_t hash = Hash(key);
    return Store(std::move(element), SlotFor(key, hash), hash);
  }

  // Appends a new string holding `text`, as Add does.
  const T* Add(std::u16string_view text) requires std::same_as<T, WideString> {
    return Add(std::make_unique<WideString>(text));
  }

  // Moves `value` into the list unless an element with the same key is
  // present. Returns the stored element, or nullptr when the key was taken;
  // nothing is allocated then.
  const T* AddUnique(T&& value) {
    ReserveSlot();
    const std::u16string_view key = KeyOf()(value);
    const size_t hash = Hash(key);
    const size_t slot = SlotFor(key, hash);
    if (slots_[slot].Element != 0) {
      return nullptr;
    }
    return Store(std::make_unique<T>(std::move(value)), slot, hash);
  }

  // Returns the first element in list order whose key equals `key`, or nullptr.
  const T* Find(std::u16string_view key) const {
    if (slots_.empty()) {
      return nullptr;
    }
    const Slot& slot = slots_[SlotFor(key, Hash(key))];
    return slot.Element == 0 ? nullptr : elements_[slot.Element - 1].get();
  }

  // True when some element's key equals `key`.
  bool Contains(std::u16string_view key) const { return Find(key) != nullptr; }

  // Returns the number of elements, duplicates included.
  int32_t Count() const { return static_cast<int32_t>(elements_.size()); }

  // Returns element i (0 <= i < Count()).
  const T* operator[](int32_t i) const { return elements_[static_cast<size_t>(i)].get(); }

  // Destroys every element and empties the index.
  void Clear() {
    slots_.clear();
    keys_.clear();
    elements_.clear();
  }

  // Hands every element over in list order and leaves the list empty.
  std::vector<std::unique_ptr<T>> TakeAll() {
    slots_.clear();
    keys_.clear();
    return std::exchange(elements_, {});
  }

 private:
  // A slot holds the hash bits that did not choose it, so that most probes
  // are decided without touching the key's text.
  struct Slot {
    uint32_t Element = 0;  // element index + 1; 0 marks a free slot
    uint32_t Check = 0;
  };

  static size_t Hash(std::u16string_view key) { return std::hash<std::u16string_view>()(key); }
  static uint32_t CheckBits(size_t hash) { return static_cast<uint32_t>(hash >> 32); }

  // Makes sure the index has a free slot for one more key and stays at most half full.
  void ReserveSlot() {
    if (2 * (elements_.size() + 1) > slots_.size()) {
      Rehash(slots_.empty() ? 64 : 2 * slots_.size());
    }
  }

  // Appends `element`, whose key hashes to `hash` and belongs in `slot`; the
  // slot is taken only when no earlier element holds the key.
  const T* Store(std::unique_ptr<T> element, size_t slot, size_t hash) {
    elements_.push_back(std::move(element));
    keys_.push_back(KeyOf()(*elements_.back()));
    if (slots_[slot].Element == 0) {
      slots_[slot] = {static_cast<uint32_t>(elements_.size()), CheckBits(hash)};
    }
    return elements_.back().get();
  }

  // Returns the slot that holds `key`, or the free slot where it would go.
  size_t SlotFor(std::u16string_view key, size_t hash) const {
    const size_t mask = slots_.size() - 1;
    const uint32_t check = CheckBits(hash);
    size_t slot = hash & mask;
    while (slots_[slot].Element != 0 &&
           (slots_[slot].Check != check || keys_[slots_[slot].Element - 1] != key)) {
      slot = (slot + 1) & mask;
    }
    return slot;
  }

  // Rebuilds the index with `slotCount` slots (a power of two); only the
  // first element of each key is entered.
  void Rehash(size_t slotCount) {
    slots_.assign(slotCount, Slot{});
    for (size_t i = 0; i < keys_.size(); ++i) {
      const size_t hash = Hash(keys_[i]);
      const size_t slot = SlotFor(keys_[i], hash);
      if (slots_[slot].Element == 0) {
        slots_[slot] = {static_cast<uint32_t>(i + 1), CheckBits(hash)};
      }
    }
  }

  std::vector<std::unique_ptr<T>> elements_;
  std::vector<std::u16string_view> keys_;  // keys_[i] views the key of elements_[i]
  std::vector<Slot> slots_;                // a power of two, at most half in use
};

}  // namespace kivo
