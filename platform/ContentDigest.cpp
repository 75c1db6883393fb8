#include "platform/ContentDigest.h"

#include <fcntl.h>
#include <openssl/evp.h>

#include <vector>

#include "platform/HostFile.h"
#include "platform/UniqueFd.h"

namespace kivo::platform {
namespace {

// Large enough that a file is read in few calls, small enough for the stack of any caller.
constexpr int64_t kReadPiece = 64 * 1024;

}  // namespace

void ContentDigest::Free::operator()(evp_md_ctx_st* context) const {
  ::EVP_MD_CTX_free(context);
}

ContentDigest::ContentDigest() : context_(::EVP_MD_CTX_new()) {
  if (context_ && ::EVP_DigestInit_ex(context_.get(), ::EVP_sha256(), nullptr) != 1) {
    context_.reset();
  }
}

void ContentDigest::Update(std::string_view bytes) {
  if (context_ && ::EVP_DigestUpdate(context_.get(), bytes.data(), bytes.size()) != 1) {
    context_.reset();
  }
}

std::optional<Sha256Digest> ContentDigest::Final() {
  if (!context_) {
    return std::nullopt;
  }
  Sha256Digest digest{};
  unsigned int size = 0;
  const bool done = ::EVP_DigestFinal_ex(context_.get(), digest.data(), &size) == 1;
  context_.reset();
  if (!done || size != digest.size()) {
    return std::nullopt;
  }
  return digest;
}

std::optional<Sha256Digest> ContentDigest::Of(std::string_view bytes) {
  ContentDigest digest;
  digest.Update(bytes);
  return digest.Final();
}

std::optional<Sha256Digest> ContentDigest::OfFile(std::u16string_view path) {
  const UniqueFd file(::open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.IsValid()) {
    return std::nullopt;
  }
  ContentDigest digest;
  std::vector<char> piece(kReadPiece);
  for (;;) {
    const int64_t got = ReadSome(file.Get(), piece.data(), kReadPiece);
    if (got < 0) {
      return std::nullopt;
    }
    if (got == 0) {
      return digest.Final();
    }
    digest.Update(std::string_view(piece.data(), static_cast<size_t>(got)));
  }
}

std::string DigestHex(const Sha256Digest& digest) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(digest.size() * 2);
  for (const uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xf];
  }
  return text;
}

}  // namespace kivo::platform
