#include "changes/ChangeNotice.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/ProgramHome.h"
#include "common/StoredSettings.h"

namespace kivo::test {
namespace {

TEST(ChangeNotice, NamesFiveTitlesAndCountsTheRest) {
  std::vector<std::unique_ptr<UrlEntry>> entries;
  const auto entry = [&](std::u16string name, std::u16string url) {
    entries.push_back(std::make_unique<UrlEntry>());
    entries.back()->Name.Assign(name);
    entries.back()->Url.Assign(url);
    return entries.back().get();
  };
  const std::u16string longTitle(100, u'長');
  const std::vector<const UrlEntry*> updated = {
      entry(u"One", u"http://h/1"),    entry(u"", u"http://h/untitled"),
      entry(longTitle, u"http://h/3"), entry(u"Four", u"http://h/4"),
      entry(u"Five", u"http://h/5"),   entry(u"Six", u"http://h/6"),
      entry(u"Seven", u"http://h/7")};
  std::vector<const UrlEntry*> twice = updated;
  twice.push_back(updated[0]);
  twice.push_back(nullptr);
  const ChangeNotice notice = MakeChangeNotice(twice);
  EXPECT_EQ(notice.Count, 7u);
  EXPECT_EQ(notice.Others, 2u);
  EXPECT_EQ(notice.Url, u"http://h/1");
  EXPECT_EQ(notice.Titles,
            (std::vector<std::u16string>{u"One", u"http://h/untitled",
                                         longTitle.substr(0, 79) + u"…", u"Four", u"Five"}));
  EXPECT_TRUE(MakeChangeNotice({}).IsEmpty());
}

TEST(ChangeNotice, TheNotifySettingIsOnUnlessSetToZero) {
  ProgramHome home;
  EXPECT_TRUE(NoticesWanted());
  ASSERT_TRUE(Store(Setting::Notify, 0));
  EXPECT_FALSE(NoticesWanted());
}

}  // namespace
}  // namespace kivo::test
