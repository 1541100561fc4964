#include "cli/init_command.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "data/demo_data.h"
#include "platform/database.h"
#include "platform/settings_file.h"

namespace kirvs {
namespace {

namespace fs = std::filesystem;

class InitCommandTest : public ::testing::Test {
 protected:
  InitCommandTest() {
    char pattern[] = "/tmp/kirvs_init_XXXXXX";
    root_ = mkdtemp(pattern);
  }
  ~InitCommandTest() override { fs::remove_all(root_); }

  int Init(const std::string& dir, bool demo, bool force = false) {
    output_.str("");
    errors_.str("");
    InitOptions options;
    options.dir = dir;
    options.demo = demo;
    options.force = force;
    return RunInit(options, output_, errors_);
  }

  std::string Setting(const std::string& dir, const std::string& key) {
    return ReadIniString(dir + "/" + kSettingsFileName, "Settings", key);
  }

  std::shared_ptr<Database> OpenDb(const std::string& dir) {
    std::shared_ptr<Database> db;
    Status s = Database::Open(dir + "/" + kDatabaseFileName, &db);
    EXPECT_TRUE(s.ok()) << s.message();
    return db;
  }

  std::string root_;
  std::ostringstream output_, errors_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The column names of "SELECT <list> FROM <table>", or an error text.
std::vector<std::string> SelectColumns(Database* db, const std::string& list,
                                       const std::string& table,
                                       std::string* error) {
  std::vector<std::string> names;
  std::string sql = "SELECT " + list + " FROM " + table;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db->handle(), sql.c_str(), -1, &statement, nullptr) !=
      SQLITE_OK) {
    *error = sqlite3_errmsg(db->handle());
  } else {
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      names.push_back(sqlite3_column_name(statement, i));
    }
  }
  sqlite3_finalize(statement);
  return names;
}

// The first value of the first row of `sql`, as text.
std::string Scalar(Database* db, const std::string& sql) {
  std::string value = "<none>";
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db->handle(), sql.c_str(), -1, &statement, nullptr) ==
          SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(statement, 0);
    value = text ? reinterpret_cast<const char*>(text) : "<null>";
  }
  sqlite3_finalize(statement);
  return value;
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST_F(InitCommandTest, MakesDatabaseAndSettingsInAMissingFolder) {
  std::string dir = root_ + "/new/help desk";
  ASSERT_EQ(0, Init(dir, /*demo=*/true)) << errors_.str();
  std::string db_path = dir + "/" + kDatabaseFileName;
  EXPECT_EQ(db_path, Setting(dir, "DBPath"));
  EXPECT_EQ("09:00", Setting(dir, "StartOfDay"));
  EXPECT_EQ("17:00", Setting(dir, "EndofDay"));
  EXPECT_EQ("False", Setting(dir, "IncludeWeekends"));

  std::shared_ptr<Database> db = OpenDb(dir);
  ASSERT_TRUE(db);
  EXPECT_EQ("ok", Scalar(db.get(), "PRAGMA integrity_check"));
  EXPECT_EQ(std::to_string(kDemoOpenRequests),
            Scalar(db.get(), "SELECT count(*) FROM Current_Requests"));
  EXPECT_FALSE(fs::exists(db_path + "-wal") &&
               fs::file_size(db_path + "-wal") > 0)
      << "the log should be folded into the database file";

  std::string printed = output_.str();
  EXPECT_NE(std::string::npos, printed.find(db_path)) << printed;
  EXPECT_NE(std::string::npos, printed.find(dir + "/" + kSettingsFileName));
  for (const DemoStaff& staff : kDemoStaff) {
    std::string login =
        std::string(staff.user_id) + " / " + std::string(staff.password);
    EXPECT_NE(std::string::npos, printed.find(login)) << printed;
  }
}

TEST_F(InitCommandTest, RelativeFolderGivesAnAbsoluteDbPath) {
  fs::path before = fs::current_path();
  fs::current_path(root_);
  int code = Init("./rel/../desk", /*demo=*/false);
  fs::current_path(before);
  ASSERT_EQ(0, code) << errors_.str();
  EXPECT_EQ(root_ + "/desk/" + kDatabaseFileName,
            Setting(root_ + "/desk", "DBPath"));
  EXPECT_EQ(std::string::npos, output_.str().find("Demo logins"));
}

TEST_F(InitCommandTest, EveryColumnListIsAQueryOnItsTable) {
  ASSERT_EQ(0, Init(root_, /*demo=*/true)) << errors_.str();
  std::shared_ptr<Database> db = OpenDb(root_);
  ASSERT_TRUE(db);
  struct Case {
    const char* key;
    const char* table;
    std::vector<std::string> needed;  // the first one must come first
  } cases[] = {
      {"RequestList", "Current_Requests", {"RequestNo", "Description"}},
      {"DisplayRequest",
       "Current_Requests",
       {"RequestNo", "Requested", "Personnel", "Description", "Priority",
        "Status", "UserId"}},
      {"AllocateRequest",
       "Current_Requests",
       {"RequestNo", "Personnel", "WorkGroup", "Allocated"}},
      {"ScheduleRequest",
       "Current_Requests",
       {"RequestNo", "Scheduled", "EscalationId"}},
      {"CloseRequest",
       "Current_Requests",
       {"RequestNo", "Completed", "ResolutionCode", "Resolution", "DownFlag"}},
      {"ActivityList",
       "Request_Activities",
       {"ActNo", "Date/Time", "Duration", "ChargeRate", "Description"}},
      {"DisplayActivity",
       "Request_Activities",
       {"RequestNo", "ActNo", "Date/Time", "Personnel", "Duration"}},
      {"InventoryList", "Items", {"ItemId", "Description"}},
      {"SolutionsList", "Solutions", {"SolutionId", "Description"}},
      {"DisplayItem", "Items", {"ItemId", "Description"}},
      {"ConfigList", "Item_Configuration", {"SUBITEMID"}},
  };
  for (const Case& c : cases) {
    std::string list = Setting(root_, c.key);
    // A value read back at the full 159 characters may have been cut.
    EXPECT_LT(list.size(), kMaxSettingLength) << c.key;
    std::string error;
    std::vector<std::string> names =
        SelectColumns(db.get(), list, c.table, &error);
    ASSERT_TRUE(error.empty()) << c.key << " = " << list << ": " << error;
    ASSERT_FALSE(names.empty()) << c.key;
    EXPECT_EQ(c.needed[0], names[0]) << c.key;
    for (const std::string& name : c.needed) {
      EXPECT_TRUE(Has(names, name)) << c.key << " lacks " << name;
    }
  }
}

