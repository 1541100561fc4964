#include "data/accounts.h"

#include <memory>

#include "platform/ascii.h"
#include "platform/database.h"
#include "platform/escape.h"
#include "platform/password_hash.h"
#include "platform/record_source.h"

namespace kirvs {

namespace {

std::string Quoted(std::string_view text) {
  std::string quoted = "'";
  AppendSqlText(&quoted, text);
  quoted += "'";
  return quoted;
}

// The rows of `table` whose `column` equals `value` (the column's own
// comparison, which ignores case on the current layout).
Status OpenWhere(const std::shared_ptr<Database>& db, std::string_view table,
                 std::string_view column, std::string_view value, OpenMode mode,
                 std::unique_ptr<RecordSource>* rs) {
  std::string query = "SELECT * FROM ";
  query += table;
  query += " WHERE [";
  query += column;
  query += "]=" + Quoted(value);
  return RecordSource::Open(db, query, mode, rs);
}

// The name of the column at `position` of `table`; the engine reads the
// password and the personnel name by position, whatever they are called.
Status ColumnNameAt(const std::shared_ptr<Database>& db, std::string_view table,
                    int position, std::string* name) {
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(db, "SELECT * FROM " + std::string(table),
                                OpenMode::kUpdate, &rs);
  if (!s.ok()) return s;
  if (rs->field_count() <= position) {
    return Status::NotFound("unknown column: #" + std::to_string(position) +
                            " of " + std::string(table));
  }
  *name = rs->field(position).name;
  return Status();
}

Status OpenCurrent(const std::string& db_path, std::shared_ptr<Database>* db) {
  Status s = Database::Open(db_path, db);
  int version = 0;
  if (s.ok()) s = (*db)->LayoutVersion(&version);
  if (s.ok() && version < Database::kLayoutVersion) {
    s = Status::NotSupported(
        "the help desk " + db_path + " has an older layout (version " +
        std::to_string(version) + "); run `kirvs upgrade` first");
  }
  return s;
}

std::string TextOf(RecordSource& rs, std::string_view column) {
  Variant value;
  // A value that cannot be read shows as empty text.
  (void)rs.Get(column, &value);
  return value.ToText();
}

bool HasValue(const Variant& value) {
  return !value.IsNull() && !value.IsEmpty() && !value.ToText().empty();
}

// Commits `s`'s work on `db`, or undoes it when something failed.
Status Finish(Database* db, Status s) {
  if (s.ok()) s = db->Commit();
  if (!s.ok()) db->Rollback();
  return s;
}

Status CheckWorkGroup(const std::shared_ptr<Database>& db,
                      const std::string& group) {
  std::unique_ptr<RecordSource> rs;
  Status s =
      OpenWhere(db, "Work_Groups", "WorkGroup", group, OpenMode::kRead, &rs);
  if (!s.ok() || !rs->eof()) return s;
  return Status::InvalidArgument("there is no work group " + group +
                                 " in Work_Groups");
}

// The Personnel row a new account signs in as: ok with `*take_up` false
// when a row is to be added, true when the row of that name already belongs
// to this user id (kept when the user was removed earlier).
Status CheckNewProfile(const std::shared_ptr<Database>& db,
                       const NewAccount& account, bool* take_up) {
  *take_up = false;
  std::string name_column;
  Status s = ColumnNameAt(db, "Personnel", 0, &name_column);
  std::unique_ptr<RecordSource> rs;
  if (s.ok()) {
    s = OpenWhere(db, "Personnel", name_column, account.person, OpenMode::kRead,
                  &rs);
  }
  if (!s.ok()) return s;
  if (!rs->eof()) {
    const std::string owner = TextOf(*rs, "UserId");
    if (EqualsIgnoringCase(owner, account.user_id)) {
      *take_up = true;
      return Status();
    }
    return Status::InvalidArgument(
        "the personnel name " + account.person + " exists already" +
        (owner.empty() ? std::string() : " (user id " + owner + ")"));
  }
  s = OpenWhere(db, "Personnel", "UserId", account.user_id, OpenMode::kRead,
                &rs);
  if (s.ok() && !rs->eof()) {
    Variant name;
    // The refusal stands whether or not the profile's name can be read.
    (void)rs->Get(0, &name);
    s = Status::InvalidArgument("the user id " + account.user_id +
                                " already has the personnel profile " +
                                name.ToText());
  }
  return s;
}

// Whether `account` can be added to `db`; see CheckNewProfile for
// `*take_up`.
Status CheckNewAccountRows(const std::shared_ptr<Database>& db,
                           const NewAccount& account, bool* take_up) {
  std::unique_ptr<RecordSource> rs;
  Status s = OpenWhere(db, "System_Users", "UserId", account.user_id,
                       OpenMode::kRead, &rs);
  if (s.ok() && !rs->eof()) {
    s = Status::InvalidArgument("the user id " + TextOf(*rs, "UserId") +
                                " exists already");
  }
  if (s.ok()) s = CheckNewProfile(db, account, take_up);
  if (s.ok() && !account.work_group.empty()) {
    s = CheckWorkGroup(db, account.work_group);
  }
  return s;
}

Status InsertAccount(const std::shared_ptr<Database>& db,
                     const NewAccount& account, const std::string& hash) {
  bool take_up = false;
  Status s = CheckNewAccountRows(db, account, &take_up);
  std::unique_ptr<RecordSource> rs;
  if (s.ok()) {
    s = OpenWhere(db, "System_Users", "UserId", account.user_id,
                  OpenMode::kUpdate, &rs);
  }
  if (s.ok()) s = rs->AddNew();
  if (s.ok()) s = rs->Set("UserId", Variant(account.user_id));
  if (s.ok()) s = rs->Set(1, Variant(hash));
  if (s.ok() && rs->FieldIndex("FullName") >= 0) {
    s = rs->Set("FullName", Variant(account.person));
  }
  if (s.ok()) s = rs->Update();
  if (!s.ok()) return s;

  std::unique_ptr<RecordSource> person;
  s = OpenWhere(db, "Personnel", "UserId", account.user_id, OpenMode::kUpdate,
                &person);
  if (!s.ok()) return s;
  if (take_up) {
    if (account.work_group.empty()) return Status();
    s = person->MoveFirst();
  } else {
    s = person->AddNew();
    if (s.ok()) s = person->Set(0, Variant(account.person));
    if (s.ok()) s = person->Set("UserId", Variant(account.user_id));
  }
  if (s.ok() && !account.work_group.empty()) {
    s = person->Set(1, Variant(account.work_group));
  }
  if (s.ok()) s = person->Update();
  return s;
}

}  // namespace

Status CheckCurrentLayout(const std::string& db_path) {
  std::shared_ptr<Database> db;
  return OpenCurrent(db_path, &db);
}

Status CheckNewAccount(const std::string& db_path, const NewAccount& account) {
  Status s = CheckUserIdText(account.user_id);
  if (s.ok()) s = CheckPersonNameText(account.person);
  if (s.ok() && !account.work_group.empty()) {
    s = CheckWorkGroupText(account.work_group);
  }
  std::shared_ptr<Database> db;
  if (s.ok()) s = OpenCurrent(db_path, &db);
  bool take_up = false;
  if (s.ok()) s = CheckNewAccountRows(db, account, &take_up);
  return s;
}

Status AddAccount(const std::string& db_path, const NewAccount& account) {
  Status s = CheckUserIdText(account.user_id);
  if (s.ok()) s = CheckPersonNameText(account.person);
  if (s.ok() && !account.work_group.empty()) {
    s = CheckWorkGroupText(account.work_group);
  }
  if (s.ok()) s = CheckPasswordText(account.password);
  std::shared_ptr<Database> db;
  if (s.ok()) s = OpenCurrent(db_path, &db);
  // Hashing takes a while on purpose; it is done before the write lock is
  // taken, so that other sessions' saves do not wait for it.
  std::string hash;
  if (s.ok()) s = HashPassword(account.password, &hash);
  if (s.ok()) s = db->Begin();
  if (!s.ok()) return s;
  return Finish(db.get(), InsertAccount(db, account, hash));
}

Status FindAccount(const std::string& db_path, const std::string& user_id) {
  std::shared_ptr<Database> db;
  Status s = OpenCurrent(db_path, &db);
  std::unique_ptr<RecordSource> rs;
  if (s.ok()) {
    s = OpenWhere(db, "System_Users", "UserId", user_id, OpenMode::kRead, &rs);
  }
  if (s.ok() && rs->eof()) {
    s = Status::NotFound("there is no user id " + user_id);
  }
  return s;
}

Status SetAccountPassword(const std::string& db_path,
                          const std::string& user_id,
                          const std::string& password) {
  Status s = CheckPasswordText(password);
  std::shared_ptr<Database> db;
  if (s.ok()) s = OpenCurrent(db_path, &db);
  std::string hash;
  if (s.ok()) s = HashPassword(password, &hash);
  if (s.ok()) s = db->Begin();
  if (!s.ok()) return s;
  std::unique_ptr<RecordSource> rs;
  s = OpenWhere(db, "System_Users", "UserId", user_id, OpenMode::kUpdate, &rs);
  if (s.ok() && rs->eof()) {
    s = Status::NotFound("there is no user id " + user_id);
  }
  if (s.ok()) s = rs->Set(1, Variant(hash));
  if (s.ok()) s = rs->Update();
  return Finish(db.get(), s);
}

Status RemoveAccount(const std::string& db_path, const std::string& user_id,
                     bool with_profile,
                     std::vector<std::string>* removed_profiles) {
  removed_profiles->clear();
  std::shared_ptr<Database> db;
  Status s = OpenCurrent(db_path, &db);
  if (s.ok()) s = db->Begin();
  if (!s.ok()) return s;
  std::unique_ptr<RecordSource> rs;
  s = OpenWhere(db, "System_Users", "UserId", user_id, OpenMode::kRead, &rs);
  if (s.ok() && rs->eof()) {
    s = Status::NotFound("there is no user id " + user_id);
  }
  std::vector<std::string> profiles;
  if (s.ok() && with_profile) {
    s = OpenWhere(db, "Personnel", "UserId", user_id, OpenMode::kRead, &rs);
    for (; s.ok() && !rs->eof(); s = rs->MoveNext()) {
      Variant name;
      s = rs->Get(0, &name);
      if (!s.ok()) break;
      profiles.push_back(name.ToText());
    }
    // A profile that could not be read would be deleted unchecked.
    if (s.ok()) s = rs->status();
    for (const std::string& name : profiles) {
      if (!s.ok()) break;
      std::unique_ptr<RecordSource> requests;
      s = OpenWhere(db, "Current_Requests", "Personnel", name, OpenMode::kRead,
                    &requests);
      if (s.ok() && !requests->eof()) {
        const int32_t count = requests->RecordCount();
        s = Status::InvalidArgument(
            name + " still has " + std::to_string(count) +
            " outstanding request" + (count == 1 ? "" : "s") +
            "; allocate them to someone else first, or keep the profile "
            "(leave out --with-profile)");
      }
    }
    if (s.ok()) {
      s = db->Execute("DELETE FROM Personnel WHERE UserId=" + Quoted(user_id));
    }
  }
  const std::string id = Quoted(user_id);
  if (s.ok()) s = db->Execute("DELETE FROM System_Users WHERE UserId=" + id);
  if (s.ok()) s = db->Execute("DELETE FROM Logins WHERE UserName=" + id);
  if (s.ok()) s = db->Execute("DELETE FROM User_Factors WHERE UserId=" + id);
  s = Finish(db.get(), s);
  if (s.ok()) *removed_profiles = std::move(profiles);
  return s;
}

Status ListAccounts(const std::string& db_path,
                    std::vector<AccountSummary>* accounts) {
  accounts->clear();
  std::shared_ptr<Database> db;
  Status s = OpenCurrent(db_path, &db);
  std::unique_ptr<RecordSource> users;
  if (s.ok()) {
    s = RecordSource::Open(db, "SELECT * FROM System_Users ORDER BY UserId",
                           OpenMode::kRead, &users);
  }
  for (; s.ok() && !users->eof(); s = users->MoveNext()) {
    AccountSummary account;
    account.user_id = TextOf(*users, "UserId");
    // A value that cannot be read is listed as empty.
    Variant password;
    (void)users->Get(1, &password);
    account.has_password = HasValue(password);
    Variant last_login;
    (void)users->Get("LastLogin", &last_login);
    account.last_login = last_login.ToText();

    std::unique_ptr<RecordSource> rs;
    s = OpenWhere(db, "Personnel", "UserId", account.user_id, OpenMode::kRead,
                  &rs);
    if (s.ok() && !rs->eof()) {
      Variant person, work_group;
      (void)rs->Get(0, &person);
      (void)rs->Get(1, &work_group);
      account.person = person.ToText();
      account.work_group = work_group.ToText();
    }
    if (s.ok()) {
      s = OpenWhere(db, "User_Factors", "UserId", account.user_id,
                    OpenMode::kRead, &rs);
    }
    if (s.ok()) account.has_second_factor = !rs->eof();
    // A login entry is newer than LastLogin only on a help desk that kept
    // none before it was upgraded.
    if (s.ok()) {
      s = OpenWhere(db, "Logins", "UserName", account.user_id, OpenMode::kRead,
                    &rs);
    }
    if (s.ok() && !rs->eof() && account.last_login.empty()) {
      account.last_login = TextOf(*rs, "LoginTime");
    }
    if (s.ok()) accounts->push_back(std::move(account));
  }
  // A user that could not be read would be missing from the list.
  return s.ok() && users ? users->status() : s;
}

bool StoredPasswordMatches(const Variant& stored, std::string_view password) {
  if (!HasValue(stored)) return false;
  const std::string text = stored.ToText();
  if (LooksLikePasswordHash(text)) return VerifyPassword(text, password);
  return text == password;
}

bool CheckLoginPassword(const std::string& db_path, const std::string& user_id,
                        const Variant& stored, const std::string& password) {
  const std::string text = HasValue(stored) ? stored.ToText() : std::string();
  if (text.empty()) {
    CheckNoPassword(password);
    return false;
  }
  if (LooksLikePasswordHash(text)) return VerifyPassword(text, password);
  if (text != password) {
    CheckNoPassword(password);
    return false;
  }
  // Plain text from an older help desk: store its hash now that the
  // password is known, unless another login did so meanwhile.
  std::string hash;
  std::shared_ptr<Database> db;
  std::unique_ptr<RecordSource> rs;
  Status s = HashPassword(password, &hash);
  if (s.ok()) s = Database::Open(db_path, &db);
  if (s.ok()) s = db->Begin();
  if (s.ok()) {
    s = OpenWhere(db, "System_Users", "UserId", user_id, OpenMode::kUpdate,
                  &rs);
  }
  Variant current;
  if (s.ok() && !rs->eof() && rs->Get(1, &current).ok() &&
      current.ToText() == text) {
    s = rs->Set(1, Variant(hash));
    if (s.ok()) s = rs->Update();
  }
  // The password matched: a hash that could not be stored leaves the plain
  // text, which the next login tries to replace again.
  if (db) (void)Finish(db.get(), s);
  return true;
}

void CheckNoPassword(const std::string& password) { VerifyNothing(password); }

void NoteLastLogin(const std::string& db_path, const std::string& user_id,
                   double moment) {
  std::shared_ptr<Database> db;
  std::unique_ptr<RecordSource> rs;
  Status s = Database::Open(db_path, &db);
  if (s.ok()) {
    s = OpenWhere(db, "System_Users", "UserId", user_id, OpenMode::kUpdate,
                  &rs);
  }
  if (!s.ok() || rs->FieldIndex("LastLogin") < 0) return;
  // LastLogin is a note for the administrator: when it cannot be written
  // the previous one stays, and the login goes on.
  if (!rs->eof() && rs->Set("LastLogin", Variant::Date(moment)).ok()) {
    (void)rs->Update();
  }
}

}  // namespace kirvs
