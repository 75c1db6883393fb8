#include "platform/HttpResponseHead.h"

#include <curl/curl.h>

#include <algorithm>

#include "platform/CurlHandles.h"
#include "platform/HttpDate.h"
#include "platform/HttpText.h"
#include "platform/HttpValidators.h"
#include "support/AsciiCase.h"

namespace kivo::platform {
namespace {

// Longest decimal number that fits in 64 bits without overflow checks.
constexpr size_t kMaxLengthDigits = 18;

constexpr bool IsDigit(char ch) {
  return ch >= '0' && ch <= '9';
}

// Reads a plain decimal number of at most kMaxLengthDigits digits; nothing for other text.
std::optional<uint64_t> ParseDecimal(std::string_view rawText) {
  const std::string_view text = TrimHeaderSpace(rawText);
  if (text.empty() || text.size() > kMaxLengthDigits) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (char ch : text) {
    if (!IsDigit(ch)) {
      return std::nullopt;
    }
    value = value * 10 + static_cast<uint64_t>(ch - '0');
  }
  return value;
}

// Reads the status code from "HTTP/1.1 200 OK".
int32_t ParseStatus(std::string_view line) {
  const size_t space = line.find(' ');
  if (space == std::string_view::npos || line.size() < space + 4) {
    return 0;
  }
  int32_t status = 0;
  for (size_t i = space + 1; i < space + 4; ++i) {
    if (line[i] < '0' || line[i] > '9') {
      return 0;
    }
    status = status * 10 + (line[i] - '0');
  }
  return status;
}

// Escapes what cannot stand in a URL, so that a Location with spaces or raw bytes still parses;
// controls are left for the URL parser to refuse.
std::string EscapeLocation(std::string_view location) {
  std::string out;
  for (char ch : location) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte == ' ' || byte >= 0x80) {
      AppendPercentEscape(out, byte);
    } else {
      out += ch;
    }
  }
  return out;
}

std::optional<std::string> UrlPart(CURLU* url, CURLUPart part) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, 0) != CURLUE_OK || text == nullptr) {
    return std::nullopt;
  }
  CurlText owned(text);
  return std::string(owned.get());
}

}  // namespace

void HttpResponseHead::AddLine(std::string_view rawLine) {
  const std::string_view line = TrimHeaderSpace(rawLine);
  if (line.substr(0, 5) == "HTTP/") {
    *this = HttpResponseHead();
    Status = ParseStatus(line);
    return;
  }
  if (line.empty()) {
    // An informational response (1xx) is followed by another status line.
    if (Status >= 200) {
      Complete = true;
    }
    return;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) {
    return;
  }
  const std::string_view name = line.substr(0, colon);
  const std::string value(TrimHeaderSpace(line.substr(colon + 1)));
  if (EqualsNoCase(name, "Last-Modified") && !LastModified) {
    LastModified = value;
  } else if (EqualsNoCase(name, "Content-Length") && !ContentLength) {
    ContentLength = value;
  } else if (EqualsNoCase(name, "Location") && !Location) {
    Location = value;
  } else if (EqualsNoCase(name, "ETag") && !ETag) {
    ETag = value;
  } else if (EqualsNoCase(name, "Retry-After") && !RetryAfter) {
    RetryAfter = value;
  } else if (EqualsNoCase(name, "Content-Type") && !ContentType) {
    ContentType = value;
  }
}

bool HttpResponseHead::IsRedirect() const {
  const bool redirectStatus =
      Status == 301 || Status == 302 || Status == 303 || Status == 307 || Status == 308;
  return redirectStatus && Location && !Location->empty();
}

std::optional<SystemTime> HttpResponseHead::LastModifiedTime() const {
  if (!LastModified) {
    return std::nullopt;
  }
  return ParseHttpDate(*LastModified);
}

std::optional<uint64_t> HttpResponseHead::ContentLengthValue() const {
  if (!ContentLength) {
    return std::nullopt;
  }
  return ParseDecimal(*ContentLength);
}

std::optional<std::string> HttpResponseHead::ETagValue() const {
  if (!ETag || !IsAcceptableEtag(*ETag)) {
    return std::nullopt;
  }
  return ETag;
}

std::optional<std::chrono::seconds> HttpResponseHead::RetryAfterDelay(
    std::chrono::system_clock::time_point now) const {
  if (!RetryAfter) {
    return std::nullopt;
  }
  const std::string_view text = TrimHeaderSpace(*RetryAfter);
  if (!text.empty() && std::all_of(text.begin(), text.end(), IsDigit)) {
    // More digits than a number can hold still ask for longer than the bound.
    const auto seconds = ParseDecimal(text);
    return seconds ? std::min(std::chrono::seconds(*seconds), kMaxRetryAfter) : kMaxRetryAfter;
  }
  const auto instant = ParseHttpDateInstant(text);
  if (!instant) {
    return std::nullopt;
  }
  // Counted in whole seconds: a far-off date would overflow a finer count.
  const std::chrono::seconds wait = *instant - std::chrono::floor<std::chrono::seconds>(now);
  return std::clamp(wait, std::chrono::seconds(0), kMaxRetryAfter);
}

std::optional<HttpRedirectTarget> ResolveRedirect(const std::string& currentUrl,
                                                  std::string_view location) {
  CurlUrl url(curl_url());
  const std::string escaped = EscapeLocation(location);
  if (!url || curl_url_set(url.get(), CURLUPART_URL, currentUrl.c_str(), 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_URL, escaped.c_str(), 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0) != CURLUE_OK) {
    return std::nullopt;
  }
  const auto schemeText = UrlPart(url.get(), CURLUPART_SCHEME);
  auto next = UrlPart(url.get(), CURLUPART_URL);
  if (!schemeText || !next || (*schemeText != "http" && *schemeText != "https")) {
    return std::nullopt;
  }
  return HttpRedirectTarget{std::move(*next),
                            *schemeText == "https" ? HttpScheme::Https : HttpScheme::Http};
}

}  // namespace kivo::platform
