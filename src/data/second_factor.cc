#include "data/second_factor.h"

#include <memory>
#include <optional>

#include "data/accounts.h"
#include "platform/database.h"
#include "platform/escape.h"
#include "platform/record_source.h"
#include "platform/totp.h"

namespace kirvs {

namespace {

std::string WhereUser(std::string_view table, std::string_view column,
                      std::string_view user_id) {
  std::string query = "SELECT * FROM ";
  query += table;
  query += " WHERE ";
  query += column;
  query += "='";
  AppendSqlText(&query, user_id);
  query += "'";
  return query;
}

Status OpenFactors(const std::string& db_path, std::shared_ptr<Database>* db) {
  Status s = CheckCurrentLayout(db_path);
  if (s.ok()) s = Database::Open(db_path, db);
  if (s.ok()) s = (*db)->Begin();
  return s;
}

Status Finish(Database* db, Status s) {
  if (s.ok()) s = db->Commit();
  if (!s.ok()) db->Rollback();
  return s;
}

bool IsSixDigits(std::string_view code) {
  if (code.size() != static_cast<size_t>(kTotpDigits)) return false;
  for (char c : code) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

Status StoreSecret(const std::shared_ptr<Database>& db,
                   const std::string& user_id, const std::string& secret) {
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(
      db, WhereUser("System_Users", "UserId", user_id), OpenMode::kRead, &rs);
  if (s.ok() && rs->eof()) {
    s = Status::NotFound("there is no user id " + user_id);
  }
  if (s.ok()) {
    s = RecordSource::Open(db, WhereUser("User_Factors", "UserId", user_id),
                           OpenMode::kUpdate, &rs);
  }
  if (s.ok() && rs->eof()) {
    s = rs->AddNew();
    if (s.ok()) s = rs->Set("UserId", Variant(user_id));
  }
  if (s.ok()) s = rs->Set("Secret", Variant(secret));
  if (s.ok()) s = rs->Set("LastStep", Variant::Null());
  if (s.ok()) s = rs->Update();
  return s;
}

Status CheckCode(const std::shared_ptr<Database>& db,
                 const std::string& user_id, std::string_view code,
                 int64_t unix_now, bool* ok) {
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(
      db, WhereUser("User_Factors", "UserId", user_id), OpenMode::kUpdate, &rs);
  if (!s.ok()) return s;
  if (rs->eof()) {
    return Status::NotFound("user id " + user_id + " has no second factor");
  }
  Variant secret_text, last_step;
  // A secret that cannot be read is refused below as damaged; a last step
  // that cannot be read is none.
  (void)rs->Get("Secret", &secret_text);
  (void)rs->Get("LastStep", &last_step);
  const std::optional<std::string> secret = Base32Decode(secret_text.ToText());
  if (!secret || secret->empty()) {
    return Status::InvalidArgument("the second factor of user id " + user_id +
                                   " has a damaged secret");
  }
  const double last = last_step.IsNumber() ? last_step.number() : -1.0;
  const int64_t now = TotpStep(unix_now);
  for (int64_t step = now - kSecondFactorWindowSteps;
       step <= now + kSecondFactorWindowSteps; ++step) {
    if (static_cast<double>(step) <= last) continue;
    if (!TotpCodeMatches(*secret, step, code)) continue;
    s = rs->Set("LastStep", Variant::Double(static_cast<double>(step)));
    if (s.ok()) s = rs->Update();
    if (s.ok()) *ok = true;
    return s;
  }
  return Status();
}

}  // namespace

Status EnrolSecondFactor(const std::string& db_path, const std::string& user_id,
                         std::string* secret_base32) {
  secret_base32->clear();
  std::shared_ptr<Database> db;
  Status s = OpenFactors(db_path, &db);
  if (!s.ok()) return s;
  const std::string secret = Base32Encode(NewTotpSecret());
  s = Finish(db.get(), StoreSecret(db, user_id, secret));
  if (s.ok()) *secret_base32 = secret;
  return s;
}

Status RemoveSecondFactor(const std::string& db_path,
                          const std::string& user_id, bool* removed) {
  *removed = false;
  std::shared_ptr<Database> db;
  Status s = OpenFactors(db_path, &db);
  if (!s.ok()) return s;
  std::unique_ptr<RecordSource> rs;
  s = RecordSource::Open(db, WhereUser("User_Factors", "UserId", user_id),
                         OpenMode::kUpdate, &rs);
  for (; s.ok() && !rs->eof(); s = rs->MoveNext()) {
    s = rs->Delete();
    *removed = true;
  }
  // A factor that could not be read was not removed.
  if (s.ok()) s = rs->status();
  s = Finish(db.get(), s);
  if (!s.ok()) *removed = false;
  return s;
}

Status HasSecondFactor(const std::string& db_path, const std::string& user_id,
                       bool* has) {
  *has = false;
  Status s = CheckCurrentLayout(db_path);
  std::unique_ptr<RecordSource> rs;
  if (s.ok()) {
    s = RecordSource::Open(db_path,
                           WhereUser("User_Factors", "UserId", user_id),
                           OpenMode::kRead, &rs);
  }
  if (s.ok()) *has = !rs->eof();
  return s;
}

Status VerifySecondFactor(const std::string& db_path,
                          const std::string& user_id, std::string_view code,
                          int64_t unix_now, bool* ok) {
  *ok = false;
  bool has = false;
  Status s = HasSecondFactor(db_path, user_id, &has);
  if (s.ok() && !has) {
    s = Status::NotFound("user id " + user_id + " has no second factor");
  }
  // Anything but six digits is no code of ours: refused without a write.
  if (!s.ok() || !IsSixDigits(code)) return s;
  std::shared_ptr<Database> db;
  s = OpenFactors(db_path, &db);
  if (!s.ok()) return s;
  // The read of the last step and the write of the new one are one write
  // transaction, so two sign-ins with one code cannot both succeed.
  s = Finish(db.get(), CheckCode(db, user_id, code, unix_now, ok));
  if (!s.ok()) *ok = false;
  return s;
}

std::string SecondFactorUri(std::string_view user_id,
                            std::string_view secret_base32) {
  // The user id goes into the address percent-encoded: a blank, "?" or "&"
  // in it must not end the label or start a parameter.
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "otpauth://totp/kirvs:";
  for (unsigned char c : user_id) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       (c >= '0' && c <= '9') || c == '-' || c == '.' ||
                       c == '_' || c == '~';
    if (plain) {
      uri.push_back(static_cast<char>(c));
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0x0f];
    }
  }
  uri += "?secret=";
  uri += secret_base32;
  uri += "&issuer=kirvs";
  return uri;
}

}  // namespace kirvs
