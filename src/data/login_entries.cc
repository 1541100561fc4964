#include "data/login_entries.h"

#include "platform/ascii.h"
#include "platform/clock.h"
#include "platform/escape.h"

namespace kirvs {

namespace {

constexpr int kUserNameColumn = 1;
constexpr int kLoginTimeColumn = 2;

// Whether the current row's user name is `user_id`, ASCII case ignored.
bool IsEntryOf(RecordSource& entries, const std::string& user_id) {
  Variant name;
  return entries.Get(kUserNameColumn, &name).ok() &&
         EqualsIgnoringCase(name.ToText(), user_id);
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
  if (!s.ok()) return s;
  for (; s.ok() && !entries->eof(); s = entries->MoveNext()) {
    if (IsEntryOf(*entries, user_id)) {
      *found = true;
      return Status();
    }
  }
  // A failed read ends the walk early; it sticks in status().
  return entries->status();
}

Status RemoveLoginEntries(Database& db, RecordSource& entries) {
  Status s = entries.MoveFirst();
  while (s.ok() && !entries.eof()) {
    s = entries.Delete();
    if (s.ok()) s = entries.MoveNext();
  }
  // An entry that could not be read was not deleted.
  if (s.ok()) s = entries.status();
  entries.Close();
  if (s.ok()) s = db.Commit();
  if (!s.ok()) db.Rollback();
  return s;
}

Status SeekLoginEntry(RecordSource& entries, const std::string& user_id) {
  Status s = entries.MoveFirst();
  while (s.ok() && !entries.eof() && !IsEntryOf(entries, user_id)) {
    s = entries.MoveNext();
  }
  return s.ok() ? entries.status() : s;
}

Status RecordLoginEntry(Database& db, RecordSource& entries,
                        const std::string& user_id) {
  const Variant now = Variant::Date(CurrentMoment());
  if (!entries.eof()) {
    Status s = entries.Set(kLoginTimeColumn, now);
    if (s.ok()) s = entries.Update();
    entries.Close();
    if (s.ok()) s = db.Commit();
    // The user is signed in whether or not his entry's time was refreshed,
    // so a failed refresh is undone and not reported.
    if (!s.ok()) db.Rollback();
    return Status();
  }
  Status s = entries.AddNew();
  if (s.ok()) s = entries.Set(kUserNameColumn, Variant(user_id));
  if (s.ok()) s = entries.Set(kLoginTimeColumn, now);
  if (s.ok()) s = entries.Update();
  entries.Close();
  if (s.ok()) s = db.Commit();
  if (!s.ok()) db.Rollback();
  return s;
}

}  // namespace kirvs
