#include "web/readable_files.h"

#include <sys/stat.h>

#include <ostream>

#include "data/settings.h"

namespace kirvs::web {

namespace {

bool ReadableByOthers(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         (info.st_mode & 044) != 0;
}

void Warn(const std::string& path, const char* what, std::ostream& errors) {
  if (!ReadableByOthers(path)) return;
  errors << "kirvs serve: warning: other users can read the " << what << " "
         << path << "; make it private with chmod 600\n";
}

}  // namespace

void WarnAboutReadableFiles(const std::string& settings_path,
                            std::ostream& errors) {
  Warn(settings_path, "settings file", errors);
  std::string database = ReadSetting(settings_path, "DBPath");
  if (!database.empty()) Warn(database, "database file", errors);
}

}  // namespace kirvs::web
