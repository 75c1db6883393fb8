#include "urllist/UrlListFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/ProgramHome.h"
#include "platform/FileExists.h"
#include "platform/ProgramFolder.h"

namespace kivo {
namespace {

// Builds list-file bytes field by field, little-endian.
class Bytes {
 public:
  Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(static_cast<uint16_t>(v >> 16)); }
  Bytes& U16(uint16_t v) {
    text_ += {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    return *this;
  }
  // A counted string as the writer stores it: N = length + 1, then the NUL.
  Bytes& Str(const std::u16string& s) {
    U32(static_cast<uint32_t>(s.size() + 1));
    for (char16_t c : s) {
      U16(c);
    }
    return U16(0);
  }
  Bytes& Time(std::initializer_list<uint16_t> words) {
    for (uint16_t w : words) {
      U16(w);
    }
    return *this;
  }
  Bytes& Raw(const std::string& raw) {
    text_ += raw;
    return *this;
  }
  const std::string& Get() const { return text_; }
  size_t Size() const { return text_.size(); }

 private:
  std::string text_;
};

// The fields every version stores: Status up to LastTime.
Bytes& CommonFields(Bytes& b, uint32_t status, const std::u16string& name) {
  return b.U32(status)
      .Str(name)
      .Str(u"http://example.com/" + name)
      .U32(2)
      .Str(u"/tmp/" + name + u".htm")
      .U32(1)
      .Time({2024, 5, 3, 15, 10, 20, 30, 456});
}

class UrlListFileTest : public ::testing::Test {
 protected:
  UrlListFileTest() { platform::ProgramFolder(); }

  std::u16string Folder() { return test::U16(home_.Program() + "/"); }
  std::string DatPath() { return home_.Program() + "/Kivo.dat"; }

  // Writes `bytes` as the list file and loads it.
  bool LoadBytes(const std::string& bytes, UrlList& list) {
    EXPECT_TRUE(test::WriteBytes(DatPath(), bytes));
    UrlListFile file(test::U16(DatPath()));
    return file.Load(list);
  }

