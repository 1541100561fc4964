// The settings file KIRVS.INI: sections of key=value lines.
//
// Reading follows the profile functions of the original platform: section
// and key names match without regard to case, blanks around names and values
// are trimmed, the first of duplicate keys (and sections) wins, lines that are
// neither a "[section]" header nor "key=value" are ignored, values are read as
// at most 159 characters, and a value "empty" reads as empty text.
//
// Writing rewrites one key and leaves every other line as it was, creating
// the file, the section or the key when missing.
//
// Thread safety: any number of threads and processes may read and write one
// file at once. Writers are serialised by an advisory lock on a lock file
// beside the settings file (path + ".lock") and replace the file atomically
// (temporary file, then rename), so no writer loses another's key and no
// reader sees half a file.

#ifndef KIRVS_SRC_PLATFORM_SETTINGS_FILE_H_
#define KIRVS_SRC_PLATFORM_SETTINGS_FILE_H_

#include <string>
#include <string_view>

namespace kirvs {

// The longest value a read returns, in bytes.
inline constexpr size_t kMaxSettingLength = 159;

// The settings file the engine uses when it is given none: the environment
// variable KIRVS_INI, else "KIRVS.INI" in the working directory.
std::string DefaultSettingsPath();

// The value of `key` in `section` of the file at `path`; empty text when the
// file, the section or the key is missing, or when the value is "empty".
std::string ReadIniString(const std::string& path, std::string_view section,
                          std::string_view key);

// Writes `value` under `key` in `section` of the file at `path`. Returns
// true when the value was written. Line ends inside `value` become blanks, so
// that a value can never add lines of its own.
bool WriteIniString(const std::string& path, std::string_view section,
                    std::string_view key, std::string_view value);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_SETTINGS_FILE_H_
