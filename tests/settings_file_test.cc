#include "platform/settings_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"

namespace kirvs {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
 protected:
  void WriteRaw(const std::string& contents) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << contents;
  }
  std::string ReadRaw() const { return testing::ReadFile(path_); }
  // The names of the files in the folder.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  testing::TempDir temp_;
  const std::string dir_ = temp_.path();
  const std::string path_ = temp_.File("KIRVS.INI");
};

// The same lines with other line ends, a byte order mark, or no final line
// end.
struct Encoding {
  const char* name;
  const char* line_end;
  bool final_line_end;
  bool byte_order_mark;
};
constexpr Encoding kEncodings[] = {
    {"LF", "\n", true, false},
    {"CRLF", "\r\n", true, false},
    {"LF, no final line end", "\n", false, false},
    {"CRLF with byte order mark", "\r\n", false, true},
};

std::string Encode(const std::vector<std::string>& lines,
                   const Encoding& encoding) {
  std::string out = encoding.byte_order_mark ? "\xEF\xBB\xBF" : "";
  for (size_t i = 0; i < lines.size(); ++i) {
    out += lines[i];
    if (i + 1 < lines.size() || encoding.final_line_end) {
      out += encoding.line_end;
    }
  }
  return out;
}

const std::vector<std::string> kSampleLines = {
    "[Settings]",
    "DBPath=/srv/helpdesk.db",
    "  RequestList  =  RequestNo, [Sub-Department]  ",
    "; a comment line",
    "junk line without an equals sign",
    "Blank=",
    "BlankSpaces=   ",
    "Lower=empty",
    "Upper=Empty",
    "Spaced=  empty  ",
    "Dup=first",
    "dup=second",
    "Equals=a=b=c",
    "\tTabbed\t=\tvalue\t",
    "",
    "[ Debug ]",
    "Dup=debug",
    "[settings]",
    "Late=in the second copy of the section",
    "[Third]",
    "NoValueLine",
    "Key=third",
};

TEST_F(SettingsFileTest, ReadsValues) {
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"settings", "DBPATH", "/srv/helpdesk.db"},
      {"Settings", "RequestList", "RequestNo, [Sub-Department]"},
      {"Settings", "BlankSpaces", ""},
      {"Settings", "Lower", ""},
      {"Settings", "Upper", "Empty"},
      {"Settings", "Dup", "first"},
      {"Settings", "Equals", "a=b=c"},
      {"Settings", "Tabbed", "value"},
      {"Debug", "Dup", "debug"},
      {" Debug ", "\tDup ", "debug"},  // blanks around the names do not count
      {"Settings", "Late", ""},  // only the first copy of a section counts
      {"Third", "Key", "third"},
      {"Third", "NoValueLine", ""},
      {"Settings", "DB", ""},
      {"Setting", "DBPath", ""},
  };
  for (const Encoding& encoding : kEncodings) {
    WriteRaw(Encode(kSampleLines, encoding));
    for (const Case& c : cases) {
      EXPECT_EQ(c.expected, ReadIniString(path_, c.section, c.key))
          << "[" << c.section << "] " << c.key << " in " << encoding.name;
    }
  }
}

TEST_F(SettingsFileTest, ValuesAreCutTo159Characters) {
  std::string accented;
  for (char c = 'A'; c <= 'Z'; ++c) accented += std::string("Pé") + c + ", ";
  accented += "Descriptions";
  struct Case {
    std::string value;
    std::string expected;
  };
  const Case cases[] = {
      {std::string(160, 'v'), std::string(159, 'v')},
      // Characters are counted, not bytes: 26 accented letters make this
      // list of 142 characters 168 bytes long, and it is read whole.
      {accented, accented},
      {std::string(158, 'x') + "éé", std::string(158, 'x') + "é"},
      {std::string(158, 'x') + "\xe2\x82", std::string(158, 'x') + "\xe2"},
      // One pair of double quotes encloses the value and is not part of it.
      {"\"" + std::string(159, 'q') + "x\"", std::string(159, 'q')},
      {"\"", "\""},
      {"\"a\" and \"b\"", "a\" and \"b"},
  };
  for (const Case& c : cases) {
    WriteRaw("[Settings]\nRequestList=" + c.value + "\n");
    EXPECT_EQ(c.expected, ReadIniString(path_, "Settings", "RequestList"))
        << c.value;
  }
}

