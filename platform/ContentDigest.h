#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace kivo::platform {

// A SHA-256 digest: 32 bytes.
using Sha256Digest = std::array<uint8_t, 32>;

// The SHA-256 digest of downloaded bytes, computed piece by piece so that a
// body held in a file never has to be in memory at once.
class ContentDigest {
 public:
  ContentDigest();
  ContentDigest(const ContentDigest&) = delete;
  ContentDigest& operator=(const ContentDigest&) = delete;
  ContentDigest(ContentDigest&&) noexcept = default;
  ContentDigest& operator=(ContentDigest&&) noexcept = default;
  ~ContentDigest() = default;

  // Adds the next piece of the bytes; ignored once Final has been called.
  void Update(std::string_view bytes);
  // Returns the digest of every piece added, or nothing when the digest could
  // not be computed; the object is spent afterwards.
  std::optional<Sha256Digest> Final();

  // Returns the digest of `bytes`.
  static std::optional<Sha256Digest> Of(std::string_view bytes);
  // Returns the digest of the file at `path`, read piece by piece, or nothing
  // when it cannot be read to its end.
  static std::optional<Sha256Digest> OfFile(std::u16string_view path);

 private:
  struct Free {
    void operator()(evp_md_ctx_st* context) const;
  };
  std::unique_ptr<evp_md_ctx_st, Free> context_;
};

// Returns the digest as 64 lower-case hexadecimal digits.
std::string DigestHex(const Sha256Digest& digest);

}  // namespace kivo::platform
