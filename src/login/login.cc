#include "login/login.h"

#include <memory>

#include "data/settings.h"
#include "kirvs/submitted_form.h"
#include "platform/clock.h"
#include "platform/escape.h"
#include "platform/record_source.h"

namespace kirvs {

namespace {

// "fixed words" + " (" + error text + ")." with the error text escaped.
std::string Failure(std::string words, const std::string& error_text) {
  return words + " (" + EscapeHtml(error_text) + ").";
}

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
  if (user_id.empty()) {
    session->error_text =
        "Unable to login.  User Id has not been correctly specified.";
    return false;
  }
  std::string db_path = ReadSetting(session->settings_path, "DBPath");
  if (db_path.empty()) {
    session->error_text = kNoDbPathMessage;
    return false;
  }
  if (!AuthenticateUser(session, db_path, user_id, password)) return false;
  if (!WriteLoginEntry(session, db_path, user_id)) return false;
  session->user_id = user_id;
  return true;
}

bool AuthenticateUser(SessionState* session, const std::string& db_path,
                      const std::string& user_id, const std::string& password) {
  const std::string path = EscapeHtml(db_path);
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(db_path, UserQuery("System_Users", user_id),
                                OpenMode::kRead, &rs);
  if (!s.ok()) {
    session->error_text = Failure(
        "An error occurred while trying to open System_Users table in "
        "database " +
            path,
        s.message());
    return false;
  }
  if (rs->eof()) {
    session->error_text = "Unable to locate user: " + EscapeHtml(user_id) +
                          " in database: " + path;
    return false;
  }
  Variant stored;
  rs->Get(1, &stored);
  // A null or empty stored password is no password at all: it matches
  // nothing, not even a login that posts none.
  if (stored.IsNull() || stored.ToText().empty() ||
      stored.ToText() != password) {
    session->error_text =
        "Unable to complete login process.  Supplied password is incorrect.";
    return false;
  }
  rs->Close();
  s = RecordSource::Open(db_path, UserQuery("Personnel", user_id),
                         OpenMode::kRead, &rs);
  if (!s.ok()) {
    session->error_text = Failure(
        "An error occurred while trying to open Personnel table in database " +
            path,
        s.message());
    return false;
  }
  if (rs->eof()) {
    session->error_text =
        "Unable to locate personnel profile for user: " + EscapeHtml(user_id) +
        " in database: " + path;
    return false;
  }
  Variant name;
  rs->Get(0, &name);
  session->personnel_name = name.ToText();
  return true;
}

bool WriteLoginEntry(SessionState* session, const std::string& db_path,
                     const std::string& user_id) {
  std::shared_ptr<Database> db;
  Status s = Database::Open(db_path, &db);
  if (s.ok()) s = db->Begin();
  std::unique_ptr<RecordSource> rs;
  if (s.ok()) {
    std::string query = "SELECT * FROM Logins WHERE UserName='";
    AppendSqlText(&query, user_id);
    query += "'";
    s = RecordSource::Open(db, query, OpenMode::kUpdate, &rs);
  }
  if (!s.ok()) {
    session->error_text = Failure(
        "An error occurred while trying to open Logins table in database " +
            EscapeHtml(db_path),
        s.message());
    return false;
  }
  const Variant now = Variant::Date(CurrentMoment());
  for (rs->MoveFirst(); !rs->eof(); rs->MoveNext()) {
    Variant name;
    rs->Get(1, &name);
    if (name.ToText() != user_id) continue;
    // Refreshing the time of an existing entry may fail unreported: the
    // user is signed in either way.
    if (rs->Set(2, now).ok() && rs->Update().ok()) db->Commit();
    return true;
  }
  s = rs->AddNew();
  if (s.ok()) s = rs->Set(1, Variant(user_id));
  if (s.ok()) s = rs->Set(2, now);
  if (s.ok()) s = rs->Update();
  rs->Close();
  if (s.ok()) s = db->Commit();
  if (!s.ok()) {
    session->error_text = Failure(
        "Unable to login to Dravel database. An error occured while trying "
        "to write login entry",
        s.message());
    return false;
  }
  return true;
}

}  // namespace kirvs
