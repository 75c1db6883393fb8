#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/UniqueFd.h"

namespace kivo {

// The two ways the system opens files. The values are mode words: bits 31 and
// 30 are read and write access, the low four bits the creation rule.
enum class OpenMode : uint32_t {
  ReadExisting = 0x80000003u,    // read access; fails when the file does not exist
  CreateForWrite = 0x40000002u,  // write access; creates the file or truncates it
};

// A file read through a 1024-byte buffer and written straight through.
//
// A file is either read or written per opening; there is no seek. Failures
// are reported by results, never by exceptions.
class BufferedFile {
 public:
  static constexpr int32_t kBufferSize = 1024;

  BufferedFile();
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;
  ~BufferedFile() = default;

  // Opens `path` with `mode`; false when it cannot be opened, when it is a
  // directory, or when a file is already open on this object.
  bool Open(std::u16string_view path, OpenMode mode);
  // Delivers up to n bytes through the read buffer. Returns n, fewer at end
  // of file or on a read error, 0 when nothing could be read.
  int64_t Read(void* dest, int64_t n);
  // Writes n bytes straight to the file and discards the read buffer.
  // True when every byte was written.
  bool Write(const void* src, int64_t n);
  // Returns the size of the open file in bytes, 0 when none is open.
  uint64_t Size() const;
  // Closes the file if one is open and discards the read buffer. Always true.
  bool Close();

  bool IsOpen() const { return handle_.IsValid(); }
  int32_t ReadPos() const { return readPos_; }
  int32_t BufferFill() const { return bufferFill_; }

 private:
  void DiscardBuffer();

  platform::UniqueFd handle_;
  std::unique_ptr<uint8_t[]> buffer_;
  int32_t readPos_ = -1;
  int32_t bufferFill_ = 0;
};

}  // namespace kivo
