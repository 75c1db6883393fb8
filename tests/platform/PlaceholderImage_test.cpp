#include "platform/PlaceholderImage.h"

#include <gtest/gtest.h>

#include <string>

#include "common/ProgramHome.h"

namespace kivo::platform {
namespace {

TEST(PlaceholderImageTest, IsTheResourcesTransparentGifInstalledOnlyWhenMissing) {
  const std::span<const unsigned char> bytes = PlaceholderImageBytes();
  const std::string image(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  EXPECT_EQ(image, test::ReadBytes(std::string(KIVO_TESTDATA) + "/../../resources/null.gif"));
  ASSERT_GE(image.size(), 26u);
  EXPECT_EQ(image.substr(0, 10), std::string("GIF89a\x01\0\x01\0", 10));
  // The graphic control extension marks colour 0 transparent.
  const size_t control = image.find("\x21\xF9\x04");
  ASSERT_NE(control, std::string::npos);
  EXPECT_EQ(image[control + 3] & 1, 1);
  EXPECT_EQ(image.back(), ';');

  // It is installed only when missing.
  test::ProgramHome home;
  const std::string installed = home.Program() + "/null.gif";
  EXPECT_EQ(PlaceholderImagePath(), test::U16(installed));
  ASSERT_TRUE(InstallPlaceholderImage());
  EXPECT_EQ(test::ReadBytes(installed), image);
  ASSERT_TRUE(test::WriteBytes(installed, "mine"));
  EXPECT_TRUE(InstallPlaceholderImage());
  EXPECT_EQ(test::ReadBytes(installed), "mine");
}

}  // namespace
}  // namespace kivo::platform
