#include "cli/qr_code.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace kirvs {
namespace {

// Light modules print as blocks, so that the code reads on a dark terminal;
// the quiet zone of two light modules frames it on every side.
TEST(QrCodeTest, QuietZoneAndFinderPatternComeOutWhereTheyAre) {
  const std::string full = "\u2588\u2588";
  std::istringstream text(QrCodeText("otpauth://totp/kirvs:ann?secret=AB"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 12u);
  auto row_of = [&](const char* block) {
    std::string row;
    while (row.size() < lines[0].size()) row += block;
    return row;
  };
  EXPECT_EQ(row_of("\u2588"), lines[0]);
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    EXPECT_TRUE(lines[i].starts_with(full) && lines[i].ends_with(full))
        << "line " << i << ": " << lines[i];
  }
  EXPECT_EQ(row_of("\u2580"), lines.back());
  // Each character is two modules, the upper over the lower; the finder
  // pattern in the top left corner (a dark ring, a light ring, a dark core)
  // must come out where it is, module rows 2 to 8 of columns 2 to 8.
  std::vector<std::string> modules(lines.size() * 2);
  for (size_t i = 0; i < lines.size(); ++i) {
    for (size_t at = 0; at < lines[i].size();) {
      const bool blank = lines[i][at] == ' ';
      const std::string c = lines[i].substr(at, blank ? 1 : 3);
      at += c.size();
      modules[2 * i] += c == "\u2588" || c == "\u2580" ? '.' : '#';
      modules[2 * i + 1] += c == "\u2588" || c == "\u2584" ? '.' : '#';
    }
  }
  const char* const finder[] = {"#######", "#.....#", "#.###.#", "#.###.#",
                                "#.###.#", "#.....#", "#######"};
  for (int row = 0; row < 7; ++row) {
    EXPECT_EQ(finder[row], modules[row + 2].substr(2, 7)) << "row " << row;
  }
}

}  // namespace
}  // namespace kirvs
