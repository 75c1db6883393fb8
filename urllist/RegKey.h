#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivo {

// Value types of the settings store.
inline constexpr uint32_t kRegDword = 4, kRegSz = 1;

// The roots a key path can start from; the program only uses the user's own.
enum class RegRoot { CurrentUser };

// The key that holds every setting of the program.
inline constexpr std::u16string_view kSettingsKeyPath = u"Software\\Ostrel\\Kivo\\Version 1.0";

// Holds one open key of the per-user settings store with typed reads that
// fall back to a default. Nothing is cached: every read sees the store as it
// is now, and every write reaches the file before it returns. Each thread
// uses its own RegKey; two of them may read and write at the same time.
class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  // Closes a key that is still open.
  ~RegKey() { Close(); }

  // Opens an existing key; false, with no key open, when it does not exist.
  bool OpenForRead(RegRoot root, std::u16string_view path);
  // Opens the key, creating it and any missing parent keys first; false, with
  // no key open, when it cannot be created.
  bool OpenForWrite(RegRoot root, std::u16string_view path);

  // Returns the named value as a little-endian number, or defaultValue when no
  // key is open, the value is missing or it is larger than 4 bytes. A shorter
  // value is zero-extended. Any stored type is accepted.
  uint32_t ReadDword(std::u16string_view name, uint32_t defaultValue);

  // Reads the named value into buffer, whose size is capacityBytes, and
  // returns buffer; returns nullptr when no key is open or the value is
  // missing. The buffer always holds a terminated string afterwards (when it
  // has room for one unit): a longer value is cut, an odd final byte dropped.
  char16_t* ReadString(std::u16string_view name, char16_t* buffer, uint32_t capacityBytes);

  // Returns the named value whole as UTF-16 units (an odd final byte
  // dropped, terminators kept), or nothing when no key is open or the value
  // is missing.
  std::optional<std::u16string> ReadWholeString(std::u16string_view name);

  // Stores size bytes of data under name with the given type, replacing any
  // value of that name. True when the value is on disk.
  bool WriteValue(std::u16string_view name, uint32_t type, const void* data, uint32_t size);

  // Closes the open key; false when no key was open.
  bool Close();

  bool IsOpen() const { return open_; }

 private:
  bool Open(RegRoot root, std::u16string_view path);
  // Returns the raw bytes of the named value, or false.
  bool ReadRaw(std::u16string_view name, std::string& bytes) const;

  bool open_ = false;
  std::u16string storePath_;  // the settings file the key lives in
  std::u16string keyPath_;    // the key's full path, root included
};

}  // namespace kivo
