#include "platform/BufferedFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/TempDir.h"
#include "platform/FileExists.h"

namespace kivo {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) {
    s[i] = static_cast<char>(i * 7 + 3);
  }
  return s;
}

TEST(BufferedFileTest, ReadRefillsTheBufferIn1024BytePieces) {
  TempDir dir;
  const std::string content = Pattern(2500);
  ASSERT_TRUE(WriteBytes(dir.File("f"), content));
  BufferedFile file;
  ASSERT_TRUE(file.Open(dir.Wide("f"), OpenMode::ReadExisting));
  EXPECT_EQ(file.Size(), 2500u);
  std::vector<char> buffer(4096);
  EXPECT_EQ(file.Read(buffer.data(), 4096), 2500);
  EXPECT_EQ(std::string(buffer.data(), 2500), content);
  EXPECT_EQ(file.Read(buffer.data(), 4096), 0);
}

TEST(BufferedFileTest, ShortReadsAcrossBufferBoundaries) {
  TempDir dir;
  const std::string content = Pattern(1030);
  ASSERT_TRUE(WriteBytes(dir.File("f"), content));
  BufferedFile file;
  ASSERT_TRUE(file.Open(dir.Wide("f"), OpenMode::ReadExisting));
  // Each row reads `ask` bytes and expects `got`, with the buffer state after.
  struct Step {
    int64_t ask;
    int64_t got;
    int32_t readPos;
    int32_t fill;
  };
  const Step steps[] = {
      {1000, 1000, 1000, 1024}, {20, 20, 1020, 1024}, {8, 8, 4, 6}, {4, 2, -1, 0}, {4, 0, -1, 0},
  };
  std::string read;
  for (const Step& s : steps) {
    std::vector<char> buffer(static_cast<size_t>(s.ask));
    EXPECT_EQ(file.Read(buffer.data(), s.ask), s.got);
    read.append(buffer.data(), static_cast<size_t>(s.got));
    EXPECT_EQ(file.ReadPos(), s.readPos);
    EXPECT_EQ(file.BufferFill(), s.fill);
  }
  EXPECT_EQ(read, content);
}

// Non-ASCII paths become UTF-8.
TEST(BufferedFileTest, OpenModes) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("existing"), "old content"));
  ASSERT_TRUE(WriteBytes(dir.File("\xe6\x97\xa5\xe6\x9c\xac.html"), "x"));
  ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0755), 0);
  struct Case {
    const char* name;
    OpenMode mode;
    bool opens;
  };
  const Case cases[] = {
      {"missing", OpenMode::ReadExisting, false},
      {"existing", OpenMode::ReadExisting, true},
      {"folder", OpenMode::ReadExisting, false},
      {"folder", OpenMode::CreateForWrite, false},
      {"new", OpenMode::CreateForWrite, true},
      {"nofolder/new", OpenMode::CreateForWrite, false},
      {"日本.html", OpenMode::ReadExisting, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BufferedFile file;
    EXPECT_EQ(file.Open(dir.Wide(c.name), c.mode), c.opens);
    EXPECT_TRUE(file.Close());
  }
  EXPECT_FALSE(FileExists(dir.Wide("missing")));
}

// A write goes straight to the file, and discards what a read had buffered.
TEST(BufferedFileTest, CreateForWriteTruncatesAndWritesThrough) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File("f"), "a much longer old content"));
  BufferedFile file;
  ASSERT_TRUE(file.Open(dir.Wide("f"), OpenMode::CreateForWrite));
  EXPECT_EQ(ReadBytes(dir.File("f")), "");
  EXPECT_TRUE(file.Write("new", 3));
  EXPECT_EQ(ReadBytes(dir.File("f")), "new");                      // unbuffered
  EXPECT_FALSE(file.Open(dir.Wide("f"), OpenMode::ReadExisting));  // already open
  file.Close();
  EXPECT_FALSE(file.Write("x", 1));
  EXPECT_EQ(file.Read(nullptr, 0), 0);
  ASSERT_TRUE(file.Open(dir.Wide("f"), OpenMode::ReadExisting));
  char c = 0;
  EXPECT_EQ(file.Read(&c, 1), 1);
  EXPECT_EQ(file.ReadPos(), 1);
  EXPECT_FALSE(file.Write("x", 1));  // read-only handle
  EXPECT_EQ(file.ReadPos(), -1);
  EXPECT_EQ(file.BufferFill(), 0);
}

}  // namespace
}  // namespace kivo
