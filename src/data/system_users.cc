#include "data/system_users.h"

#include <memory>

#include "data/settings.h"
#include "platform/escape.h"
#include "platform/record_source.h"

namespace kirvs {

Status FindUserEntry(const std::string& settings_path, std::string_view user_id,
                     std::optional<UserEntry>* entry) {
  entry->reset();
  std::string db_path = ReadSetting(settings_path, "DBPath");
  if (db_path.empty()) return Status::NotFound(kNoDbPathMessage);
  std::string query =
      "SELECT UserId, Password, FullName FROM System_Users WHERE UserId='";
  AppendSqlText(&query, user_id);
  query += "'";
  std::unique_ptr<RecordSource> users;
  Status s = RecordSource::Open(db_path, query, OpenMode::kRead, &users);
  if (!s.ok() || users->eof()) return s;
  Variant id, password, full_name;
  if (!(s = users->Get(0, &id)).ok() || !(s = users->Get(1, &password)).ok() ||
      !(s = users->Get(2, &full_name)).ok()) {
    return s;
  }
  UserEntry found{id.ToText(), std::nullopt, full_name.ToText()};
  if (!password.IsNull() && !password.IsEmpty()) {
    found.password = password.ToText();
  }
  *entry = std::move(found);
  return Status();
}

}  // namespace kirvs
