#include "support/WideString.h"

#include <algorithm>
#include <string>
#include <utility>

namespace kivo {
namespace {

int32_t ClampLength(size_t n) {
  // Lengths are 32-bit by contract; anything larger is a caller error that we
  // refuse to wrap around silently.
  return static_cast<int32_t>(std::min<size_t>(n, INT32_MAX - 2));
}

std::unique_ptr<char16_t[]> NewBuffer(int32_t capacity) {
  auto buffer = std::make_unique<char16_t[]>(static_cast<size_t>(capacity));
  buffer[0] = u'\0';
  return buffer;
}

int Sign(int v) {
  return (v > 0) - (v < 0);
}

}  // namespace

WideString::WideString() : capacity_(1), text_(NewBuffer(1)) {}

WideString::WideString(const char16_t* text)
    : WideString(text ? std::u16string_view(text) : std::u16string_view()) {}

WideString::WideString(std::u16string_view text)
    : capacity_(ClampLength(text.size()) + 1), text_(NewBuffer(capacity_)) {
  std::copy_n(text.data(), capacity_ - 1, text_.get());
  text_[capacity_ - 1] = u'\0';
}

WideString::WideString(const WideString& other) : WideString(other.View()) {}

WideString::WideString(WideString&& other) noexcept
    : capacity_(other.capacity_), text_(std::move(other.text_)) {
  // The source must stay a valid string that owns a buffer.
  other.capacity_ = 1;
  other.text_ = NewBuffer(1);
}

WideString& WideString::operator=(const WideString& other) {
  return Assign(other);
}

WideString& WideString::operator=(WideString&& other) noexcept {
  if (this != &other) {
    std::swap(capacity_, other.capacity_);
    std::swap(text_, other.text_);
  }
  return *this;
}

void WideString::Reallocate(int32_t capacity, std::u16string_view keep) {
  auto buffer = NewBuffer(capacity);
  std::copy(keep.begin(), keep.end(), buffer.get());
  buffer[keep.size()] = u'\0';
  text_ = std::move(buffer);
  capacity_ = capacity;
}

WideString& WideString::Assign(std::u16string_view text) {
  const int32_t length = ClampLength(text.size());
  if (capacity_ < length + 1) {
    // The source may alias our own buffer, so copy before releasing it.
    Reallocate(length + 1, text.substr(0, length));
    return *this;
  }
  std::copy_n(text.data(), length, text_.get());  // copy_n handles overlap front-to-back
  text_[length] = u'\0';
  return *this;
}

WideString& WideString::Assign(const WideString& other) {
  if (this == &other) {
    return *this;
  }
  return Assign(other.View());
}

WideString& WideString::Append(std::u16string_view text) {
  const int32_t length = Length();
  const int32_t added = ClampLength(text.size());
  const int32_t needed = length + added + 1;
  if (capacity_ < needed) {
    // Appending a view of ourselves must survive the reallocation.
    std::u16string source(text.substr(0, added));
    Reallocate(needed, View());
    std::copy(source.begin(), source.end(), text_.get() + length);
  } else {
    std::copy_n(text.data(), added, text_.get() + length);
  }
  text_[length + added] = u'\0';
  return *this;
}

WideString& WideString::AppendChar(char16_t ch) {
  const char16_t unit[1] = {ch};
  return Append(std::u16string_view(unit, 1));
}

WideString WideString::Left(int32_t n) const {
  const int32_t length = Length();
  return WideString(View().substr(0, static_cast<size_t>(std::clamp(n, 0, length))));
}

WideString WideString::Right(int32_t n) const {
  const int32_t length = Length();
  const int32_t count = std::clamp(n, 0, length);
  return WideString(View().substr(static_cast<size_t>(length - count)));
}

int32_t WideString::Find(char16_t ch) const {
  const size_t at = View().find(ch);
  return at == std::u16string_view::npos ? -1 : static_cast<int32_t>(at);
}

int32_t WideString::FindLast(char16_t ch) const {
  const size_t at = View().rfind(ch);
  return at == std::u16string_view::npos ? -1 : static_cast<int32_t>(at);
}

int32_t WideString::Length() const {
  return ClampLength(std::char_traits<char16_t>::length(text_.get()));
}

WideString& WideString::Clear() {
  text_[0] = u'\0';
  return *this;
}

void WideString::MakeUpper() {
  for (char16_t* p = text_.get(); *p != u'\0'; ++p) {
    *p = AsciiUpper(*p);
  }
}

int WideString::Compare(std::u16string_view text) const {
  return Sign(View().compare(text));
}

int WideString::CompareNoCase(std::u16string_view text) const {
  const std::u16string_view self = View();
  const size_t common = std::min(self.size(), text.size());
  for (size_t i = 0; i < common; ++i) {
    const char16_t a = AsciiUpper(self[i]);
    const char16_t b = AsciiUpper(text[i]);
    if (a != b) {
      return a < b ? -1 : 1;
    }
  }
  return Sign(static_cast<int>(self.size() > text.size()) -
              static_cast<int>(self.size() < text.size()));
}

}  // namespace kivo
