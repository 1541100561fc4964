// Which command a posted caption runs, for the captions that carry a key.

#include "web/routes/button_map.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kirvs::web
