#include "login/logout.h"

#include <memory>

#include "data/settings.h"
#include "platform/ascii.h"
#include "platform/escape.h"
#include "platform/record_source.h"

namespace kirvs {

namespace {

std::string LoginsQuery(const std::string& user_id) {
  std::string query = "SELECT * FROM Logins WHERE UserName='";
  AppendSqlText(&query, user_id);
  query += "'";
  return query;
}

}  // namespace

bool Logout(SessionState* session, const Variant& user_id) {
  std::string db_path = ReadSetting(session->settings_path, "DBPath");
  if (db_path.empty()) {
    session->error_text = kNoDbPathMessage;
    return false;
  }
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(db_path, LoginsQuery(user_id.ToText()),
                                OpenMode::kUpdate, &rs);
  if (!s.ok()) {
    session->error_text =
        "An error occurred while trying to remove login entry from database " +
        EscapeHtml(db_path) + " (" + EscapeHtml(s.message()) + ").";
    return false;
  }
  // Every matching entry goes: a user id left with a second entry would
  // still count as signed in after logging out.
  for (rs->MoveFirst(); !rs->eof(); rs->MoveNext()) rs->Delete();
  if (!rs->status().ok()) {
    session->error_text =
        "An error occurred while trying to remove login entry from database " +
        EscapeHtml(db_path) + " (" + EscapeHtml(rs->status().message()) + ").";
    return false;
  }
  return true;
}

bool HasLoginEntry(SessionState* session, const std::string& user_id) {
  std::string db_path = ReadSetting(session->settings_path, "DBPath");
  std::unique_ptr<RecordSource> rs;
  Status s =
      RecordSource::Open(db_path, LoginsQuery(user_id), OpenMode::kRead, &rs);
  if (!s.ok()) {
    session->error_text =
        "An error occurred while trying to open Logins table in database " +
        EscapeHtml(db_path) + " (" + EscapeHtml(s.message()) + ").";
    return false;
  }
  for (; !rs->eof(); rs->MoveNext()) {
    Variant name;
    rs->Get(1, &name);
    if (EqualsIgnoringCase(name.ToText(), user_id)) return true;
  }
  return false;
}

}  // namespace kirvs
