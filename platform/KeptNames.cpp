#include "platform/KeptNames.h"

#include <sys/stat.h>

#include <algorithm>
#include <iterator>

#include "platform/DownloadTemporaries.h"
#include "platform/HostFile.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"
#include "platform/TemporaryNames.h"

namespace kivo::platform {
namespace {

// The program folder's names. The list file's temporary siblings of earlier
// versions are matched by IsTemporarySibling.
constexpr std::u16string_view kProgramNames[] = {kListFileName, kListBackupName, kLockFileName,
                                                 u"null.gif"};
// The length of the random tail of an earlier version's temporary sibling.
constexpr size_t kSiblingTailLength = 8;

// True for the temporary sibling of `file` that earlier versions wrote:
// the file's name, ".tmp-" and eight lower-case letters or digits. Only the
// exact form is matched, so that a name with a suffix inserted is free again.
bool IsTemporarySibling(std::u16string_view name, std::u16string_view file) {
  constexpr std::u16string_view kTag = u".tmp-";
  if (!name.starts_with(file) || name.substr(file.size(), kTag.size()) != kTag) {
    return false;
  }
  const std::u16string_view tail = name.substr(file.size() + kTag.size());
  return tail.size() == kSiblingTailLength &&
         std::all_of(tail.begin(), tail.end(), [](char16_t unit) {
           return (unit >= u'a' && unit <= u'z') || (unit >= u'0' && unit <= u'9');
         });
}

// True for the link rewriter's temporary files of earlier versions:
// ".kivo-rewrite-", numbers joined by "-", and ".tmp".
bool IsRewriteTemporary(std::u16string_view name) {
  constexpr std::u16string_view kPrefix = u".kivo-rewrite-";
  constexpr std::u16string_view kSuffix = u".tmp";
  if (name.size() <= kPrefix.size() + kSuffix.size() || !name.starts_with(kPrefix) ||
      !name.ends_with(kSuffix)) {
    return false;
  }
  const std::u16string_view middle =
      name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  return std::all_of(middle.begin(), middle.end(),
                     [](char16_t unit) { return unit == u'-' || (unit >= u'0' && unit <= u'9'); });
}

// True when both paths name the same existing folder.
bool SameFolder(std::u16string_view a, std::u16string_view b) {
  struct stat first {};
  struct stat second {};
  return ::stat(HostPath(a).c_str(), &first) == 0 && ::stat(HostPath(b).c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

KeptNames::KeptNames(std::u16string_view folder) {
  const std::u16string folderText(folder.empty() ? u"." : folder);
  programFolder_ = SameFolder(folderText, ProgramFolder());
  const std::u16string settingsPath = SettingsFilePath();
  const size_t slash = settingsPath.rfind(u'/');
  if (slash != std::u16string::npos) {
    settingsName_ = settingsPath.substr(slash + 1);
    settingsFolder_ = SameFolder(folderText, settingsPath.substr(0, slash + 1));
  }
}

bool KeptNames::Contains(std::u16string_view name) const {
  // A stored file must never take a temporary name: the sweep of stale
  // temporaries would remove it while an entry still names it.
  if (IsRewriteTemporary(name) || IsTemporaryName(HostPath(name))) {
    return true;
  }
  if (programFolder_ && (std::find(std::begin(kProgramNames), std::end(kProgramNames), name) !=
                             std::end(kProgramNames) ||
                         IsDownloadTemporary(name) || IsTemporarySibling(name, kListFileName) ||
                         name.starts_with(kHistoryDatabaseName))) {
    return true;
  }
  if (!settingsFolder_ || settingsName_.empty()) {
    return false;
  }
  const std::u16string& settings = settingsName_;
  return name == settings || name == settings + u".lock" || name == settings + u".bak" ||
         IsTemporarySibling(name, settings);
}

}  // namespace kivo::platform
