#include "cli/init_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "data/demo_data.h"
#include "data/file_permissions.h"
#include "platform/database.h"
#include "platform/settings_file.h"
#include "test_support.h"

namespace kirvs {
namespace {

namespace fs = std::filesystem;

using testing::QueryValue;

class InitCommandTest : public ::testing::Test {
 protected:
  int Init(const std::string& dir, bool demo, bool force = false) {
    output_.str("");
    errors_.str("");
    return RunInit({.dir = dir, .demo = demo, .force = force}, output_,
                   errors_);
  }

  std::string Setting(const std::string& dir, const std::string& key) {
    return ReadIniString(dir + "/" + kSettingsFileName, "Settings", key);
  }

  // The first value of `sql` on the database in `dir`.
  std::string Query(const std::string& dir, const std::string& sql) {
    return QueryValue(dir + "/" + kDatabaseFileName, sql);
  }

  testing::TempDir temp_;
  const std::string root_ = temp_.path();
  std::ostringstream output_, errors_;
};

// Through the program: a relative folder, missing, gives an absolute DBPath;
// a second init is refused.
TEST_F(InitCommandTest, MakesDatabaseAndSettingsInAMissingFolder) {
  const fs::path before = fs::current_path();
  fs::current_path(root_);
  const std::vector<std::string> init = {"init", "./rel/../new/help desk",
                                         "--demo", "--scale", "2"};
  const testing::ProgramRun run = testing::RunKirvs(init);
  EXPECT_EQ(1, testing::RunKirvs(init).exit_code) << "no second init";
  fs::current_path(before);
  ASSERT_EQ(0, run.exit_code) << run.err;
  const std::string dir = root_ + "/new/help desk";
  std::string db_path = dir + "/" + kDatabaseFileName;
  EXPECT_EQ(db_path, Setting(dir, "DBPath"));
  EXPECT_EQ(std::to_string(2 * kDemoOpenRequests),
            Query(dir, "SELECT count(*) FROM Current_Requests"));

  EXPECT_FALSE(fs::exists(db_path + "-wal") &&
               fs::file_size(db_path + "-wal") > 0)
      << "the log should be folded into the database file";

  EXPECT_NE(std::string::npos, run.out.find(db_path)) << run.out;
  for (const DemoStaff& staff : kDemoStaff) {
    std::string login =
        std::string(staff.user_id) + " / " + std::string(staff.password);
    EXPECT_NE(std::string::npos, run.out.find(login)) << run.out;
  }
}

// The database holds passwords: no file of the help desk is readable by
// other local users, and the check a web front runs at start says which are.
TEST_F(InitCommandTest, FilesArePrivateAndOpenOnesAreReported) {
  ASSERT_EQ(0, Init(root_, /*demo=*/true)) << errors_.str();
  const std::string ini = root_ + "/" + kSettingsFileName;
  const std::string db_path = root_ + "/" + kDatabaseFileName;
  std::shared_ptr<Database> db;
  ASSERT_TRUE(Database::Open(db_path, &db).ok());
  ASSERT_TRUE(db->Execute("DELETE FROM Logins").ok());  // makes -wal and -shm
  ASSERT_TRUE(WriteIniString(ini, "Settings", "StartOfDay", "08:00").ok());
  for (const std::string& file :
       {ini, db_path, db_path + "-wal", db_path + "-shm"}) {
    struct stat info;
    ASSERT_EQ(0, ::stat(file.c_str(), &info)) << file;
    EXPECT_EQ(0600u, info.st_mode & 0777) << file;
  }
  EXPECT_TRUE(FilesReadableByOthers(ini).empty());

  ASSERT_EQ(0, ::chmod(ini.c_str(), 0644));
  ASSERT_EQ(0, ::chmod((db_path + "-wal").c_str(), 0640));
  EXPECT_EQ((std::vector<std::string>{ini, db_path + "-wal"}),
            FilesReadableByOthers(ini));
  EXPECT_TRUE(FilesReadableByOthers(root_ + "/missing.ini").empty());
}

TEST_F(InitCommandTest, RefusesExistingFilesWithoutForce) {
  for (const char* existing : {kDatabaseFileName, kSettingsFileName}) {
    std::string dir = root_ + "/" + existing + "_case";
    fs::create_directories(dir);
    std::string path = dir + "/" + existing;
    std::ofstream(path) << "keep me\n";
    EXPECT_EQ(1, Init(dir, /*demo=*/true)) << existing;
    EXPECT_NE(std::string::npos, errors_.str().find(path)) << errors_.str();
    EXPECT_EQ("keep me\n", testing::ReadFile(path));
    EXPECT_EQ(1u, std::distance(fs::directory_iterator(dir),
                                fs::directory_iterator()))
        << "nothing else is made";
  }
  // A link to nothing at the database path is a file too.
  const std::string dangling = root_ + "/dangling";
  fs::create_directories(dangling);
  fs::create_symlink(root_ + "/nowhere.db", dangling + "/" + kDatabaseFileName);
  EXPECT_EQ(1, Init(dangling, /*demo=*/false));
  EXPECT_FALSE(fs::exists(dangling + "/" + kSettingsFileName));
  // With --force, a database path that cannot be removed is not built upon.
  const std::string stuck = root_ + "/stuck";
  fs::create_directories(stuck + "/" + kDatabaseFileName + "/inside");
  EXPECT_EQ(1, Init(stuck, /*demo=*/false, /*force=*/true));
  EXPECT_NE(std::string::npos, errors_.str().find("cannot replace the files"))
      << errors_.str();
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
  EXPECT_EQ(std::string::npos, output_.str().find("Demo logins"));
  EXPECT_EQ("0", Query(root_, "SELECT count(*) FROM Current_Requests"))
      << "the demo rows are gone";
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

}  // namespace
}  // namespace kirvs
