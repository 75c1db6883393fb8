#include "urllist/UrlListFile.h"

#include <string>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/BufferedFile.h"
#include "platform/HostFile.h"
#include "platform/ProgramFolder.h"
#include "platform/TemporaryNames.h"

namespace kivo {
namespace {

// Every counted string holds at least its NUL: four bytes of count and two of
// text. A server count above remaining / 6 therefore cannot be genuine.
constexpr uint64_t kMinCountedStringBytes = 6;

uint32_t DecodeUint32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint16_t DecodeUint16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// Reads the fields of the list file while counting down the bytes that the
// file still holds, so that no count in the file can make it allocate more
// than the file's own size.
class FieldReader {
 public:
  explicit FieldReader(BufferedFile& file) : file_(file), remaining_(file.Size()) {}

  uint64_t Remaining() const { return remaining_; }

  // Reads exactly n bytes; false when the file ends first.
  bool ReadBytes(void* dest, uint64_t n) {
    if (n > remaining_) {
      return false;
    }
    const int64_t got = file_.Read(dest, static_cast<int64_t>(n));
    if (got < 0 || static_cast<uint64_t>(got) != n) {
      remaining_ = 0;
      return false;
    }
    remaining_ -= n;
    return true;
  }

  bool ReadUint32(uint32_t& value) {
    uint8_t bytes[4];
    if (!ReadBytes(bytes, sizeof bytes)) {
      return false;
    }
    value = DecodeUint32(bytes);
    return true;
  }

  bool ReadInt32(int32_t& value) {
    uint32_t raw = 0;
    if (!ReadUint32(raw)) {
      return false;
    }
    value = static_cast<int32_t>(raw);
    return true;
  }

  bool ReadSystemTime(SystemTime& time) {
    uint8_t bytes[16];
    if (!ReadBytes(bytes, sizeof bytes)) {
      return false;
    }
    uint16_t* words[] = {&time.Year, &time.Month,  &time.DayOfWeek, &time.Day,
                         &time.Hour, &time.Minute, &time.Second,    &time.Milliseconds};
    for (int i = 0; i < 8; ++i) {
      *words[i] = DecodeUint16(bytes + 2 * i);
    }
    return true;
  }

  // Reads a counted string: a count N of code units including the NUL, then
  // 2·N bytes. N must be at least 1, at most maxUnits and no more than the
  // file still holds. The text ends at its first NUL, or after N units when
  // the stored units hold none.
  bool ReadCountedString(WideString& text, uint64_t maxUnits) {
    uint32_t count = 0;
    if (!ReadUint32(count) || count == 0 || count > maxUnits || count > remaining_ / 2) {
      return false;
    }
    std::string bytes(static_cast<size_t>(count) * 2, '\0');
    if (!ReadBytes(bytes.data(), bytes.size())) {
      return false;
    }
    std::u16string units;
    units.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      const char16_t unit = DecodeUint16(reinterpret_cast<const uint8_t*>(bytes.data()) + 2 * i);
      if (unit == u'\0') {
        break;
      }
      units.push_back(unit);
    }
    text.Assign(units);
    return true;
  }

