#include "patrol/FetchUrl.h"

#include <algorithm>
#include <string>

#include "platform/BufferedFile.h"
#include "platform/HttpRequest.h"
#include "platform/NewFile.h"

namespace kivo {
namespace {

constexpr std::u16string_view kHttpPrefix = u"http://";
constexpr std::u16string_view kHttpsPrefix = u"https://";

std::u16string Decimal(uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// Percentages in 64 bits, capped at 100: a Content-Length smaller than the data gives more.
int32_t Percent(uint64_t received, uint64_t total) {
  if (received >= total) {
    return 100;
  }
  if (received > UINT64_MAX / 100) {
    return static_cast<int32_t>(received / (total / 100));
  }
  return static_cast<int32_t>(received * 100 / total);
}

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
    Text(Decimal(received) + u"/" + Decimal(total));
  }

 private:
  FetchProgress* sink_;
};

// Throws away a download that did not arrive whole, so that the previous contents of the reused
// temporary file can never be taken for it.
int Discard(BufferedFile& file, std::u16string_view outputPath) {
  file.Close();
  platform::RemoveFile(outputPath);
  return 0;
}

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
  const size_t slash = rest.find(u'/');
  const std::u16string_view hostText = rest.substr(0, slash);
  const std::u16string_view pathText =
      slash == std::u16string_view::npos ? std::u16string_view(u"/") : rest.substr(slash);
  result.Truncated = hostText.size() > static_cast<size_t>(kMaxHostLength) ||
                     pathText.size() > static_cast<size_t>(kMaxPathLength);
  host.Assign(hostText.substr(0, kMaxHostLength));
  path.Assign(pathText.substr(0, kMaxPathLength));
  return result;
}

int FetchUrl(HttpSession& session, std::u16string_view url, std::u16string_view outputPath,
             int32_t* hasTime, SystemTime* lastTime, FetchProgress* progress) {
  const ProgressOutput show(progress);
  show.Percent(0);
  show.Text(u"");
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
  // An error page is a failure, not a changed page.
  if (request->StatusCode() >= 400) {
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
  show.Text(contentLength ? u"0/" + Decimal(total) : std::u16string(u"0"));

  // The output is replaced, never truncated in place: the previous download
  // may live on under a second name as a stored copy.
  platform::RemoveFile(outputPath);
  BufferedFile file;
  if (!file.Open(outputPath, OpenMode::CreateForWrite)) {
    return 0;
  }
  uint8_t buffer[platform::HttpRequest::kMaxRead];
  uint64_t received = 0;
  for (;;) {
    const int32_t count = request->Read(buffer, static_cast<int32_t>(sizeof buffer));
    if (count == 0) {
      break;
    }
    if (!file.Write(buffer, count)) {
      return Discard(file, outputPath);
    }
    received += static_cast<uint64_t>(count);
    if (total != 0) {
      show.Percent(Percent(received, total));
      show.Counts(received, total);
    } else {
      show.Text(Decimal(received));
    }
  }
  if (!request->CompletedWhole()) {
    return Discard(file, outputPath);
  }
  file.Close();
  if (testTime) {
    *hasTime = newHasTime;
    *lastTime = newTime;
  }
  return 1;
}

}  // namespace kivo
