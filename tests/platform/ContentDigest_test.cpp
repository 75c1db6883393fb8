#include "platform/ContentDigest.h"

#include <gtest/gtest.h>

#include "common/TempDir.h"

namespace kivo::platform {
namespace {

struct DigestCase {
  std::string Bytes;
  const char* Hex;
};

// Published SHA-256 test vectors; each is also fed in pieces and read from a
// file larger than one read.
TEST(ContentDigest, MatchesTheKnownVectorsHoweverTheBytesArrive) {
  test::TempDir dir;
  for (const DigestCase& c :
       {DigestCase{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        DigestCase{"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        DigestCase{std::string(1000000, 'a'),
                   "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}}) {
    EXPECT_EQ(DigestHex(*ContentDigest::Of(c.Bytes)), c.Hex);
    ContentDigest pieces;
    for (size_t at = 0; at < c.Bytes.size(); at += 7) {
      pieces.Update(std::string_view(c.Bytes).substr(at, 7));
    }
    EXPECT_EQ(DigestHex(*pieces.Final()), c.Hex);
    EXPECT_FALSE(pieces.Final());  // spent
    ASSERT_TRUE(test::WriteBytes(dir.File("body"), c.Bytes));
    EXPECT_EQ(DigestHex(*ContentDigest::OfFile(dir.Wide("body"))), c.Hex);
  }
  EXPECT_FALSE(ContentDigest::OfFile(dir.Wide("missing")));
  EXPECT_FALSE(ContentDigest::OfFile(test::U16(dir.Path())));  // a folder cannot be read
}

}  // namespace
}  // namespace kivo::platform
