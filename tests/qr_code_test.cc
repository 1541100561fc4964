#include "cli/qr_code.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace kirvs {
namespace {

// Light modules print as blocks, so that the code reads on a dark terminal;
// the quiet zone of two light modules frames it on every side.
TEST(QrCodeTest, QuietZoneIsLightOnEverySide) {
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
}

}  // namespace
}  // namespace kirvs
