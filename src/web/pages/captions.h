// The names people read for the help desk's column names, in labels and
// list headers: "Request" for RequestNo, "User ID" for UserId. A caption in
// section [Captions] of the settings file (Name=Caption) comes first; then
// the front's own caption for a column of the help desk; any other name is
// split into words ("PurchaseDate" -> "Purchase date", "Due_By" -> "Due
// by").
//
// Thread safety: a Captions belongs to the page it is made for (it keeps
// what it has read); SplitName is pure.

#ifndef KIRVS_SRC_WEB_PAGES_CAPTIONS_H_
#define KIRVS_SRC_WEB_PAGES_CAPTIONS_H_

#include <map>
#include <string>
#include <string_view>

namespace kirvs::web {

class Captions {
 public:
  // `settings_path` empty: no [Captions] section, the front's own only.
  explicit Captions(std::string settings_path = "");

  // The caption of the column `name` (plain text). The settings file is
  // read once per name.
  const std::string& Of(std::string_view name) const;

 private:
  std::string settings_path_;
  mutable std::map<std::string, std::string, std::less<>> known_;
};

// `name` as words: split where a lower-case letter or digit meets a capital
// and at underscores, the words after the first in lower case unless they
// are all capitals; "Id" is "ID".
std::string SplitName(std::string_view name);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_CAPTIONS_H_
