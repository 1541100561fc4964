// The settings file reader and writer. The input is a file as it may stand
// on disk, then (after a line "@@") a section, a key and a value to write.
// Oracle: a write that succeeds reads back as written (for values the file
// holds as they stand), and leaves every other key of the file as it read.

#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/ascii.h"
#include "platform/settings_file.h"

namespace {

using kirvs::fuzz::Fail;

// Whether a value is read back exactly as written: plain printable ASCII,
// no blanks at either end, no quotes, short enough and not the word that
// reads as empty text.
bool ReadsBackAsItStands(std::string_view value) {
  if (value.empty() || value.size() > kirvs::kMaxSettingLength) return false;
  if (value.front() == ' ' || value.back() == ' ' || value == "empty") {
    return false;
  }
  for (char c : value) {
    if (c < 0x20 || c > 0x7e || c == '"' || c == '\'') return false;
  }
  return true;
}

// Whether a name given to a write names `name`: blanks around it and ASCII
// case do not count.
bool SameName(std::string_view given, std::string_view name) {
  return kirvs::EqualsIgnoringCase(kirvs::TrimBlanks(given), name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find("\n@@\n");
  std::string_view file = input.substr(0, split);
  std::vector<std::string> write;
  if (split != std::string_view::npos) {
    write = kirvs::fuzz::Lines(input.substr(split + 4));
  }
  write.resize(3);
  static const std::string path =
      kirvs::fuzz::TempFolder("kirvs_fuzz_ini_") + "/KIRVS.INI";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << file;

  // A key elsewhere in the file, read before and after the write.
  const std::string other_section = "Settings";
  const std::string other_key = "DBPath";
  const std::string before =
      kirvs::ReadIniString(path, other_section, other_key);
  kirvs::ReadIniString(path, write[0], write[1]);

  if (!kirvs::WriteIniString(path, write[0], write[1], write[2]).ok()) return 0;
  const std::string read = kirvs::ReadIniString(path, write[0], write[1]);
  if (ReadsBackAsItStands(write[2]) && read != write[2]) {
    Fail("wrote [" + write[0] + "] " + write[1] + "=" + write[2] +
         ", read back " + read);
  }
  const bool same_key =
      SameName(write[0], other_section) && SameName(write[1], other_key);
  if (!same_key &&
      kirvs::ReadIniString(path, other_section, other_key) != before) {
    Fail("DBPath changed from " + before + " by writing [" + write[0] + "] " +
         write[1]);
  }
  return 0;
}