 private:
  BufferedFile& file_;
  uint64_t remaining_;
};

// Reads one record's fields after Status, honouring the version gates. False
// when the record is cut short or breaks a bound.
bool ReadRecordBody(FieldReader& reader, int32_t version, UrlEntry& entry) {
  const uint64_t anyLength = UINT64_MAX;
  if (!reader.ReadCountedString(entry.Name, anyLength) ||
      !reader.ReadCountedString(entry.Url, anyLength) || !reader.ReadInt32(entry.LinkLevel) ||
      !reader.ReadCountedString(entry.LocalFile, anyLength) ||
      !reader.ReadInt32(entry.HasLastTime) || !reader.ReadSystemTime(entry.LastTime)) {
    return false;
  }
  if (version >= 1 && !reader.ReadInt32(entry.GetImages)) {
    return false;
  }
  if (version >= 2) {
    uint32_t serverCount = 0;
    if (!reader.ReadInt32(entry.OnlyListedServers) || !reader.ReadUint32(serverCount) ||
        serverCount > reader.Remaining() / kMinCountedStringBytes) {
      return false;
    }
    for (uint32_t i = 0; i < serverCount; ++i) {
      auto server = std::make_unique<WideString>();
      if (!reader.ReadCountedString(*server, UrlListFile::kMaxServerUnits)) {
        return false;
      }
      entry.Servers.Add(std::move(server));
    }
  }
  if (version >= 3) {
    if (!reader.ReadInt32(entry.UseOwnFolder) ||
        !reader.ReadCountedString(entry.OwnFolder, anyLength)) {
      return false;
    }
  }
  return true;
}

void AppendUint32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

void AppendUint16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void AppendCountedString(std::string& out, std::u16string_view text) {
  AppendUint32(out, static_cast<uint32_t>(text.size() + 1));
  for (char16_t unit : text) {
    AppendUint16(out, unit);
  }
  AppendUint16(out, 0);
}

void AppendRecord(std::string& out, const UrlEntry& entry) {
  AppendUint32(out, static_cast<uint32_t>(entry.Status));
  AppendCountedString(out, entry.Name.View());
  AppendCountedString(out, entry.Url.View());
  AppendUint32(out, static_cast<uint32_t>(entry.LinkLevel));
  AppendCountedString(out, entry.LocalFile.View());
  AppendUint32(out, static_cast<uint32_t>(entry.HasLastTime));
  const SystemTime& t = entry.LastTime;
  for (uint16_t word :
       {t.Year, t.Month, t.DayOfWeek, t.Day, t.Hour, t.Minute, t.Second, t.Milliseconds}) {
    AppendUint16(out, word);
  }
  AppendUint32(out, static_cast<uint32_t>(entry.GetImages));
  AppendUint32(out, static_cast<uint32_t>(entry.OnlyListedServers));
  uint32_t serverCount = 0;
  for (const WideString* server : entry.Servers) {
    serverCount += server != nullptr ? 1 : 0;
  }
  AppendUint32(out, serverCount);
  for (const WideString* server : entry.Servers) {
    if (server == nullptr) {
      continue;
    }
    // A prefix the reader would refuse would end every later load at this
    // record, so an over-long one is stored cut to the longest readable size.
    AppendCountedString(out, server->View().substr(0, UrlListFile::kMaxServerUnits - 1));
  }
  AppendUint32(out, static_cast<uint32_t>(entry.UseOwnFolder));
  AppendCountedString(out, entry.OwnFolder.View());
}

}  // namespace

UrlListFile::UrlListFile(std::u16string path) : path_(std::move(path)) {}

bool UrlListFile::Load(UrlList& list) {
  keepBackup_ = false;
  if (!platform::PathExists(path_)) {
    return true;
  }
  keepBackup_ = true;
  BufferedFile file;
  if (!file.Open(path_, OpenMode::ReadExisting)) {
    return false;
  }
  FieldReader reader(file);
  if (reader.Remaining() == 0) {
    // An empty file holds nothing that could be lost.
    keepBackup_ = false;
    return true;
  }
  int32_t version = 0;
  if (!reader.ReadInt32(version)) {
    return false;
  }
  // A record exists when any byte follows the previous one; from then on every
  // field must be there in full.
  // Files older than version 3 store no own folder: their entries get the
  // program folder, as new entries do, looked up once for the whole file.
  const std::u16string ownFolder = version < 3 ? platform::ProgramFolder() : std::u16string();
  while (reader.Remaining() > 0) {
    auto entry = std::make_unique<UrlEntry>(ownFolder);
    if (!reader.ReadInt32(entry->Status) || !ReadRecordBody(reader, version, *entry)) {
      return false;
    }
    list.Add(std::move(entry));
  }
  keepBackup_ = false;
  return true;
}

UrlListFile UrlListFile::InProgramFolder() {
  return UrlListFile(platform::ProgramFile(platform::kListFileName));
}

bool UrlListFile::Save(const UrlList& list) {
  // Saves of killed runs may have left temporary files beside the list; they
  // carry the same name scheme as the ones this save writes.
  platform::RemoveStaleTemporaries(std::u16string_view(path_).substr(0, path_.rfind(u'/') + 1));
  if (keepBackup_ && platform::PathExists(path_)) {
    if (!platform::KeepBackupCopy(path_, BackupPath())) {
      return false;
    }
  }
  keepBackup_ = false;
  return platform::ReplaceFileAtomically(path_, Encode(list));
}

std::string UrlListFile::Encode(const UrlList& list) {
  std::string out;
  AppendUint32(out, static_cast<uint32_t>(kWrittenVersion));
  for (const UrlEntry* entry : list) {
    if (entry != nullptr) {
      AppendRecord(out, *entry);
    }
  }
  return out;
}

}  // namespace kivo
