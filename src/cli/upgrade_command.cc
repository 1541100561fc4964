#include "cli/upgrade_command.h"

#include <ostream>

#include "cli/run_command.h"
#include "data/settings.h"
#include "data/upgrade.h"
#include "platform/database.h"
#include "platform/settings_file.h"

namespace kirvs {

namespace {

void PrintList(std::ostream& output, const char* what,
               const std::vector<std::string>& names) {
  if (names.empty()) return;
  output << "  " << what << ":";
  for (const std::string& name : names) output << " " << name;
  output << "\n";
}

}  // namespace

int RunUpgrade(const std::string& ini, std::ostream& output,
               std::ostream& errors) {
  const std::string settings = ini.empty() ? DefaultSettingsPath() : ini;
  const std::string db_path = ReadSetting(settings, "DBPath");
  if (db_path.empty()) {
    errors << "kirvs upgrade: no DBPath in the settings file " << settings
           << "\n";
    return kExitFailure;
  }
  UpgradeReport report;
  Status s = UpgradeDatabase(db_path, &report);
  if (!s.ok()) {
    errors << "kirvs upgrade: " << s.message()
           << "\nThe database was left as it was.\n";
    return kExitFailure;
  }
  if (report.already_current) {
    output << DisplayPath(db_path)
           << " already has the current layout (version " << report.from_version
           << "); nothing to do.\n";
    return kExitOk;
  }
  output << "Upgraded " << DisplayPath(db_path) << " from layout version "
         << report.from_version << " to " << Database::kLayoutVersion << ":\n";
  PrintList(output, "added tables", report.added_tables);
  PrintList(output, "added columns", report.added_columns);
  PrintList(output, "text now compares without regard to case in",
            report.rebuilt_tables);
  output << "  merged login entries: " << report.merged_login_entries << "\n"
         << "  hashed passwords: " << report.hashed_passwords << "\n";
  return kExitOk;
}

}  // namespace kirvs
