#include "platform/BufferedFile.h"

#include <algorithm>
#include <cstring>

#include "platform/HostFile.h"

namespace kivo {

BufferedFile::BufferedFile() : buffer_(std::make_unique<uint8_t[]>(kBufferSize)) {}

bool BufferedFile::Open(std::u16string_view path, OpenMode mode) {
  if (IsOpen()) {
    return false;
  }
  DiscardBuffer();
  handle_ = platform::OpenWithModeWord(path, static_cast<uint32_t>(mode));
  return IsOpen();
}

int64_t BufferedFile::Read(void* dest, int64_t n) {
  auto* out = static_cast<uint8_t*>(dest);
  int64_t delivered = 0;
  while (delivered < n) {
    if (readPos_ < 0 || readPos_ >= bufferFill_) {
      const int64_t got =
          IsOpen() ? platform::ReadSome(handle_.Get(), buffer_.get(), kBufferSize) : -1;
      if (got <= 0) {
        DiscardBuffer();
        return delivered;
      }
      bufferFill_ = static_cast<int32_t>(got);
      readPos_ = 0;
    }
    const int64_t take = std::min<int64_t>(n - delivered, bufferFill_ - readPos_);
    std::memcpy(out + delivered, buffer_.get() + readPos_, static_cast<size_t>(take));
    readPos_ += static_cast<int32_t>(take);
    delivered += take;
  }
  return delivered;
}

bool BufferedFile::Write(const void* src, int64_t n) {
  DiscardBuffer();
  if (!IsOpen() || n < 0) {
    return false;
  }
  return platform::WriteAll(handle_.Get(), src, n);
}

uint64_t BufferedFile::Size() const {
  if (!IsOpen()) {
    return 0;
  }
  return platform::FileSize(handle_.Get()).value_or(0);
}

bool BufferedFile::Close() {
  handle_.Reset();
  DiscardBuffer();
  return true;
}

void BufferedFile::DiscardBuffer() {
  readPos_ = -1;
  bufferFill_ = 0;
}

}  // namespace kivo
