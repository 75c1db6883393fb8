#include "platform/DownloadTemporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/HostFile.h"
#include "platform/Utf8.h"

namespace kivo::platform {
namespace {

constexpr std::u16string_view kPrefix = u"Kivo";
constexpr std::u16string_view kSuffix = u".tmp";
constexpr size_t kMinDigits = 4;

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

std::u16string DownloadTemporaryName(int32_t number) {
  char name[32];
  std::snprintf(name, sizeof name, "Kivo%04d.tmp", static_cast<int>(number));
  return Utf16FromUtf8(name);
}

bool IsDownloadTemporary(std::u16string_view name) {
  if (name.size() < kPrefix.size() + kMinDigits + kSuffix.size() || !name.starts_with(kPrefix) ||
      !name.ends_with(kSuffix)) {
    return false;
  }
  const std::u16string_view digits =
      name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  return std::all_of(digits.begin(), digits.end(),
                     [](char16_t unit) { return unit >= u'0' && unit <= u'9'; });
}

void RemoveDownloadTemporaries(std::u16string_view programFolder) {
  if (programFolder.empty()) {
    return;  // never the working directory by accident
  }
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(HostPath(programFolder).c_str()));
  if (dir == nullptr) {
    return;
  }
  // The names are gathered first, so that removing files does not disturb
  // the listing.
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (IsDownloadTemporary(Utf16FromUtf8(entry->d_name))) {
      names.emplace_back(entry->d_name);
    }
  }
  const int folder = ::dirfd(dir.get());
  for (const std::string& name : names) {
    struct stat info {};
    // A link or a folder of that name is not one of the files, and neither
    // is another user's file.
    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
        info.st_uid == ::geteuid()) {
      ::unlinkat(folder, name.c_str(), 0);
    }
  }
}

}  // namespace kivo::platform
