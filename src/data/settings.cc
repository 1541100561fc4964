#include "data/settings.h"

#include "platform/settings_file.h"

namespace kirvs {

std::string ReadSetting(const std::string& settings_path,
                        std::string_view key) {
  return ReadIniString(settings_path, "Settings", key);
}

std::string ReadDatabasePath(const std::string& settings_path) {
  return ReadSetting(settings_path, "DBPath");
}

std::string ReadColumnList(const std::string& settings_path,
                           std::string_view key) {
  std::string list = ReadSetting(settings_path, key);
  return list.empty() ? "*" : list;
}

}  // namespace kirvs
