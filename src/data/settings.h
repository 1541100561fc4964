// The two shorthand reads of the settings file that every handler uses.
// Each call reads the file afresh, so an edit takes effect with the next
// command. Thread-safe.

#ifndef KIRVS_SRC_DATA_SETTINGS_H_
#define KIRVS_SRC_DATA_SETTINGS_H_

#include <string>
#include <string_view>

namespace kirvs {

// The value of `key` in section "Settings"; empty text when missing.
std::string ReadSetting(const std::string& settings_path, std::string_view key);

// The setting DBPath: the path of the help-desk database; empty text when
// missing.
std::string ReadDatabasePath(const std::string& settings_path);

// A column list: the value of `key` in section "Settings", "*" when empty.
// It is the administrator's SQL and is inserted into queries as it stands.
std::string ReadColumnList(const std::string& settings_path,
                           std::string_view key);

// The message of a handler that finds no DBPath setting.
inline constexpr char kNoDbPathMessage[] =
    "Unable to retrieve DBPath parameter from KIRVS.TXT file.";

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_SETTINGS_H_
