#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "support/AsciiCase.h"

namespace kivo {

// A growable, NUL-terminated UTF-16 string that exclusively owns its buffer.
//
// Growth is always to the exact size needed and the buffer never shrinks, so
// the capacity rules stay predictable for callers that size buffers from it.
// The length is not cached: it is the number of code units before the first
// NUL, counted on demand.
class WideString {
 public:
  // Constructs the empty string: capacity 1, holding only the terminator.
  WideString();
  // Constructs a copy of `text` (up to its terminator) with capacity length + 1.
  explicit WideString(const char16_t* text);
  // Constructs a copy of `text` with capacity text.size() + 1.
  explicit WideString(std::u16string_view text);
  // Copies get capacity = source length + 1, never the source's spare room.
  WideString(const WideString& other);
  // Moves steal the buffer; the source is left as a valid empty string.
  WideString(WideString&& other) noexcept;
  WideString& operator=(const WideString& other);
  WideString& operator=(WideString&& other) noexcept;
  ~WideString() = default;

  // Replaces the text, reallocating to exactly length + 1 only when it does not fit.
  WideString& Assign(std::u16string_view text);
  WideString& Assign(const WideString& other);
  // Appends `text`, growing to exactly the needed size when it does not fit.
  WideString& Append(std::u16string_view text);
  // Appends one code unit, growing to exactly Length() + 2 when needed.
  WideString& AppendChar(char16_t ch);

  // Returns the first n code units, or the whole text when n >= Length().
  WideString Left(int32_t n) const;
  // Returns the last n code units; n is clamped to 0..Length().
  WideString Right(int32_t n) const;
  // Returns the index of the first occurrence of ch, or -1.
  int32_t Find(char16_t ch) const;
  // Returns the index of the last occurrence of ch, or -1.
  int32_t FindLast(char16_t ch) const;

  // Returns the number of code units before the terminator.
  int32_t Length() const;
  bool IsEmpty() const { return text_[0] == u'\0'; }
  // Empties the text while keeping the buffer and its capacity.
  WideString& Clear();
  // Upper-cases the ASCII letters in place; other characters are kept.
  void MakeUpper();

  // Exact, case-sensitive equality of code units.
  bool Equals(std::u16string_view text) const { return View() == text; }
  bool Equals(const WideString& other) const { return View() == other.View(); }
  // Compares code-unit values: negative, zero or positive.
  int Compare(std::u16string_view text) const;
  // Compares ignoring the case of ASCII letters: negative, zero or positive.
  int CompareNoCase(std::u16string_view text) const;

  int32_t Capacity() const { return capacity_; }
  const char16_t* Text() const { return text_.get(); }
  std::u16string_view View() const { return std::u16string_view(text_.get(), Length()); }

  friend bool operator==(const WideString& a, const WideString& b) { return a.Equals(b); }

 private:
  void Reallocate(int32_t capacity, std::u16string_view keep);

  int32_t capacity_;
  std::unique_ptr<char16_t[]> text_;
};

// Hashes a WideString by its text, for hash sets beside ordered arrays.
struct WideStringHash {
  size_t operator()(const WideString& s) const noexcept {
    return std::hash<std::u16string_view>()(s.View());
  }
};

}  // namespace kivo
