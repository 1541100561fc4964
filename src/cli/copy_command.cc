#include "cli/copy_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>

#include "cli/init_command.h"
#include "cli/run_command.h"
#include "data/desk_copy.h"
#include "platform/database.h"
#include "platform/settings_file.h"

namespace kirvs {

namespace {

namespace fs = std::filesystem;

// The DBPath that `place` (a folder, URI or database file) stands for.
Status DatabasePathOf(const std::string& place, std::string* db_path) {
  std::error_code error;
  if (IsPostgresUri(place) || !fs::is_directory(place, error)) {
    *db_path = place;
    return Status();
  }
  const std::string ini = (fs::path(place) / kSettingsFileName).string();
  if (!fs::exists(ini, error)) {
    return Status::NotFound(place + " is a folder without " +
                            kSettingsFileName);
  }
  *db_path = ReadIniString(ini, "Settings", "DBPath");
  if (db_path->empty()) return Status::NotFound("no DBPath in " + ini);
  return Status();
}

bool SameDatabase(const std::string& a, const std::string& b) {
  if (IsPostgresUri(a) || IsPostgresUri(b)) return a == b;
  std::error_code error;
  return fs::equivalent(a, b, error);
}

// The SQLite file and the two files SQLite keeps beside it.
void RemoveDatabaseFile(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    fs::remove(path + suffix, ignored);
  }
}

}  // namespace

int RunCopy(const CopyOptions& options, std::ostream& output,
            std::ostream& errors) {
  std::string from, to;
  Status s = DatabasePathOf(options.from, &from);
  if (s.ok()) s = DatabasePathOf(options.to, &to);
  if (s.ok() && SameDatabase(from, to)) {
    s = Status::InvalidArgument("the source and the target are one database");
  }
  std::shared_ptr<Database> source, target;
  if (s.ok()) s = Database::Open(from, &source);
  // A new SQLite file holds passwords: it is private from the start, and
  // goes again if the copy fails.
  bool made_file = false;
  std::error_code error;
  if (s.ok() && !IsPostgresUri(to) && !fs::exists(to, error)) {
    const int fd =
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) s = Status::IOError("cannot create " + to);
    if (fd >= 0) ::close(fd);
    made_file = fd >= 0;
  }
  if (s.ok()) s = Database::Create(to, &target);
  DeskCopyReport report;
  if (s.ok()) s = CopyDesk(source.get(), target.get(), options.force, &report);
  target.reset();
  if (!s.ok()) {
    if (made_file) RemoveDatabaseFile(to);
    errors << "kirvs copy: " << s.message()
           << "\nThe target was left as it was.\n";
    return kExitFailure;
  }
  output << "Copied " << DisplayPath(from) << " to " << DisplayPath(to)
         << ":\n";
  for (const auto& [table, rows] : report.tables) {
    output << "  " << table << ": " << rows
           << (rows == 1 ? " row\n" : " rows\n");
  }
  if (!report.skipped.empty()) {
    output << "Not copied (not help-desk tables; the find index is made anew):";
    for (const std::string& table : report.skipped) output << " " << table;
    output << "\n";
  }
  return kExitOk;
}

}  // namespace kirvs
