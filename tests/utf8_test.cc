#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace kirvs {
namespace {

TEST(Utf8Test, ToUpperCoversEachBlock) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"abc xyz 09", "ABC XYZ 09"},
      {"\u00e9\u00fe\u00ff\u00b5 \u00df \u00f7",
       "\u00c9\u00de\u0178\u039c \u00df \u00f7"},
      // Latin Extended-A: odd small letters, then even ones from U+0139.
      {"\u0101\u0133\u014b\u013a\u017e\u0131",
       "\u0100\u0132\u014a\u0139\u017dI"},
      // Latin Extended Additional: small letters are odd.
      {"\u1e01\u1ea1\u1ef3 \u1e00", "\u1e00\u1ea0\u1ef2 \u1e00"},
      {"\u03b1\u03c2\u03ac\u03cc", "\u0391\u03a3\u0386\u038c"},
      // The long s becomes S; ǆ and ΐ have no plain capital and stay.
      {"\u017f\u01c6\u0390", "S\u01c6\u0390"},
      {"\u0436\u0451\u0461\u04c2", "\u0416\u0401\u0460\u04c1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, Utf8ToUpper(c.text)) << c.text;
  }
}

}  // namespace
}  // namespace kirvs
