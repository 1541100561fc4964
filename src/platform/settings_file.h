// The settings file KIRVS.INI: sections of key=value lines.
//
// Reading follows the profile functions of the original platform: section
// and key names match without regard to case, blanks around names and values
// are trimmed, the first of duplicate keys (and sections) wins, lines that are
// neither a "[section]" header nor "key=value" are ignored, a value enclosed
// in one pair of double quotes is read without them, values are read as at
// most 159 characters (UTF-8 code points, never part of one), and a value
// "empty" reads as empty text. LF and CRLF line ends and a leading UTF-8 byte
// order mark are all read.
//
// Writing rewrites one key and leaves every other line byte for byte as it
// was (line ends, byte order mark, a missing final line end included),
// creating the file, the section or the key when missing. The file keeps its
// owner and permissions; a symbolic link keeps pointing at it.
//
// Thread safety: any number of threads and processes may read and write one
// file at once. Writers are serialised by an advisory lock on a lock file
// beside the settings file (its path + ".lock", the path a symbolic link
// points at) and replace the file atomically (temporary file, then rename),
// so no writer loses another's key and no reader sees half a file.

#ifndef KIRVS_SRC_PLATFORM_SETTINGS_FILE_H_
#define KIRVS_SRC_PLATFORM_SETTINGS_FILE_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/status.h"

namespace kirvs {

// The longest value a read returns, in characters (UTF-8 code points).
inline constexpr size_t kMaxSettingLength = 159;

// The settings file the engine uses when it is given none: the environment
// variable KIRVS_INI, else "KIRVS.INI" in the working directory.
std::string DefaultSettingsPath();

// The value of `key` in `section` of the file at `path`; empty text when the
// file, the section or the key is missing, or when the value is "empty".
std::string ReadIniString(const std::string& path, std::string_view section,
                          std::string_view key);

// Writes `value` under `key` in `section` of the file at `path`. Line ends
// inside `value` become blanks, so that a value can never add lines of its own.
// Fails, changing nothing, when the file exists but cannot be read, or when a
// name could not be read back as written: an empty name, a line end in either
// name, "]" in the section,
// "=" in the key or "[" at its start. Blanks around names do not count.
Status WriteIniString(const std::string& path, std::string_view section,
                      std::string_view key, std::string_view value);

// A key and its value.
using SettingEntry = std::pair<std::string, std::string>;

// Writes several keys of one section at once, in order, as WriteIniString
// writes each (a later entry of the same key wins), under one lock and with
// one replacement of the file; all of them or, on failure, none.
Status WriteIniStrings(const std::string& path, std::string_view section,
                       const std::vector<SettingEntry>& entries);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_SETTINGS_FILE_H_
