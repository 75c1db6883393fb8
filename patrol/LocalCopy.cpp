#include "patrol/LocalCopy.h"

#include <functional>

#include "platform/AtomicFile.h"
#include "platform/BufferedFile.h"
#include "platform/FileExists.h"
#include "platform/HostFile.h"
#include "platform/KeptNames.h"
#include "platform/NewFile.h"
#include "platform/Utf8.h"
#include "support/AsciiCase.h"
#include "urllist/UrlMapping.h"

namespace kivo {
namespace {

constexpr int32_t kLetters = 26;
constexpr int32_t kLetters2 = kLetters * kLetters;
constexpr int32_t kLetters3 = kLetters2 * kLetters;

char16_t Letter(int32_t x) {
  return static_cast<char16_t>(u'A' + x);
}

WideString CandidateName(std::u16string_view base, std::u16string_view suffix,
                         std::u16string_view extension) {
  WideString name(base);
  name.Append(suffix).Append(extension);
  return name;
}

// The longest name a file system takes (NAME_MAX), in bytes of the host path.
constexpr size_t kMaxNameBytes = 255;
// The longest suffix a copy's name takes.
constexpr std::u16string_view kLongestSuffix = u"AAAA";

// Returns `base` cut so that every candidate name, the longest suffix
// included, fits a file name; a name from a long URL (a slug of percent-
// encoded Japanese, say) could otherwise never be stored. A surrogate pair
// is never split.
std::u16string_view FittedBase(std::u16string_view base, std::u16string_view extension) {
  const auto fits = [&](size_t length) {
    const WideString name = CandidateName(base.substr(0, length), kLongestSuffix, extension);
    return platform::HostPath(name.View()).size() <= kMaxNameBytes;
  };
  if (fits(base.size())) {
    return base;
  }
  size_t low = 0;  // fits, or nothing fits at all
  size_t high = base.size();
  while (high - low > 1) {
    const size_t middle = low + (high - low) / 2;
    (fits(middle) ? low : high) = middle;
  }
  if (low > 0 && platform::IsHighSurrogate(base[low - 1])) {
    --low;
  }
  return base.substr(0, low);
}

}  // namespace

std::optional<WideString> LocalCopySuffix(int32_t k) {
  if (k < 0 || k > kMaxLocalCopySuffix) {
    return std::nullopt;
  }
  WideString suffix;
  bool flag = false;
  if (k > kLetters3) {
    suffix.AppendChar(Letter(k / kLetters3));
    flag = true;
  }
  int32_t r = k % kLetters3;
  if (flag || r > kLetters2) {
    suffix.AppendChar(Letter(r / kLetters2));
    flag = true;
  }
  r = r % kLetters2;
  if (flag || r > kLetters) {
    suffix.AppendChar(Letter(r / kLetters));
  }
  suffix.AppendChar(Letter(r % kLetters));
  return suffix;
}

namespace {

// Tries to create the file at a free candidate path: Created, Exists (the name was taken
// meanwhile: try the next one) or Failed.
using CreateAt = std::function<platform::CreateOutcome(std::u16string_view path)>;

// Walks the candidate names of url in folder, in order, until createAt makes one or fails.
bool StoreUnderFreeName(std::u16string_view folder, std::u16string_view url, WideString& localPath,
                        const CreateAt& createAt) {
  const WideString name = FileNameOfUrl(url);
  const std::u16string_view nameView = name.View();
  const size_t dot = nameView.rfind(u'.');
  std::u16string_view extension =
      dot == std::u16string_view::npos ? std::u16string_view() : nameView.substr(dot);
  if (EqualsNoCase(extension, u".asp") || EqualsNoCase(extension, u".shtml")) {
    extension = u".html";
  }
  const std::u16string_view base = FittedBase(nameView.substr(0, dot), extension);
  // The program's own names count as taken even while no such file exists,
  // so that a server can never plant one, e.g. "Kivo.dat.bak".
  const platform::KeptNames kept(folder);
  // k = -1 stands for the first candidate, which has no suffix.
  for (int32_t k = -1;; ++k) {
    std::optional<WideString> suffix = k < 0 ? WideString() : LocalCopySuffix(k);
    if (!suffix) {
      localPath.Clear();
      return false;
    }
    const WideString candidate = CandidateName(base, suffix->View(), extension);
    localPath = WideString(folder);
    localPath.Append(candidate.View());
    if (kept.Contains(candidate.View())) {
      continue;
    }
    const platform::CreateOutcome outcome = createAt(localPath.View());
    if (outcome != platform::CreateOutcome::Exists) {
      return outcome == platform::CreateOutcome::Created;
    }
  }
}

}  // namespace

bool SaveAsLocalCopy(std::u16string_view tempPath, std::u16string_view folder,
                     std::u16string_view url, WideString& localPath,
                     const std::function<bool()>& mayCopy) {
  const platform::UniqueFd source =
      platform::OpenWithModeWord(tempPath, static_cast<uint32_t>(OpenMode::ReadExisting));
  return StoreUnderFreeName(folder, url, localPath, [&](std::u16string_view path) {
    if (FileExists(path)) {
      return platform::CreateOutcome::Exists;
    }
    if (!source.IsValid()) {
      return platform::CreateOutcome::Failed;
    }
    // A second name for the download costs no copy and no new file. The
    // fetcher replaces its output file rather than truncating it, so the
    // stored copy keeps its bytes when the next download arrives.
    const platform::CreateOutcome linked = platform::LinkNewName(tempPath, path);
    if (linked != platform::CreateOutcome::Failed) {
      return linked;
    }
    if (mayCopy && !mayCopy()) {
      return platform::CreateOutcome::Failed;
    }
    platform::NewFile target = platform::CreateNewFile(path);
    if (target.Outcome != platform::CreateOutcome::Created) {
      return target.Outcome;
    }
    if (!platform::CopyFileContents(source.Get(), target.File.Get()) || !target.File.Reset()) {
      target.File.Reset();
      platform::RemoveFile(path);
      return platform::CreateOutcome::Failed;
    }
    return platform::CreateOutcome::Created;
  });
}

bool SaveBytesAsLocalCopy(std::string_view bytes, std::u16string_view folder,
                          std::u16string_view url, WideString& localPath) {
  return StoreUnderFreeName(folder, url, localPath, [&](std::u16string_view path) {
    // The exclusive create is the existence test: a taken name gives Exists.
    platform::NewFile target = platform::CreateNewFile(path);
    if (target.Outcome != platform::CreateOutcome::Created) {
      return target.Outcome;
    }
    if (!platform::WriteAll(target.File.Get(), bytes.data(), static_cast<int64_t>(bytes.size())) ||
        !target.File.Reset()) {
      target.File.Reset();
      platform::RemoveFile(path);
      return platform::CreateOutcome::Failed;
    }
    return platform::CreateOutcome::Created;
  });
}

}  // namespace kivo
