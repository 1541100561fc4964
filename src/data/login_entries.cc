#include "data/login_entries.h"

#include "platform/clock.h"
#include "platform/escape.h"

namespace kirvs {

namespace {

constexpr int kUserNameColumn = 1;
constexpr int kLoginTimeColumn = 2;

// Whether the current row's user name is `user_id`, case included.
bool IsEntryOf(RecordSource& entries, const std::string& user_id) {
  Variant name;
  return entries.Get(kUserNameColumn, &name).ok() && name.ToText() == user_id;
}

}  // namespace

std::string LoginEntriesQuery(std::string_view user_id) {
  std::string query = "SELECT * FROM Logins WHERE UserName='";
  AppendSqlText(&query, user_id);
  query += "'";
  return query;
}

Status FindLoginEntry(const std::string& db_path, const std::string& user_id,
                      bool* found) {
  *found = false;
  std::unique_ptr<RecordSource> entries;
  Status s = RecordSource::Open(db_path, LoginEntriesQuery(user_id),
                                OpenMode::kRead, &entries);
  for (; s.ok() && !entries->eof(); s = entries->MoveNext()) {
    if (IsEntryOf(*entries, user_id)) {
      *found = true;
      break;
    }
  }
  return s;
}

Status RemoveLoginEntries(Database& db, RecordSource& entries) {
  Status s = entries.MoveFirst();
  while (s.ok() && !entries.eof()) {
    s = entries.Delete();
    if (s.ok()) s = entries.MoveNext();
  }
  entries.Close();
  if (s.ok()) s = db.Commit();
  if (!s.ok()) db.Rollback();
  return s;
}

Status RecordLoginEntry(Database& db, RecordSource& entries,
                        const std::string& user_id) {
  const Variant now = Variant::Date(CurrentMoment());
  Status s = entries.MoveFirst();
  while (s.ok() && !entries.eof() && !IsEntryOf(entries, user_id)) {
    s = entries.MoveNext();
  }
  if (s.ok() && !entries.eof()) {
    s = entries.Set(kLoginTimeColumn, now);
    if (s.ok()) s = entries.Update();
    entries.Close();
    if (s.ok()) s = db.Commit();
    // The user is signed in whether or not his entry's time was refreshed,
    // so a failed refresh is undone and not reported.
    if (!s.ok()) db.Rollback();
    return Status();
  }
  if (s.ok()) s = entries.AddNew();
  if (s.ok()) s = entries.Set(kUserNameColumn, Variant(user_id));
  if (s.ok()) s = entries.Set(kLoginTimeColumn, now);
  if (s.ok()) s = entries.Update();
  entries.Close();
  if (s.ok()) s = db.Commit();
  if (!s.ok()) db.Rollback();
  return s;
}

}  // namespace kirvs