  test::ProgramHome home_;
};

TEST_F(UrlListFileTest, VersionGatesDecideWhichFieldsAreRead) {
  struct Case {
    int32_t version;
    int32_t getImages;
    int32_t onlyListed;
    int32_t servers;
    int32_t useOwnFolder;
    bool ownFolderIsDefault;
  };
  const Case cases[] = {
      {-1, 1, 1, 0, 0, true}, {0, 1, 1, 0, 0, true},  {1, 0, 1, 0, 0, true},
      {2, 0, 0, 1, 0, true},  {3, 0, 0, 1, 1, false}, {7, 0, 0, 1, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    Bytes b;
    b.U32(static_cast<uint32_t>(c.version));
    for (const char16_t* name : {u"a", u"b"}) {
      CommonFields(b, 1, name);
      if (c.version >= 1) {
        b.U32(0);
      }
      if (c.version >= 2) {
        b.U32(0).U32(1).Str(u"http://s/");
      }
      if (c.version >= 3) {
        b.U32(1).Str(u"/own/");
      }
    }
    UrlList list;
    ASSERT_TRUE(LoadBytes(b.Get(), list));
    ASSERT_EQ(list.Count(), 2);
    const UrlEntry& e = *list[1];
    EXPECT_EQ(e.Status, 1);
    EXPECT_EQ(e.Name.View(), u"b");
    EXPECT_EQ(e.Url.View(), u"http://example.com/b");
    EXPECT_EQ(e.LinkLevel, 2);
    EXPECT_EQ(e.LocalFile.View(), u"/tmp/b.htm");
    EXPECT_EQ(e.HasLastTime, 1);
    EXPECT_EQ(e.LastTime, (SystemTime{2024, 5, 3, 15, 10, 20, 30, 456}));
    EXPECT_EQ(e.GetImages, c.getImages);
    EXPECT_EQ(e.OnlyListedServers, c.onlyListed);
    EXPECT_EQ(e.Servers.Count(), c.servers);
    EXPECT_EQ(e.UseOwnFolder, c.useOwnFolder);
    EXPECT_EQ(e.OwnFolder.View(), c.ownFolderIsDefault ? Folder() : u"/own/");
    EXPECT_EQ(e.ListIndex, -1);
  }
}

// The fields a version 0 record lacks, and a new entry, get the editor's defaults.
TEST_F(UrlListFileTest, VersionZeroFileIsSavedAsVersionThreeWithTheDefaults) {
  Bytes b;
  CommonFields(b.U32(0), 2, u"old");
  UrlList list;
  ASSERT_TRUE(LoadBytes(b.Get(), list));
  list.Add(std::make_unique<UrlEntry>(Folder()));
  UrlListFile file(test::U16(DatPath()));
  ASSERT_TRUE(file.Save(list));

  Bytes expected;
  CommonFields(expected.U32(3), 2, u"old").U32(1).U32(1).U32(0).U32(0).Str(Folder());
  // Empty strings are a count of 1 and two zero bytes.
  expected.U32(0).Str(u"").Str(u"").U32(0).Str(u"").U32(0).Time({0, 0, 0, 0, 0, 0, 0, 0});
  expected.U32(1).U32(1).U32(0).U32(0).Str(Folder());
  EXPECT_EQ(UrlListFile::Encode(list), expected.Get());
  EXPECT_EQ(test::ReadBytes(DatPath()), expected.Get());
}

TEST_F(UrlListFileTest, VersionThreeFileSavesBackByteForByte) {
  Bytes b;
  b.U32(3);
  CommonFields(b, 1, u"ﾆｭｰｽ").U32(0).U32(1).U32(2);
  b.Str(u"http://a.example/").Str(u"http://b.example/x").U32(1).Str(u"/data/own/");
  b.U32(2).Str(u"").Str(u"").U32(99).Str(u"").U32(0).Time({1999, 12, 5, 31, 23, 59, 58, 999});
  b.U32(1).U32(0).U32(0).U32(0).Str(Folder());
  UrlList list;
  ASSERT_TRUE(LoadBytes(b.Get(), list));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0]->Servers[1]->View(), u"http://b.example/x");
  EXPECT_EQ(list[1]->LastTime.DayOfWeek, 5);
  EXPECT_EQ(list[1]->LastTime.Milliseconds, 999);

  UrlListFile file(test::U16(DatPath()));
  ASSERT_TRUE(file.Save(list));
  EXPECT_EQ(test::ReadBytes(DatPath()), b.Get());
  EXPECT_FALSE(FileExists(file.BackupPath()));
}

TEST_F(UrlListFileTest, TinyFilesGiveAnEmptyList) {
  const struct {
    std::string bytes;
    bool whole;
  } cases[] = {
      {"", true},
      {std::string("\x03", 1), false},
      {std::string("\x03\0", 2), false},
      {std::string("\x03\0\0", 3), false},
      {std::string("\x03\0\0\0", 4), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    UrlList list;
    EXPECT_EQ(LoadBytes(c.bytes, list), c.whole);
    EXPECT_EQ(list.Count(), 0);
  }
}

// Record 1 is whole; record 2 is damaged in the way the case says.
TEST_F(UrlListFileTest, BadRecordEndsLoadingAndKeepsTheRecordsBefore) {
  Bytes good;
  CommonFields(good.U32(3), 0, u"first").U32(1).U32(1).U32(0).U32(0).Str(u"/f/");
  Bytes whole = good;
  CommonFields(whole, 0, u"second").U32(1).U32(1).U32(1).Str(u"http://s/").U32(0).Str(u"/f/");

  const auto withRecord2 = [&](const std::function<void(Bytes&)>& tail) {
    Bytes b = good;
    tail(b);
    return b.Get();
  };
  const std::u16string prefix1024(1023, u'p');
  const std::u16string prefix1025(1024, u'p');
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"cut inside record 2", whole.Get().substr(0, good.Size() + 30)},
      {"cut after one status byte", whole.Get().substr(0, good.Size() + 1)},
      {"count 0xFFFFFFFF", withRecord2([](Bytes& b) { b.U32(0).U32(0xFFFFFFFF).Raw("xx"); })},
      {"count of 0", withRecord2([](Bytes& b) { b.U32(0).U32(0).U32(1).U16(0); })},
      {"server count 0x7FFFFFFF", withRecord2([](Bytes& b) {
         CommonFields(b, 0, u"x").U32(1).U32(1).U32(0x7FFFFFFF).Str(u"http://s/");
       })},
      {"prefix of 1025 units", withRecord2([&](Bytes& b) {
         CommonFields(b, 0, u"x").U32(1).U32(1).U32(1).Str(prefix1025).U32(0).Str(u"/f/");
       })},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    UrlList list;
    EXPECT_FALSE(LoadBytes(c.bytes, list));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0]->Name.View(), u"first");
  }

  // The longest prefix loads; a longer one is cut when saved, so that the file stays readable.
  Bytes longest = good;
  CommonFields(longest, 0, u"x").U32(1).U32(1).U32(1).Str(prefix1024).U32(0).Str(u"/f/");
  UrlList list;
  EXPECT_TRUE(LoadBytes(longest.Get(), list));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1]->Servers[0]->Length(), 1023);
  list[0]->Servers.Add(std::make_unique<WideString>(std::u16string(2000, u's')));
  UrlListFile file(test::U16(DatPath()));
  ASSERT_TRUE(file.Save(list));
  UrlList loaded;
  EXPECT_TRUE(file.Load(loaded));
  ASSERT_EQ(loaded.Count(), 2);
  EXPECT_EQ(loaded[0]->Servers[0]->Length(), 1023);
}

