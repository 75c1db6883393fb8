#include "platform/TemporaryNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "platform/HostFile.h"
#include "platform/UniqueFd.h"

namespace kivo::platform {
namespace {

constexpr std::string_view kTag = ".tmp-";
constexpr std::string_view kUnknownBoot = "00000000";
constexpr size_t kBootLength = 8;
constexpr size_t kRandomLength = 6;
constexpr size_t kMaxPidDigits = 10;
constexpr size_t kMaxStartDigits = 20;
// The start time is the 22nd field of /proc/<pid>/stat, the 20th after the
// command name in parentheses.
constexpr size_t kStartFieldAfterName = 19;

// The writer a temporary name records.
struct Writer {
  uint64_t Pid = 0;
  uint64_t Start = 0;
  std::string_view Boot;
};

// What the sweep knows about the running boot; either may be unknown.
struct ThisBoot {
  std::optional<std::string> Tag;
  std::optional<int64_t> StartedAt;  // seconds since the epoch
};

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsLowerHex(std::string_view text) {
  for (char c : text) {
    if (!IsDigit(c) && !(c >= 'a' && c <= 'f')) {
      return false;
    }
  }
  return true;
}

// A decimal number of at most maxDigits digits, without leading zeros.
std::optional<uint64_t> Decimal(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits || (text.size() > 1 && text[0] == '0')) {
    return std::nullopt;
  }
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<Writer> ParseTemporaryName(std::string_view name) {
  const size_t tag = name.rfind(kTag);
  if (tag == std::string_view::npos || tag == 0) {
    return std::nullopt;
  }
  std::string_view rest = name.substr(tag + kTag.size());
  std::array<std::string_view, 4> fields;
  for (size_t i = 0; i + 1 < fields.size(); ++i) {
    const size_t dash = rest.find('-');
    if (dash == std::string_view::npos) {
      return std::nullopt;
    }
    fields[i] = rest.substr(0, dash);
    rest.remove_prefix(dash + 1);
  }
  fields[3] = rest;
  const std::optional<uint64_t> pid = Decimal(fields[0], kMaxPidDigits);
  const std::optional<uint64_t> start = Decimal(fields[1], kMaxStartDigits);
  const bool randomOk = fields[3].size() == kRandomLength &&
                        std::all_of(fields[3].begin(), fields[3].end(),
                                    [](char c) { return IsDigit(c) || (c >= 'a' && c <= 'z'); });
  if (!pid || *pid == 0 || !start || fields[2].size() != kBootLength || !IsLowerHex(fields[2]) ||
      !randomOk) {
    return std::nullopt;
  }
  return Writer{*pid, *start, fields[2]};
}

// Reads the start of a small file such as one under /proc; empty on error.
std::string ReadStart(const UniqueFd& file) {
  std::string text(4096, '\0');
  const int64_t got = ReadSome(file.Get(), text.data(), static_cast<int64_t>(text.size()));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

// The start of the file at `path`; nothing when it cannot be opened.
std::optional<std::string> ReadSmallFile(const std::string& path) {
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.IsValid()) {
    return std::nullopt;
  }
  return ReadStart(file);
}

// The start time in a /proc/<pid>/stat text. The command name may hold
// spaces and parentheses, so the fields are counted after its last ")".
std::optional<uint64_t> StartOfStat(std::string_view stat) {
  const size_t nameEnd = stat.rfind(')');
  if (nameEnd == std::string_view::npos) {
    return std::nullopt;
  }
  std::string_view rest = stat.substr(nameEnd + 1);
  for (size_t field = 0; field <= kStartFieldAfterName; ++field) {
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    const std::string_view value = rest.substr(0, rest.find(' '));
    if (field == kStartFieldAfterName) {
      return Decimal(value, kMaxStartDigits);
    }
    rest.remove_prefix(value.size());
  }
  return std::nullopt;
}

// The first eight hexadecimal digits of the kernel's boot id.
std::optional<std::string> BootTag() {
  const std::optional<std::string> id = ReadSmallFile("/proc/sys/kernel/random/boot_id");
  if (!id || id->size() < kBootLength) {
    return std::nullopt;
  }
  std::string tag = id->substr(0, kBootLength);
  if (!IsLowerHex(tag) || tag == kUnknownBoot) {
    return std::nullopt;
  }
  return tag;
}

// When this boot began, in seconds since the epoch: the wall clock less the
// time since boot, as the kernel reports it in /proc/stat.
std::optional<int64_t> BootTime() {
  timespec now{};
  timespec sinceBoot{};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0 ||
      ::clock_gettime(CLOCK_BOOTTIME, &sinceBoot) != 0) {
    return std::nullopt;
  }
  return static_cast<int64_t>(now.tv_sec) - static_cast<int64_t>(sinceBoot.tv_sec);
}

// "<pid>-<start>-<boot>" for the calling process, read from /proc.
std::string ReadWriterTag() {
  const std::optional<std::string> selfStat = ReadSmallFile("/proc/self/stat");
  const std::optional<uint64_t> start = selfStat ? StartOfStat(*selfStat) : std::nullopt;
  const std::optional<std::string> boot = BootTag();
  const bool known = start && boot;
  return std::to_string(::getpid()) + "-" + std::to_string(known ? *start : 0) + "-" +
         (known ? *boot : std::string(kUnknownBoot));
}

// The writer part of the calling process's temporary names. It cannot change
// while the process runs, and a patrol names a temporary file for every page
// it rewrites, so /proc is read once; a forked child has a process id of its
// own and reads its own.
std::string WriterTag() {
  static const std::pair<pid_t, std::string> first{::getpid(), ReadWriterTag()};
  return first.first == ::getpid() ? first.second : ReadWriterTag();
}

// Six fresh lower-case letters or digits. One getrandom call is much cheaper
// than setting up a random device per name; the small bias of the modulo does
// not matter, since the exclusive create catches a name that is taken.
std::string RandomLetters() {
  static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::array<unsigned char, kRandomLength> bytes{};
  if (::getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
    std::random_device entropy;
    std::generate(bytes.begin(), bytes.end(), [&entropy] { return entropy() & 0xFF; });
  }
  std::string letters;
  for (const unsigned char byte : bytes) {
    letters.push_back(kLetters[byte % kLetters.size()]);
  }
  return letters;
}

// True unless it is certain that no process with this id and start time
// runs: a process that cannot be looked at may be the writer.
bool MayStillRun(const Writer& writer) {
  const std::string path = "/proc/" + std::to_string(writer.Pid) + "/stat";
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.IsValid()) {
    return errno != ENOENT && errno != ESRCH;
  }
  const std::optional<uint64_t> start = StartOfStat(ReadStart(file));
  return !start || *start == writer.Start;
}

