#include "patrol/FetchUrl.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/BufferedFile.h"
#include "platform/HostFile.h"
#include "platform/HttpRequest.h"
#include "platform/NewFile.h"
#include "platform/Utf8.h"

namespace kivo {
namespace {

constexpr std::u16string_view kHttpPrefix = u"http://";
constexpr std::u16string_view kHttpsPrefix = u"https://";

// Forwards to a progress sink when there is one.
class ProgressOutput {
 public:
  explicit ProgressOutput(FetchProgress* sink) : sink_(sink) {}

  void Text(std::u16string_view text) const {
    if (sink_ != nullptr) {
      sink_->SetByteText(text);
    }
  }
  void Percent(int32_t percent) const {
    if (sink_ != nullptr) {
      sink_->SetPercent(percent);
    }
  }
  void Counts(uint64_t received, uint64_t total) const {
    if (sink_ == nullptr) {
      return;
    }
    Text(DecimalText(received) + u"/" + DecimalText(total));
  }

 private:
  FetchProgress* sink_;
};

// The free space is asked for again after every stretch of this many bytes, not for each piece.
constexpr uint64_t kFreeSpaceStride = 1u << 20;

// Throws away a download that did not arrive whole, so that its bytes can never be taken for a
// page.
int Discard(platform::UniqueFd& file, std::u16string_view outputPath, FetchReport* report,
            FetchFailure failure) {
  file.Reset();
  platform::RemoveFile(outputPath);
  if (report != nullptr) {
    report->Failure = failure;
  }
  return 0;
}

// Keeps one download within its limits: the largest body, and the free space that must remain
// on the file system that holds the output file.
class DownloadBounds {
 public:
  DownloadBounds(const FetchLimits* limits, std::u16string_view outputPath,
                 std::optional<uint64_t> total)
      : limits_(limits != nullptr ? *limits : FetchLimits()),
        outputPath_(outputPath),
        total_(total) {}

  // True when the announced length alone is over the size limit.
  bool AnnouncedTooLarge() const {
    return limits_.MaxBytes != 0 && total_ && *total_ > limits_.MaxBytes;
  }

  // Returns what writing `count` more bytes after `received` would break, if anything.
  FetchFailure Check(uint64_t received, uint64_t count) {
    if (limits_.MaxBytes != 0 && received + count > limits_.MaxBytes) {
      return FetchFailure::TooLarge;
    }
    if (limits_.MinFreeBytes == 0 || received < nextProbe_) {
      return FetchFailure::None;
    }
    nextProbe_ = received + kFreeSpaceStride;
    // Room for the next stretch must remain above the floor; a known length may need less.
    uint64_t coming = kFreeSpaceStride;
    if (total_ && *total_ > received) {
      coming = std::min(coming, *total_ - received);
    }
    coming = std::max(coming, count);
    const std::optional<uint64_t> free =
        limits_.FreeSpace ? limits_.FreeSpace(outputPath_) : platform::FreeBytes(outputPath_);
    if (free && *free < limits_.MinFreeBytes + coming) {
      return FetchFailure::OutOfSpace;
    }
    return FetchFailure::None;
  }