TEST_F(UrlListFileTest, StoredTextEndsAtItsFirstNulOrItsCount) {
  Bytes b;
  b.U32(0).U32(0);
  b.U32(3).U16(u'a').U16(0).U16(u'z');  // text after the NUL is ignored
  b.U32(2).U16(u'u').U16(u'v');         // no NUL at all
  b.U32(0).U32(1).U16(0).U32(0).Time({0, 0, 0, 0, 0, 0, 0, 0});
  UrlList list;
  ASSERT_TRUE(LoadBytes(b.Get(), list));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0]->Name.View(), u"a");
  EXPECT_EQ(list[0]->Url.View(), u"uv");
}

// A missing file is an empty list that needs no backup; a damaged one is kept.
TEST_F(UrlListFileTest, DamagedFileIsKeptAsBackupBeforeTheFirstSave) {
  const std::string empty("\x03\0\0\0", 4);
  UrlList list;
  UrlListFile missing(test::U16(DatPath()));
  EXPECT_TRUE(missing.Load(list));
  ASSERT_TRUE(missing.Save(list));
  EXPECT_FALSE(FileExists(missing.BackupPath()));
  EXPECT_EQ(test::ReadBytes(DatPath()), empty);

  const std::string damaged = empty + std::string("\x01\0", 2);
  UrlListFile file(test::U16(DatPath()));
  ASSERT_TRUE(test::WriteBytes(DatPath(), damaged));
  EXPECT_FALSE(file.Load(list));
  ASSERT_TRUE(file.Save(list));
  EXPECT_EQ(test::ReadBytes(DatPath() + ".bak"), damaged);
  EXPECT_EQ(test::ReadBytes(DatPath()), empty);

  // The next save replaces only the list file.
  list.Add(std::make_unique<UrlEntry>());
  ASSERT_TRUE(file.Save(list));
  EXPECT_EQ(test::ReadBytes(DatPath() + ".bak"), damaged);
}

TEST_F(UrlListFileTest, FailedSaveLeavesTheOldFileIntact) {
  const std::string old = std::string("\x03\0\0\0", 4);
  ASSERT_TRUE(test::WriteBytes(DatPath(), old));
  UrlList list;
  list.Add(std::make_unique<UrlEntry>());
  UrlListFile file(test::U16(DatPath()));

  // A file-size limit makes the write itself fail, whatever the user may do in the folder.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = saved;
  tiny.rlim_cur = 8;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
  const bool saved8 = file.Save(list);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved8);
  EXPECT_EQ(test::ReadBytes(DatPath()), old);
  EXPECT_EQ(::access(home_.Program().c_str(), F_OK), 0);
}

}  // namespace
}  // namespace kivo
