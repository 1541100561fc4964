// The warnings of `kirvs serve` about help-desk files that others can read.

#include "web/readable_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "test_support.h"

namespace kirvs::web {
namespace {

TEST(ReadableFilesTest, WarnsOncePerFileThatOthersCanRead) {
  struct Case {
    mode_t settings;
    mode_t database;
    bool settings_warned;
    bool database_warned;
  };
  const Case cases[] = {
      {0600, 0600, false, false}, {0640, 0600, true, false},
      {0600, 0604, false, true},  {0644, 0644, true, true},
      {0700, 0660, false, true},
  };
  kirvs::testing::TempDir dir;
  std::string settings = dir.File("KIRVS.INI");
  std::string database = dir.File("helpdesk.db");
  std::ofstream(settings) << "[Settings]\nDBPath=" << database << "\n";
  std::ofstream(database) << "data";
  for (const Case& c : cases) {
    ::chmod(settings.c_str(), c.settings);
    ::chmod(database.c_str(), c.database);
    std::ostringstream errors;
    WarnAboutReadableFiles(settings, errors);
    std::string text = errors.str();
    std::string mode =
        std::to_string(c.settings) + "/" + std::to_string(c.database);
    EXPECT_EQ(c.settings_warned,
              text.find("settings file " + settings + ";") != std::string::npos)
        << mode << ": " << text;
    EXPECT_EQ(c.database_warned,
              text.find("database file " + database + ";") != std::string::npos)
        << mode << ": " << text;
    EXPECT_EQ(size_t{c.settings_warned} + c.database_warned,
              static_cast<size_t>(std::count(text.begin(), text.end(), '\n')))
        << mode;
  }
}

}  // namespace
}  // namespace kirvs::web