 private:
  const FetchLimits limits_;
  const std::u16string_view outputPath_;
  const std::optional<uint64_t> total_;
  uint64_t nextProbe_ = 0;
};

}  // namespace

SplitUrlResult SplitUrl(std::u16string_view url, WideString& host, WideString& path) {
  SplitUrlResult result;
  std::u16string_view rest = url;
  if (rest.substr(0, kHttpPrefix.size()) == kHttpPrefix) {
    rest.remove_prefix(kHttpPrefix.size());
    result.Scheme = UrlScheme::Http;
  } else if (rest.substr(0, kHttpsPrefix.size()) == kHttpsPrefix) {
    rest.remove_prefix(kHttpsPrefix.size());
    result.Scheme = UrlScheme::Https;
  }
  // The host ends where the path, the query or the fragment begins: "http://host?id=3" asks
  // for "/?id=3" on "host".
  const size_t hostEnd = std::min(rest.find_first_of(u"/?#"), rest.size());
  const std::u16string_view hostText = rest.substr(0, hostEnd);
  std::u16string pathText(rest.substr(hostEnd));
  if (!pathText.starts_with(u'/')) {
    pathText.insert(0, 1, u'/');
  }
  result.Truncated = hostText.size() > static_cast<size_t>(kMaxHostLength) ||
                     pathText.size() > static_cast<size_t>(kMaxPathLength);
  host.Assign(hostText.substr(0, kMaxHostLength));
  path.Assign(std::u16string_view(pathText).substr(0, kMaxPathLength));
  return result;
}

int FetchUrl(HttpSession& session, std::u16string_view url, std::u16string_view outputPath,
             int32_t* hasTime, SystemTime* lastTime, FetchProgress* progress,
             const FetchLimits* limits, FetchReport* report) {
  const ProgressOutput show(progress);
  show.Percent(0);
  show.Text(u"");
  if (report != nullptr) {
    *report = FetchReport();
  }
  // Stored URLs end at their first NUL; a view with one inside would be fetched cut down.
  if (url.find(u'\0') != std::u16string_view::npos) {
    return 0;
  }

  WideString host;
  WideString path;
  const SplitUrlResult split = SplitUrl(url, host, path);
  if (split.Truncated) {
    return 0;
  }
  const auto scheme =
      split.Scheme == UrlScheme::Https ? platform::HttpScheme::Https : platform::HttpScheme::Http;
  auto request = session.OpenRequest(scheme, host.View(), path.View());
  if (!request || !request->Send()) {
    return 0;
  }
  // Only a 200 carries the page. An error page, a 204 or a 304 that nobody asked for, or a
  // redirect without a Location is a failed fetch, not a changed page.
  if (request->StatusCode() != 200) {
    return 0;
  }

  // The caller's time is only changed once the body has arrived whole.
  const bool testTime = hasTime != nullptr && lastTime != nullptr;
  int32_t newHasTime = 0;
  SystemTime newTime;
  if (testTime) {
    newTime = *lastTime;
    if (const auto received = request->QueryLastModified()) {
      if (*hasTime != 0 && SameSecond(*received, *lastTime)) {
        return 0;
      }
      newHasTime = 1;
      newTime = *received;
    }
  }

  const auto contentLength = request->QueryContentLength();
  const uint64_t total = contentLength.value_or(0);
  DownloadBounds bounds(limits, outputPath, contentLength);
  if (bounds.AnnouncedTooLarge()) {
    if (report != nullptr) {
      report->Failure = FetchFailure::TooLarge;
    }
    return 0;
  }
  show.Text(contentLength ? u"0/" + DecimalText(total) : std::u16string(u"0"));

  // The previous download may live on as a stored copy under a second name, so it is removed
  // and a new file made in its place; should the removal fail, nothing may be written through
  // the old name.
  if (!platform::RemoveFile(outputPath)) {
    return 0;
  }
  platform::NewFile output = platform::CreateNewFile(outputPath);
  if (output.Outcome != platform::CreateOutcome::Created) {
    return 0;
  }
  platform::UniqueFd& file = output.File;
  uint8_t buffer[platform::HttpRequest::kMaxRead];
  uint64_t received = 0;
  for (;;) {
    const int32_t count = request->Read(buffer, static_cast<int32_t>(sizeof buffer));
    if (count == 0) {
      break;
    }
    const FetchFailure bound = bounds.Check(received, static_cast<uint64_t>(count));
    if (bound != FetchFailure::None) {
      return Discard(file, outputPath, report, bound);
    }
    if (!platform::WriteAll(file.Get(), buffer, count)) {
      const bool full = platform::LastErrorIsOutOfSpace();
      return Discard(file, outputPath, report,
                     full ? FetchFailure::OutOfSpace : FetchFailure::None);
    }
    received += static_cast<uint64_t>(count);
    if (total != 0) {
      show.Percent(ProgressPercent(received, total));
      show.Counts(received, total);
    } else {
      show.Text(DecimalText(received));
    }
  }
  if (!request->CompletedWhole()) {
    return Discard(file, outputPath, report, FetchFailure::None);
  }
  if (!file.Reset()) {
    // A close that fails may have lost the last bytes (e.g. on a full network file system).
    const bool full = platform::LastErrorIsOutOfSpace();
    return Discard(file, outputPath, report, full ? FetchFailure::OutOfSpace : FetchFailure::None);
  }
  if (testTime) {
    *hasTime = newHasTime;
    *lastTime = newTime;
  }
  if (report != nullptr && request->RedirectCount() > 0) {
    report->RedirectedUrl = platform::Utf16FromUtf8(request->FinalUrl());
  }
  return 1;
}

}  // namespace kivo
