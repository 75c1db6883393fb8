#include "support/WideString.h"

#include <gtest/gtest.h>

#include <utility>

#include "common/TempDir.h"

namespace kivo {
namespace {

// Text ends at an embedded NUL; the default is empty with a one-unit buffer.
TEST(WideStringTest, ConstructionAndCopyGetExactCapacity) {
  const WideString empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.Capacity(), 1);
  ASSERT_NE(empty.Text(), nullptr);
  EXPECT_EQ(empty.Text()[0], u'\0');
  const char16_t raw[] = {u'a', u'\0', u'b'};
  const WideString cut{std::u16string_view(raw, 3)};
  EXPECT_EQ(cut.Length(), 1);
  EXPECT_EQ(cut.Capacity(), 4);
  WideString s(u"abc");
  EXPECT_EQ(s.Capacity(), 4);
  s.Append(u"defgh").Clear().Append(u"x");  // capacity 9 now, text "x"
  ASSERT_EQ(s.Capacity(), 9);
  const WideString copy(s);
  EXPECT_EQ(copy.Capacity(), 2);
  EXPECT_TRUE(copy.Equals(u"x"));
}

TEST(WideStringTest, AssignReusesOrReallocatesExactly) {
  struct Case {
    const char16_t* initial;
    const char16_t* assigned;
    int32_t capacity;
  };
  const Case cases[] = {
      {u"longer text", u"abc", 12},  // fits: buffer reused
      {u"ab", u"abcdef", 7},         // does not fit: exactly length + 1
      {u"abc", u"", 4},
      {u"", u"abc", 4},
      {u"abc", u"xyz", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::Utf8(c.initial) + " := " + test::Utf8(c.assigned));
    WideString s(c.initial);
    s.Assign(std::u16string_view(c.assigned));
    EXPECT_EQ(s.Capacity(), c.capacity);
    EXPECT_TRUE(s.Equals(c.assigned));
  }
}

TEST(WideStringTest, AppendGrowsToExactSizeAndClearKeepsCapacity) {
  WideString s;
  s.Append(u"ab");
  EXPECT_EQ(s.Capacity(), 3);
  s.AppendChar(u'c');
  EXPECT_EQ(s.Capacity(), 4);
  s.Append(u"");
  EXPECT_EQ(s.Capacity(), 4);
  s.Clear();
  EXPECT_EQ(s.Capacity(), 4);
  EXPECT_TRUE(s.IsEmpty());
  s.Append(u"xyz");  // fits again without growing
  EXPECT_EQ(s.Capacity(), 4);
  EXPECT_TRUE(s.Equals(u"xyz"));
}

TEST(WideStringTest, SelfAliasingAssignAndAppend) {
  WideString s(u"abcdef");
  s.Assign(s.View().substr(2));
  EXPECT_TRUE(s.Equals(u"cdef"));
  s.Append(s.View());
  EXPECT_TRUE(s.Equals(u"cdefcdef"));
  s = s;  // NOLINT: self-assignment must be harmless
  EXPECT_TRUE(s.Equals(u"cdefcdef"));
}

TEST(WideStringTest, MoveLeavesSourceValidAndEmpty) {
  WideString a(u"hello");
  WideString b(std::move(a));
  EXPECT_TRUE(b.Equals(u"hello"));
  EXPECT_TRUE(a.IsEmpty());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(a.Capacity(), 1);
  a.Append(u"again");
  EXPECT_TRUE(a.Equals(u"again"));
  WideString c;
  c = std::move(b);
  EXPECT_TRUE(c.Equals(u"hello"));
}

TEST(WideStringTest, LeftRightFind) {
  const WideString s(u"a/b#c");
  EXPECT_TRUE(s.Left(2).Equals(u"a/"));
  EXPECT_TRUE(s.Left(99).Equals(u"a/b#c"));
  EXPECT_TRUE(s.Left(-1).Equals(u""));
  EXPECT_TRUE(s.Right(3).Equals(u"b#c"));
  EXPECT_TRUE(s.Right(99).Equals(u"a/b#c"));
  EXPECT_TRUE(s.Right(0).Equals(u""));
  EXPECT_EQ(s.Find(u'#'), 3);
  EXPECT_EQ(s.FindLast(u'/'), 1);
  EXPECT_EQ(s.Find(u'z'), -1);
  EXPECT_EQ(s.FindLast(u'z'), -1);
  EXPECT_EQ(s.Left(3).Capacity(), 4);
}

TEST(WideStringTest, ComparisonsFoldAsciiOnly) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    bool equals;
    int compare;
    int compareNoCase;
  };
  const Case cases[] = {
      {u"abc", u"abc", true, 0, 0},
      {u"abc", u"ABC", false, 1, 0},
      {u"src", u"SRC", false, 1, 0},
      {u"ab", u"abc", false, -1, -1},
      {u"abd", u"ABC", false, 1, 1},
      {u"\u00e9", u"\u00c9", false, 1, 1},  // not an ASCII letter: not folded
      {u"\uff41", u"a", false, 1, 1},
      {u"", u"", true, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::Utf8(c.a) + " " + test::Utf8(c.b));
    const WideString s(c.a);
    EXPECT_EQ(s.Equals(c.b), c.equals);
    EXPECT_EQ(s.Compare(c.b), c.compare);
    EXPECT_EQ(s.CompareNoCase(c.b), c.compareNoCase);
  }
  WideString upper(u"index.asp?\u00e4\uff41z");
  upper.MakeUpper();  // ASCII letters only
  EXPECT_TRUE(upper.Equals(u"INDEX.ASP?\u00e4\uff41Z"));
}

}  // namespace
}  // namespace kivo
