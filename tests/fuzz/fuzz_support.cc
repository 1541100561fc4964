#include "fuzz_support.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "cli/init_command.h"
#include "data/demo_data.h"

namespace kirvs::fuzz {

void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

std::string TempFolder(const char* prefix) {
  std::string pattern = std::string("/tmp/") + prefix + "XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) Fail("no temporary folder");
  static std::vector<std::string> folders;
  if (folders.empty()) {
    std::atexit([] {
      for (const std::string& folder : folders) {
        std::filesystem::remove_all(folder);
      }
    });
  }
  folders.push_back(pattern);
  return pattern;
}

namespace {

struct Pristine {
  DemoDesk desk;
  sqlite3* copy = nullptr;  // the database as made, in memory
  std::string ini;          // a copy of the settings file as made
};

Pristine& ThePristine() {
  static Pristine* pristine = [] {
    auto* p = new Pristine();
    p->desk.dir = TempFolder("kirvs_fuzz_");
    InitOptions options;
    options.dir = p->desk.dir;
    options.demo = true;
    std::ostringstream out, err;
    if (RunInit(options, out, err) != 0) Fail(err.str());
    p->desk.db_path = p->desk.dir + "/" + kDatabaseFileName;
    p->desk.ini_path = p->desk.dir + "/" + kSettingsFileName;
    sqlite3* db = nullptr;
    if (sqlite3_open(p->desk.db_path.c_str(), &db) != SQLITE_OK) {
      Fail("cannot open the demo database");
    }
    std::string sql;
    for (const DemoStaff& staff : kDemoStaff) {
      sql += "INSERT INTO Logins (UserName) VALUES ('" +
             std::string(staff.user_id) + "');";
    }
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_open(":memory:", &p->copy) != SQLITE_OK) {
      Fail(sqlite3_errmsg(db));
    }
    sqlite3_backup* backup = sqlite3_backup_init(p->copy, "main", db, "main");
    if (backup == nullptr || sqlite3_backup_step(backup, -1) != SQLITE_DONE) {
      Fail("cannot copy the demo database");
    }
    sqlite3_backup_finish(backup);
    sqlite3_close(db);
    p->ini = p->desk.ini_path + ".made";
    std::filesystem::copy_file(p->desk.ini_path, p->ini);
    return p;
  }();
  return *pristine;
}

}  // namespace

const DemoDesk& Desk() { return ThePristine().desk; }

// The database's change counter as `db` sees it: it moves when another
// connection commits.
int64_t DataVersion(sqlite3* db) {
  sqlite3_stmt* stmt = nullptr;
  int64_t version = -1;
  if (sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &stmt, nullptr) ==
          SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    version = sqlite3_column_int64(stmt, 0);
  }
  sqlite3_finalize(stmt);
  return version;
}

void ResetDesk() {
  Pristine& p = ThePristine();
  // One connection of our own, kept: an input that wrote nothing (most of
  // them) needs no copy.
  static sqlite3* db = nullptr;
  static int64_t restored_version = -2;
  if (db == nullptr) {
    if (sqlite3_open(p.desk.db_path.c_str(), &db) != SQLITE_OK) {
      Fail("cannot open the demo database");
    }
    sqlite3_busy_timeout(db, 30000);
  }
  if (DataVersion(db) != restored_version) {
    sqlite3_backup* backup = sqlite3_backup_init(db, "main", p.copy, "main");
    if (backup == nullptr || sqlite3_backup_step(backup, -1) != SQLITE_DONE) {
      Fail(std::string("cannot restore the demo database: ") +
           sqlite3_errmsg(db));
    }
    sqlite3_backup_finish(backup);
    restored_version = DataVersion(db);
  }
  std::filesystem::copy_file(p.ini, p.desk.ini_path,
                             std::filesystem::copy_options::overwrite_existing);
}

std::vector<std::string> Lines(std::string_view input) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= input.size()) {
    size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    lines.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<SubmittedForm::Field> FieldsOf(
    const std::vector<std::string>& lines, size_t first) {
  std::vector<SubmittedForm::Field> fields;
  for (size_t i = first; i < lines.size(); ++i) {
    size_t equals = lines[i].find('=');
    fields.emplace_back(
        lines[i].substr(0, equals),
        equals == std::string::npos ? "" : lines[i].substr(equals + 1));
  }
  return fields;
}

void CheckEscaped(std::string_view what, std::string_view text) {
  size_t at = text.find("<zq");
  if (at == std::string_view::npos) return;
  size_t from = at < 200 ? 0 : at - 200;
  Fail("unescaped marker in " + std::string(what) + ": ..." +
       std::string(text.substr(from, 400)) + "...");
}

}  // namespace kirvs::fuzz