TEST_F(InitCommandTest, SearchFieldsAreBareColumnNames) {
  ASSERT_EQ(0, Init(root_, /*demo=*/true)) << errors_.str();
  std::shared_ptr<Database> db = OpenDb(root_);
  ASSERT_TRUE(db);
  for (auto [key, table] : {std::pair{"SearchInventory", "Items"},
                            std::pair{"SearchSolutions", "Solutions"}}) {
    std::string list = Setting(root_, key);
    ASSERT_FALSE(list.empty()) << key;
    std::stringstream fields(list);
    std::string field;
    while (std::getline(fields, field, ',')) {
      EXPECT_EQ(std::string::npos, field.find_first_of(" []"))
          << key << ": '" << field << "'";
      std::string error;
      SelectColumns(db.get(), "[" + field + "]", table, &error);
      EXPECT_TRUE(error.empty()) << key << ": " << field << ": " << error;
    }
  }
}

TEST_F(InitCommandTest, RefusesExistingFilesWithoutForce) {
  for (const char* existing : {kDatabaseFileName, kSettingsFileName}) {
    std::string dir = root_ + "/" + existing + "_case";
    fs::create_directories(dir);
    std::string path = dir + "/" + existing;
    std::ofstream(path) << "keep me\n";
    EXPECT_EQ(1, Init(dir, /*demo=*/true)) << existing;
    EXPECT_NE(std::string::npos, errors_.str().find(path)) << errors_.str();
    EXPECT_EQ("keep me\n", ReadFile(path));
    EXPECT_EQ(1u, std::distance(fs::directory_iterator(dir),
                                fs::directory_iterator()))
        << "nothing else is made";
  }
}

TEST_F(InitCommandTest, ForceReplacesBothFiles) {
  ASSERT_EQ(0, Init(root_, /*demo=*/true)) << errors_.str();
  ASSERT_TRUE(WriteIniString(root_ + "/" + kSettingsFileName, "Settings",
                             "Marker", "old")
                  .ok());
  std::string wal = root_ + "/" + kDatabaseFileName + "-wal";
  std::ofstream(wal) << "stale log of the old database";

  ASSERT_EQ(0, Init(root_, /*demo=*/false, /*force=*/true)) << errors_.str();
  EXPECT_EQ("", Setting(root_, "Marker"));
  EXPECT_EQ(root_ + "/" + kDatabaseFileName, Setting(root_, "DBPath"));
  std::shared_ptr<Database> db = OpenDb(root_);
  ASSERT_TRUE(db);
  EXPECT_EQ("0", Scalar(db.get(), "SELECT count(*) FROM Current_Requests"))
      << "the demo rows are gone";
  EXPECT_EQ("ok", Scalar(db.get(), "PRAGMA integrity_check"));
}

TEST_F(InitCommandTest, DbPathMustFitInASetting) {
  // A folder whose database path is exactly as long as a setting can hold
  // works; one character more is refused before anything is made. Lengths
  // are characters: accented folder names take two bytes a letter.
  std::string suffix = std::string("/") + kDatabaseFileName;
  std::string base = root_ + "/";
  for (const char* letter : {"d", "é"}) {
    std::string fits = base + letter;
    for (size_t i = base.size() + 1; i + suffix.size() < kMaxSettingLength;
         ++i) {
      fits += i % 50 == 0 ? "/" : letter;
    }
    EXPECT_EQ(0, Init(fits, /*demo=*/false)) << errors_.str();
    EXPECT_EQ(fits + suffix, Setting(fits, "DBPath"));

    std::string too_long = fits + letter;
    EXPECT_EQ(1, Init(too_long, /*demo=*/false));
    EXPECT_NE(std::string::npos,
              errors_.str().find("is 160 characters long; DBPath holds at "
                                 "most 159."))
        << errors_.str();
    EXPECT_FALSE(fs::exists(too_long));
  }
}

TEST_F(InitCommandTest, CommandLineRunsInitAndReportsRefusal) {
  std::string dir = root_ + "/cli";
  std::string command = std::string(KIRVS_BINARY) + " init '" + dir +
                        "' --demo --scale 2 > /dev/null 2>&1";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
  status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(1, WEXITSTATUS(status)) << "a second init must not overwrite";

  std::shared_ptr<Database> db = OpenDb(dir);
  ASSERT_TRUE(db);
  EXPECT_EQ(std::to_string(2 * kDemoOpenRequests),
            Scalar(db.get(), "SELECT count(*) FROM Current_Requests"));
}

}  // namespace
}  // namespace kirvs
