#include "login/logout.h"

#include <memory>

#include "data/login_entries.h"
#include "data/settings.h"
#include "pages/page_source.h"
#include "platform/escape.h"

namespace kirvs {

bool Logout(SessionState* session, const Variant& user_id) {
  const std::string db_path = ReadDatabasePath(session->settings_path);
  if (db_path.empty()) {
    session->error_text = kNoDbPathMessage;
    return false;
  }
  std::shared_ptr<Database> db;
  std::unique_ptr<RecordSource> entries;
  Status s =
      OpenForWrite(db_path, LoginEntriesQuery(user_id.ToText()), &db, &entries);
  if (s.ok()) s = RemoveLoginEntries(*db, *entries);
  if (!s.ok()) {
    session->error_text = ErrorMessage(
        "remove login entry from database " + EscapeHtml(db_path), s);
    return false;
  }
  return true;
}

}  // namespace kirvs