TEST_F(SettingsFileTest, WriteEditsTheFileInPlace) {
  struct Case {
    const char* before;  // nullptr: no file
    const char *section, *key, *value, *after;
  } cases[] = {
      {nullptr, "Debug", "Start", "09:00", "[Debug]\nStart=09:00\n"},
      {"[Debug]\n", "Settings", "DBPath", "/a",
       "[Debug]\n[Settings]\nDBPath=/a\n"},
      // A new key goes after the last key of its section; an empty section
      // gets it right under its header.
      {"[A]\na=1\n\n; x\n[B]\n", "a", "c", "3", "[A]\na=1\nc=3\n\n; x\n[B]\n"},
      {"[A]\n[B]\nb=2\n", "A", "a", "1", "[A]\na=1\n[B]\nb=2\n"},
      {"[A]\r\na=1\nb=2\r\n; x\n", "A", "b", "3", "[A]\r\na=1\nb=3\r\n; x\n"},
      // A byte order mark stays; a line added after a last line without a
      // line end takes the file's line end, and the file still ends without.
      {"\xEF\xBB\xBF[A]\r\na=1", "A", "b", "2",
       "\xEF\xBB\xBF[A]\r\na=1\r\nb=2"},
      // The key that reads see is the one rewritten; blanks around names
      // do not count.
      {"[S]\nDup=1\ndup=2\n[s]\nDup=3\n", "s", "DUP", "4",
       "[S]\nDUP=4\ndup=2\n[s]\nDup=3\n"},
      {"[Debug]\nTrace=1\n", " Debug ", "\tTrace ", "2", "[Debug]\nTrace=2\n"},
      // A value cannot add lines.
      {"", "D", "T", "a\n[Evil]\r\nx=1", "[D]\nT=a [Evil]  x=1\n"},
  };
  for (const Case& c : cases) {
    fs::remove(path_);
    if (c.before != nullptr) WriteRaw(c.before);
    ASSERT_TRUE(WriteIniString(path_, c.section, c.key, c.value).ok());
    EXPECT_EQ(c.after, ReadRaw()) << c.value;
  }
}

TEST_F(SettingsFileTest, AnEditOfAnOldFileShowsWithTheNextRead) {
  // Files untouched for a while are kept parsed between reads; any change of
  // content, size, time or file must still show at once.
  auto age = [this](time_t seconds_ago) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = time(nullptr) - seconds_ago;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ASSERT_EQ(0, utimensat(AT_FDCWD, path_.c_str(), times, 0));
  };
  WriteRaw("[Settings]\nDBPath=/srv/a.db\n");
  age(3600);
  EXPECT_EQ("/srv/a.db", ReadIniString(path_, "Settings", "DBPath"));
  WriteRaw("[Settings]\nDBPath=/srv/b.db\n");  // same size, in place
  age(1800);
  EXPECT_EQ("/srv/b.db", ReadIniString(path_, "Settings", "DBPath"));
  fs::remove(path_);
  EXPECT_EQ("", ReadIniString(path_, "Settings", "DBPath"));
}

TEST_F(SettingsFileTest, ABatchWritesLikeOneWriteAfterAnother) {
  WriteRaw("[Settings]\nDBPath=/srv/hd.db\n");
  ASSERT_TRUE(WriteIniStrings(
                  path_, "Debug",
                  {{"Step", "Started"}, {"Hours", "1.00"}, {"Step", "Done"}})
                  .ok());
  EXPECT_EQ("[Settings]\nDBPath=/srv/hd.db\n[Debug]\nStep=Done\nHours=1.00\n",
            ReadRaw());
  // One unwritable key refuses the whole batch.
  EXPECT_FALSE(
      WriteIniStrings(path_, "Debug", {{"Fine", "1"}, {"a=b", "2"}}).ok());
  EXPECT_EQ("", ReadIniString(path_, "Debug", "Fine"));
}

TEST_F(SettingsFileTest, NamesThatWouldChangeTheFileAreRefused) {
  const std::string contents = "[Debug]\nTrace=1\n";
  struct Case {
    const char* section;
    const char* key;
  };
  const Case cases[] = {
      {"Debug", "   "}, {"Debug", "a=b"},    {"Debug", "a\rb"},
      {"Debug", "[x]"}, {"De]bug", "Trace"}, {"De\nbug", "Trace"},
  };
  for (const Case& c : cases) {
    WriteRaw(contents);
    EXPECT_EQ(Status::Code::kInvalidArgument,
              WriteIniString(path_, c.section, c.key, "2").code())
        << c.section << " " << c.key;
    EXPECT_EQ(contents, ReadRaw()) << c.section << " " << c.key;
  }
}

// Where no file can be, reads give empty text and writes fail.
TEST_F(SettingsFileTest, WriteFailsWhereNoFileCanBe) {
  for (const std::string& path : {dir_ + "/no/such/dir/KIRVS.INI", dir_}) {
    EXPECT_EQ("", ReadIniString(path, "Settings", "DBPath")) << path;
    Status s = WriteIniString(path, "Debug", "a", "1");
    EXPECT_EQ(Status::Code::kIOError, s.code());
    // The message names the file, in the system's words.
    EXPECT_NE(std::string::npos, s.message().find(path)) << s.message();
  }
}

