#include "web/pages/captions.h"

#include <cctype>
#include <vector>

#include "platform/ascii.h"
#include "platform/settings_file.h"

namespace kirvs::web {

namespace {

// The columns of the help desk whose split name would read badly, and the
// fields of the login page and of the list's sort line.
constexpr std::pair<std::string_view, std::string_view> kOwnCaptions[] = {
    {"RequestNo", "Request"},       {"ActNo", "Activity"},
    {"Date/Time", "Date and time"}, {"SerialNo", "Serial number"},
    {"SUBITEMID", "Sub-item"},      {"Sub-Department", "Sub-department"},
    {"EscalationId", "Escalation"}, {"RequestCost", "Cost"},
    {"DownFlag", "Service down"},   {"txtUserID", "User ID"},
    {"txtPassword", "Password"},    {"sortrequests", "Sort requests by"},
};

bool IsUpper(char c) { return std::isupper(static_cast<unsigned char>(c)); }
bool IsLowerOrDigit(char c) {
  return std::islower(static_cast<unsigned char>(c)) || IsAsciiDigit(c);
}

}  // namespace

Captions::Captions(std::string settings_path)
    : settings_path_(std::move(settings_path)) {}

const std::string& Captions::Of(std::string_view name) const {
  std::string key = AsciiUpper(name);
  auto it = known_.find(key);
  if (it != known_.end()) return it->second;
  std::string caption;
  if (!settings_path_.empty()) {
    caption = std::string(
        TrimBlanks(ReadIniString(settings_path_, "Captions", name)));
  }
  for (const auto& [column, own] : kOwnCaptions) {
    if (caption.empty() && EqualsIgnoringCase(column, name)) caption = own;
  }
  if (caption.empty()) caption = SplitName(name);
  return known_.emplace(std::move(key), std::move(caption)).first->second;
}

std::string SplitName(std::string_view name) {
  std::vector<std::string> words(1);
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c == '_' || c == ' ') {
      if (!words.back().empty()) words.emplace_back();
      continue;
    }
    // A capital starts a word after a small letter or digit, and ends a
    // run of capitals when a small letter follows it ("HTMLPage").
    bool starts = IsUpper(c) && i > 0 &&
                  (IsLowerOrDigit(name[i - 1]) ||
                   (IsUpper(name[i - 1]) && i + 1 < name.size() &&
                    std::islower(static_cast<unsigned char>(name[i + 1]))));
    if (starts && !words.back().empty()) words.emplace_back();
    words.back() += c;
  }
  if (words.back().empty()) words.pop_back();
  std::string caption;
  for (size_t i = 0; i < words.size(); ++i) {
    std::string word = words[i];
    bool capitals = word.size() > 1 && AsciiUpper(word) == word;
    if (EqualsIgnoringCase(word, "Id")) {
      word = "ID";
    } else if (i > 0 && !capitals) {
      for (char& c : word) c = static_cast<char>(std::tolower(c));
    }
    if (i > 0) caption += ' ';
    caption += word;
  }
  if (!caption.empty()) caption[0] = AsciiToUpper(caption[0]);
  return caption;
}

}  // namespace kirvs::web
