#include "urllist/ListEdits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo {
namespace {

// Both front ends delete through this one rule, and select what it returns.
TEST(ListEdits, DeleteRowsKeepsTheOthersAndNamesTheRowToSelect) {
  struct Case {
    const char* Name;
    std::vector<int32_t> Rows;
    std::string Left;  // the names of the entries left, in order
    int32_t Select;
  };
  const Case cases[] = {
      {"rows 2 and 4 of six", {2, 4}, "0135", 2},
      {"the last two rows", {4, 5}, "0123", 3},
      {"in any order, repeated", {4, 1, 4}, "0235", 1},
      {"rows outside the list", {-1, 6}, "012345", -1},
      {"none", {}, "012345", -1},
      {"all", {0, 1, 2, 3, 4, 5}, "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    UrlList list;
    for (char16_t name = u'0'; name < u'6'; ++name) {
      list.Add(std::make_unique<UrlEntry>());
      list[list.Count() - 1]->Name.Assign(std::u16string(1, name));
    }
    EXPECT_EQ(DeleteRows(list, c.Rows), c.Select);
    std::string left;
    for (const UrlEntry* entry : list) {
      left += static_cast<char>(entry->Name.View()[0]);
    }
    EXPECT_EQ(left, c.Left);
  }
}

}  // namespace
}  // namespace kivo