bool WriterIsGone(const Writer& writer, const struct stat& info, const ThisBoot& boot) {
  if (boot.Tag && writer.Boot == *boot.Tag) {
    return !MayStillRun(writer);
  }
  return boot.StartedAt && info.st_ctim.tv_sec < *boot.StartedAt;
}

// Removes the temporary file `name` in the open folder when its writer is
// gone and nobody holds a lock on it.
void RemoveIfStale(int folder, const std::string& name, const ThisBoot& boot) {
  const std::optional<Writer> writer = ParseTemporaryName(name);
  struct stat info {};
  if (!writer || ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || !WriterIsGone(*writer, info, boot)) {
    return;
  }
  // A file that cannot be opened cannot be locked either; the verdict on
  // its writer then stands alone.
  const UniqueFd file(
      ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.IsValid()) {
    struct stat opened {};
    if (::fstat(file.Get(), &opened) != 0 || opened.st_dev != info.st_dev ||
        opened.st_ino != info.st_ino) {
      return;
    }
    if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      return;
    }
  }
  ::unlinkat(folder, name.c_str(), 0);
}

// Returns `hostTarget` with its file name cut, on a character boundary, so
// that the name plus `suffixBytes` still fits the file system's limit of 255
// bytes: a target with a long name must still get a temporary beside it.
std::string ShortenedForSuffix(const std::string& hostTarget, size_t suffixBytes) {
  constexpr size_t kMaxNameBytes = 255;
  const size_t slash = hostTarget.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t room = kMaxNameBytes > suffixBytes ? kMaxNameBytes - suffixBytes : 1;
  size_t nameEnd = hostTarget.size();
  if (nameEnd - nameStart <= room) {
    return hostTarget;
  }
  nameEnd = nameStart + room;
  // Never end inside a UTF-8 sequence, but always keep one byte.
  while (nameEnd > nameStart + 1 &&
         (static_cast<unsigned char>(hostTarget[nameEnd]) & 0xC0) == 0x80) {
    --nameEnd;
  }
  return hostTarget.substr(0, nameEnd);
}

}  // namespace

std::string TemporaryNameFor(const std::string& hostTarget) {
  std::string suffix(kTag);
  suffix += WriterTag();
  suffix += '-';
  suffix += RandomLetters();
  return ShortenedForSuffix(hostTarget, suffix.size()) + suffix;
}

bool IsTemporaryName(std::string_view hostName) {
  return ParseTemporaryName(hostName).has_value();
}

void RemoveStaleTemporaries(std::u16string_view folder) {
  if (folder.empty()) {
    return;  // never the working directory by accident
  }
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(HostPath(folder).c_str()));
  if (dir == nullptr) {
    return;
  }
  // The names are gathered first, so that removing files does not disturb
  // the listing.
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name.find(kTag) != std::string_view::npos && IsTemporaryName(name)) {
      names.emplace_back(name);
    }
  }
  const ThisBoot boot{BootTag(), BootTime()};
  for (const std::string& name : names) {
    RemoveIfStale(::dirfd(dir.get()), name, boot);
  }
}

}  // namespace kivo::platform