// The file the link names is replaced, with its permissions.
TEST_F(SettingsFileTest,
       WriteThroughASymbolicLinkKeepsTheLinkAndThePermissions) {
  const std::string target = dir_ + "/real.ini";
  std::ofstream(target, std::ios::binary) << "[Settings]\nDBPath=x\n";
  ASSERT_EQ(0, ::chmod(target.c_str(), 0640));
  ASSERT_EQ(0, ::symlink(target.c_str(), path_.c_str()));
  ASSERT_TRUE(WriteIniString(path_, "Debug", "a", "1").ok());
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ("[Settings]\nDBPath=x\n[Debug]\na=1\n", ReadRaw());
  EXPECT_EQ(fs::perms(0640), fs::status(path_).permissions());
  // A file the write creates is its owner's only.
  ASSERT_EQ(0, ::unlink(path_.c_str()));
  ASSERT_TRUE(WriteIniString(path_, "Debug", "a", "1").ok());
  EXPECT_EQ(fs::perms(0600), fs::status(path_).permissions());
}

TEST_F(SettingsFileTest, UnreadableFileIsNotReplaced) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root reads every file";
  }
  WriteRaw("[Settings]\nDBPath=x\n");
  ASSERT_EQ(0, ::chmod(path_.c_str(), 0200));
  EXPECT_FALSE(WriteIniString(path_, "Debug", "a", "1").ok());
  ASSERT_EQ(0, ::chmod(path_.c_str(), 0600));
  EXPECT_EQ("[Settings]\nDBPath=x\n", ReadRaw());
}

TEST_F(SettingsFileTest, ProcessesWritingAtOnceLoseNoKey) {
  // Four processes of four threads each write keys of their own at once.
  constexpr int kWriters = 16, kKeys = 25;
  auto key = [](int writer, int k) {
    return "w" + std::to_string(writer) + "k" + std::to_string(k);
  };
  WriteRaw("[Settings]\nDBPath=/srv/hd.db\n");
  std::vector<pid_t> children;
  for (int p = 0; p < 4; ++p) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::atomic<bool> all_written{true};
      testing::OnThreads(4, [&](int thread) {
        for (int k = 0; k < kKeys; ++k) {
          std::string name = key(p * 4 + thread, k);
          if (!WriteIniString(path_, "Debug", name, name).ok()) {
            all_written = false;
          }
        }
      });
      ::_exit(all_written ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int k = 0; k < kKeys; ++k) {
      EXPECT_EQ(key(writer, k), ReadIniString(path_, "Debug", key(writer, k)));
    }
  }
  EXPECT_EQ("/srv/hd.db", ReadIniString(path_, "Settings", "DBPath"));
  // Nothing is left behind but the file and its lock file.
  EXPECT_EQ((std::set<std::string>{"KIRVS.INI", "KIRVS.INI.lock"}), Names());
}

// A writer killed between filling its temporary file and renaming it leaves
// the file behind; the next write removes it, and only such files.
TEST_F(SettingsFileTest, WriteRemovesTemporaryFilesOfDeadWriters) {
  WriteRaw("[Settings]\nDBPath=/srv/hd.db\n");
  pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(child, ::waitpid(child, nullptr, 0));  // a pid that runs no more
  const std::string dead = std::to_string(child);
  const std::string live = std::to_string(::getpid());
  struct Stray {
    std::string name;
    bool kept;
  } strays[] = {
      {"KIRVS.INI.tmp." + dead + ".0", false},
      {"KIRVS.INI.tmp." + live + ".7", true},  // a writer still at work
      {"KIRVS.INI.tmp.x" + dead + ".0", true},
      {"OTHER.INI.tmp." + dead + ".0", true},
  };
  std::set<std::string> kept = {"KIRVS.INI", "KIRVS.INI.lock"};
  for (const Stray& stray : strays) {
    std::ofstream(dir_ + "/" + stray.name) << "[Settings]\nhalf";
    if (stray.kept) kept.insert(stray.name);
  }
  ASSERT_TRUE(WriteIniString(path_, "Debug", "a", "1").ok());
  EXPECT_EQ(kept, Names());
}

TEST(SettingsFilePath, EnvironmentVariableThenWorkingDirectory) {
  const char* saved = std::getenv("KIRVS_INI");
  const std::string original = saved != nullptr ? saved : "";
  for (const char* value : {"", "/etc/kirvs/KIRVS.INI"}) {
    ::setenv("KIRVS_INI", value, 1);
    EXPECT_EQ(*value ? value : "KIRVS.INI", DefaultSettingsPath());
  }
  ::unsetenv("KIRVS_INI");
  EXPECT_EQ("KIRVS.INI", DefaultSettingsPath());
  if (saved != nullptr) ::setenv("KIRVS_INI", original.c_str(), 1);
}

}  // namespace
}  // namespace kirvs
