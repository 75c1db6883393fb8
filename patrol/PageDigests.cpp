#include "patrol/PageDigests.h"

#include <string>
#include <string_view>

#include "html/PageText.h"
#include "platform/BufferedFile.h"
#include "platform/HostFile.h"
#include "platform/Utf8.h"

namespace kivo {
namespace {

// Reads a temporary file whole; nothing when it cannot be read to its end.
std::optional<std::string> ReadWhole(std::u16string_view path) {
  const platform::UniqueFd file =
      platform::OpenWithModeWord(path, static_cast<uint32_t>(OpenMode::ReadExisting));
  const std::optional<uint64_t> size =
      file.IsValid() ? platform::FileSize(file.Get()) : std::nullopt;
  if (!size || *size >= kMaxTextDigestBytes) {
    return std::nullopt;
  }
  std::string bytes(static_cast<size_t>(*size), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const int64_t got = platform::ReadSome(file.Get(), bytes.data() + done,
                                           static_cast<int64_t>(bytes.size() - done));
    if (got <= 0) {
      return std::nullopt;
    }
    done += static_cast<size_t>(got);
  }
  return bytes;
}

std::optional<platform::Sha256Digest> TextDigest(std::string_view page,
                                                 const platform::CodePage& codePage) {
  const std::u16string text = ExtractPageText(page, codePage);
  if (text.empty()) {
    return std::nullopt;
  }
  return platform::ContentDigest::Of(platform::Utf8FromUtf16(text));
}

bool Equal(const std::optional<platform::Sha256Digest>& a,
           const std::optional<platform::Sha256Digest>& b) {
  return a && b && *a == *b;
}

}  // namespace

PageDigests DigestPage(DownloadBody& body, const platform::CodePage& codePage) {
  PageDigests digests;
  digests.Body = body.Digest();
  if (body.IsBinary()) {
    return digests;
  }
  if (!body.InFile()) {
    digests.Text = TextDigest(body.Bytes(), codePage);
  } else if (const std::optional<std::string> bytes = ReadWhole(body.FilePath())) {
    digests.Text = TextDigest(*bytes, codePage);
  }
  return digests;
}

bool SameContent(ChangeTest test, const PageDigests& now, const HistoryCheck& copy) {
  switch (test) {
    case ChangeTest::LastModified:
      return false;
    case ChangeTest::SameBytes:
      return Equal(now.Body, copy.BodyDigest);
    case ChangeTest::SameText:
      // Equal bytes give equal text, so they settle it where the text cannot.
      return Equal(now.Text, copy.TextDigest) || Equal(now.Body, copy.BodyDigest);
  }
  return false;
}

}  // namespace kivo
