#include "cli/init_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/run_command.h"
#include "data/demo_data.h"
#include "data/request_finder.h"
#include "data/schema.h"
#include "platform/database.h"
#include "platform/settings_file.h"
#include "platform/utf8.h"

namespace kirvs {

namespace {

namespace fs = std::filesystem;

struct Setting {
  std::string_view key;
  std::string_view value;
};

// What each page shows. A column list goes into the query after "SELECT "
// as it stands, so names with blanks or dashes are bracketed. The search
// field lists are different: they are split at commas and each name becomes
// an input, so they hold bare names without blanks.
constexpr Setting kPageSettings[] = {
    // RequestNo first: the list turns the first column into the row button.
    {"RequestList",
     "RequestNo, Requested, Priority, Status, UserId, Description"},
    // Also the new-request page, which fills in the requester's details; it
    // must offer Personnel, or a new request would be allocated to nobody
    // and appear on no one's list.
    {"DisplayRequest",
     "RequestNo,Requested,Description,RequestType,Priority,Status,System,"
     "Product,Personnel,WorkGroup,UserId,Contact,Telephone,Department,"
     "Location,NotifyUser"},
    {"AllocateRequest",
     "RequestNo, Personnel, WorkGroup, Allocated, Priority, Description"},
    {"ScheduleRequest",
     "RequestNo, Scheduled, EscalationId, Priority, Description"},
    {"CloseRequest",
     "RequestNo, Completed, ResolutionCode, Resolution, DownFlag, DownTime, "
     "Status"},
    {"ActivityList",
     "ActNo, [Date/Time], Personnel, Duration, ChargeRate, Description"},
    {"DisplayActivity",
     "RequestNo, ActNo, [Date/Time], Personnel, WorkGroup, Duration, "
     "ChargeRate, Description"},
    {"SearchInventory",
     "ItemId,Description,ProductType,Manufacturer,Location,Department"},
    {"SearchSolutions", "Product,System,Description,Keywords"},
    {"InventoryList",
     "ItemId, Description, ProductType, Manufacturer, Model, Location, UserId"},
    {"SolutionsList", "SolutionId, Description, Product, System, Solution"},
    {"DisplayItem",
     "ItemId, Description, ProductType, Manufacturer, Model, SerialNo, "
     "Location, Department, UserId, PurchaseDate, PurchaseCost"},
    {"ConfigList", "SUBITEMID, Description, Details, SerialNo"},
    {"StartOfDay", "09:00"},
    {"EndofDay", "17:00"},
    {"IncludeWeekends", "False"},
};

// A longer value would be read back cut short, and the page's query would
// then fail or show the wrong columns.
constexpr bool AllSettingsFit() {
  for (const Setting& setting : kPageSettings) {
    if (setting.value.size() > kMaxSettingLength) return false;
  }
  return true;
}
static_assert(AllSettingsFit());

// The database file and the two files SQLite keeps beside it in WAL mode.
void RemoveDatabaseFiles(const fs::path& db_path) {
  std::error_code ignored;
  fs::remove(db_path, ignored);
  fs::remove(db_path.string() + "-wal", ignored);
  fs::remove(db_path.string() + "-shm", ignored);
}

// Creates `path` empty, readable and writable by its owner only. The
// database holds passwords: SQLite gives its "-wal" and "-shm" files the
// database file's permissions, and writes to the settings file keep the
// file's permissions, so creating both files this way keeps every file of
// the help desk private.
Status CreatePrivateFile(const fs::path& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return Status::IOError("cannot create " + path.string());
  ::close(fd);
  return Status();
}

Status MakeDatabase(const fs::path& db_path, const InitOptions& options) {
  std::shared_ptr<Database> db;
  Status s = Database::Create(db_path.string(), &db);
  if (s.ok()) s = CreateSchema(db.get());
  if (s.ok() && options.demo) s = FillDemoData(db.get(), options.scale);
  // Closing the only connection folds the write-ahead log into the file.
  return s;
}

Status WriteSettings(const fs::path& ini_path, const std::string& db_path) {
  const std::string ini = ini_path.string();
  Status s = WriteIniString(ini, "Settings", "DBPath", db_path);
  for (const Setting& setting : kPageSettings) {
    if (s.ok()) s = WriteIniString(ini, "Settings", setting.key, setting.value);
  }
  if (!s.ok())
    return Status::IOError("cannot write " + ini + ": " + s.message());
  // A path that the settings file cannot hold as it stands (line breaks,
  // blanks at either end) would send every command to the wrong file.
  if (ReadIniString(ini, "Settings", "DBPath") != db_path) {
    return Status::InvalidArgument("the database path " + DisplayPath(db_path) +
                                   " does not read back from " + ini);
  }
  return Status();
}

// The help desk in the PostgreSQL database at `uri`.
Status MakePostgresDatabase(const std::string& uri,
                            const InitOptions& options) {
  std::shared_ptr<Database> db;
  Status s = Database::Create(uri, &db);
  bool has_tables = false;
  if (s.ok()) s = HasTables(db.get(), &has_tables);
  if (s.ok() && has_tables) {
    if (!options.force) {
      return Status::InvalidArgument(
          "the database " + DisplayPath(uri) +
          " already has tables; use --force to replace the help desk in it");
    }
    s = DropPostgresHelpDesk(db.get());
  }
  if (s.ok()) s = CreateSchema(db.get());
  if (s.ok() && options.demo) s = FillDemoData(db.get(), options.scale);
  // The find index now: a running desk's user may not make indexes.
  if (s.ok()) s = AddRequestWords(db.get());
  return s;
}

void PrintDemoSummary(const InitOptions& options, std::ostream& output) {
  output << "Demo data: " << kDemoOpenRequests * options.scale << " open and "
         << kDemoClosedRequests * options.scale << " closed requests, "
         << kDemoItems * options.scale << " items, "
         << kDemoSolutions * options.scale << " solutions\n"
         << "Demo logins (user id / password):\n";
  for (const DemoStaff& staff : kDemoStaff) {
    output << "  " << staff.user_id << " / " << staff.password << "  ("
           << staff.name << ", " << staff.work_group << ")\n";
  }
}

int InitOnPostgres(const InitOptions& options, const fs::path& dir,
                   const fs::path& ini_path, std::ostream& output,
                   std::ostream& errors) {
  const std::string& uri = options.database;
  if (!IsPostgresUri(uri)) {
    errors << "kirvs init: --database takes a postgresql:// URI, not "
           << DisplayPath(uri) << "\n";
    return kExitFailure;
  }
  if (Utf8Length(uri) > kMaxSettingLength) {
    errors << "kirvs init: the database URI is longer than DBPath holds ("
           << kMaxSettingLength << " characters)\n";
    return kExitFailure;
  }
  std::error_code error;
  if (fs::exists(fs::symlink_status(ini_path, error)) && !options.force) {
    errors << "kirvs init: " << ini_path.string()
           << " already exists; use --force to replace it\n";
    return kExitFailure;
  }
  fs::create_directories(dir, error);
  fs::remove(ini_path, error);
  // The URI may hold a password: the settings file is private.
  Status s = CreatePrivateFile(ini_path);
  if (s.ok()) s = MakePostgresDatabase(uri, options);
  if (s.ok()) s = WriteSettings(ini_path, uri);
  if (!s.ok()) {
    fs::remove(ini_path, error);
    errors << "kirvs init: " << s.message() << "\n";
    return kExitFailure;
  }
  output << "Created the tables in " << DisplayPath(uri) << "\n"
         << "Created settings " << ini_path.string() << "\n";
  if (options.demo) PrintDemoSummary(options, output);
  output << "Point the engine at it with --ini " << ini_path.string()
         << " or KIRVS_INI=" << ini_path.string() << "\n";
  return kExitOk;
}

}  // namespace

int RunInit(const InitOptions& options, std::ostream& output,
            std::ostream& errors) {
  if (options.dir.empty()) {
    errors << "kirvs init: no folder given\n";
    return kExitFailure;
  }
  if (options.scale < 1) {
    errors << "kirvs init: --scale must be at least 1\n";
    return kExitFailure;
  }

  std::error_code error;
  fs::path dir = fs::absolute(options.dir, error).lexically_normal();
  if (error) {
    errors << "kirvs init: " << options.dir << ": " << error.message() << "\n";
    return kExitFailure;
  }
  const fs::path db_path = dir / kDatabaseFileName;
  const fs::path ini_path = dir / kSettingsFileName;
  if (!options.database.empty()) {
    return InitOnPostgres(options, dir, ini_path, output, errors);
  }

  // Checked before anything is made: the engine could not find a database
  // whose path the settings file cannot hold.
  const size_t db_path_length = Utf8Length(db_path.string());
  if (db_path_length > kMaxSettingLength) {
    errors << "kirvs init: the database path " << db_path.string() << " is "
           << db_path_length << " characters long; DBPath holds at "
           << "most " << kMaxSettingLength
           << ". Choose a folder with a shorter path.\n";
    return kExitFailure;
  }

  for (const fs::path& file : {db_path, ini_path}) {
    if (fs::exists(fs::symlink_status(file, error))) {
      if (!options.force) {
        errors << "kirvs init: " << file.string()
               << " already exists; use --force to replace it\n";
        return kExitFailure;
      }
    }
  }

  fs::create_directories(dir, error);
  if (error) {
    errors << "kirvs init: cannot create " << dir.string() << ": "
           << error.message() << "\n";
    return kExitFailure;
  }
  // With --force the old files go; without it only a stale log of a
  // database that no longer exists can be here, and it must not be replayed
  // into the new one.
  RemoveDatabaseFiles(db_path);
  fs::remove(ini_path, error);
  if (fs::exists(fs::symlink_status(db_path, error)) ||
      fs::exists(fs::symlink_status(ini_path, error))) {
    errors << "kirvs init: cannot replace the files in " << dir.string()
           << "\n";
    return kExitFailure;
  }

  Status s = CreatePrivateFile(db_path);
  if (s.ok()) s = CreatePrivateFile(ini_path);
  if (s.ok()) s = MakeDatabase(db_path, options);
  if (s.ok()) s = WriteSettings(ini_path, db_path.string());
  if (!s.ok()) {
    // Leave nothing half made behind.
    RemoveDatabaseFiles(db_path);
    fs::remove(ini_path, error);
    errors << "kirvs init: " << s.message() << "\n";
    return kExitFailure;
  }

  output << "Created database " << db_path.string() << "\n"
         << "Created settings " << ini_path.string() << "\n";
  if (options.demo) PrintDemoSummary(options, output);
  output << "Point the engine at it with --ini " << ini_path.string()
         << " or KIRVS_INI=" << ini_path.string() << "\n";
  return kExitOk;
}

}  // namespace kirvs
