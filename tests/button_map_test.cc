// Which command a posted caption runs, for the captions that carry a key,
// and the criteria a search form's fields become.

#include "web/routes/button_map.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace kirvs::web {
namespace {

TEST(ButtonMapTest, KeysOfRowButtonsMustFitTheirKind) {
  struct Case {
    const char* caption;
    const char* command;  // nullptr: no page offers the caption
    const char* key;
  } cases[] = {
      {"save activity", "SAVE ACTIVITY", ""},
      // Request and activity numbers have at most 9 digits.
      {"123456789", "SHOW REQUEST", "123456789"},
      {"1234567890", nullptr, ""},
      {"12a", nullptr, ""},
      {"#123456789", "SHOW ACTIVITY", "123456789"},
      {"#1234567890", nullptr, ""},
      {"*O'B 1", "SHOW ITEM", "O'B 1"},
      {"*a\tb", nullptr, ""},
      {"", nullptr, ""},
  };
  for (const Case& c : cases) {
    std::optional<Button> button = FindButton(c.caption);
    ASSERT_EQ(c.command != nullptr, button.has_value()) << c.caption;
    if (!button) continue;
    EXPECT_EQ(c.command, button->row->command) << c.caption;
    EXPECT_EQ(c.key, button->key) << c.caption;
  }
}

// A word finds what contains it; an operator or a wildcard is taken as
// typed; the front's own fields stay as they are.
TEST(ButtonMapTest, SearchCriteriaContainTheWords) {
  const std::pair<std::string, std::string> typed[] = {
      {"cisco", "%cisco%"}, {" Cisco ", "%Cisco%"},
      {"=Cisco", "=Cisco"}, {"<>Cisco", "<>Cisco"},
      {"<=C", "<=C"},       {">=C", ">=C"},
      {"Cis%", "Cis%"},     {" ", " "}};
  for (const auto& [value, sent] : typed) {
    SubmittedForm criteria = ContainsCriteria(
        SubmittedForm({{"Manufacturer", value}, {"KIRVSCurrentUser", "ann"}}));
    EXPECT_EQ(sent, criteria.Get("Manufacturer")) << value;
    EXPECT_EQ("ann", criteria.Get("KIRVSCurrentUser")) << value;
  }
}

}  // namespace
}  // namespace kirvs::web
