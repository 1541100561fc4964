#include "login/login.h"

#include <memory>

#include "data/accounts.h"
#include "data/login_entries.h"
#include "data/settings.h"
#include "kirvs/submitted_form.h"
#include "pages/page_source.h"
#include "platform/clock.h"
#include "platform/database.h"
#include "platform/escape.h"
#include "platform/record_source.h"

namespace kirvs {

namespace {

std::string UserQuery(std::string_view table, const std::string& user_id) {
  std::string query = "SELECT * FROM ";
  query += table;
  query += " WHERE UserId='";
  AppendSqlText(&query, user_id);
  query += "'";
  return query;
}

}  // namespace

bool Login(SessionState* session, const Variant& form) {
  std::string user_id, password;
  if (const SubmittedForm* posted = form.form()) {
    user_id = posted->Get("txtUserId");
    password = posted->Get("txtPassword");
  }
  // An id that no account can have (a NUL, which would cut the query short,
  // another control character, bytes that are not UTF-8, an id of thousands
  // of characters) is not looked up.
  if (!CheckAnyUserIdText(user_id).ok()) {
    session->error_text =
        "Unable to login.  User Id has not been correctly specified.";
    return false;
  }
  std::string db_path = ReadDatabasePath(session->settings_path);
  if (db_path.empty()) {
    session->error_text = kNoDbPathMessage;
    return false;
  }
  if (!AuthenticateUser(session, db_path, user_id, password)) return false;
  if (!WriteLoginEntry(session, db_path, user_id)) return false;
  NoteLastLogin(db_path, user_id, CurrentMoment());
  session->user_id = user_id;
  return true;
}

bool AuthenticateUser(SessionState* session, const std::string& db_path,
                      const std::string& user_id, const std::string& password) {
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(db_path, UserQuery("System_Users", user_id),
                                OpenMode::kRead, &rs);
  if (!s.ok()) {
    session->error_text =
        ErrorMessage(OpenTableTask("System_Users", db_path), s);
    return false;
  }
  if (rs->eof()) {
    // As slow as a wrong password, so that the time does not tell which
    // user ids exist.
    CheckNoPassword(password);
    session->error_text = "Unable to locate user: " + EscapeHtml(user_id) +
                          " in database: " + EscapeHtml(DisplayPath(db_path));
    return false;
  }
  Variant stored;
  // A stored password that cannot be read stays empty; a null or empty
  // stored password is no password at all: it matches nothing.
  (void)rs->Get(1, &stored);
  rs->Close();
  if (!CheckLoginPassword(db_path, user_id, stored, password)) {
    session->error_text =
        "Unable to complete login process.  Supplied password is incorrect.";
    return false;
  }
  s = RecordSource::Open(db_path, UserQuery("Personnel", user_id),
                         OpenMode::kRead, &rs);
  if (!s.ok()) {
    session->error_text = ErrorMessage(OpenTableTask("Personnel", db_path), s);
    return false;
  }
  if (rs->eof()) {
    session->error_text =
        "Unable to locate personnel profile for user: " + EscapeHtml(user_id) +
        " in database: " + EscapeHtml(DisplayPath(db_path));
    return false;
  }
  Variant name;
  // A profile whose name cannot be read signs in without a name: the name
  // only labels his list.
  (void)rs->Get(0, &name);
  session->personnel_name = name.ToText();
  return true;
}

bool WriteLoginEntry(SessionState* session, const std::string& db_path,
                     const std::string& user_id) {
  std::shared_ptr<Database> db;
  std::unique_ptr<RecordSource> entries;
  if (!OpenTableForWrite(session, db_path, "Logins", LoginEntriesQuery(user_id),
                         &db, &entries)) {
    return false;
  }
  // An entry that could not be read must not be added a second time.
  Status s = SeekLoginEntry(*entries, user_id);
  if (!s.ok()) {
    session->error_text = ErrorMessage(OpenTableTask("Logins", db_path), s);
    return false;
  }
  s = RecordLoginEntry(*db, *entries, user_id);
  if (!s.ok()) {
    session->error_text =
        "Unable to login to Dravel database. An error occured while trying "
        "to write login entry (" +
        EscapeHtml(s.message()) + ").";
    return false;
  }
  return true;
}

}  // namespace kirvs
