#include "data/audit_trail.h"

#include <memory>

#include "data/settings.h"
#include "platform/clock.h"
#include "platform/escape.h"

namespace kirvs {

namespace {

constexpr size_t kMaxUpdateDescription = 255;

// A column of the request row as text; empty when missing or null.
std::string Column(RecordSource& request, std::string_view name) {
  Variant value;
  if (!request.Get(name, &value).ok()) return "";
  return value.ToText();
}

bool ColumnIsNull(RecordSource& request, std::string_view name) {
  Variant value;
  return !request.Get(name, &value).ok() || value.IsNull() || value.IsEmpty();
}

// The first `limit` characters of UTF-8 text.
std::string FirstCharacters(const std::string& text, size_t limit) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    bool starts_character =
        (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (starts_character && characters++ == limit) return text.substr(0, i);
  }
  return text;
}

std::string_view EventName(int event) {
  switch (event) {
    case kAuditLogged:
      return "Logged";
    case kAuditAllocated:
      return "Allocated";
    case kAuditPrioritized:
      return "Prioritized";
    case kAuditScheduled:
      return "Scheduled";
    case kAuditUpdated:
      return "Updated";
    case kAuditClosed:
      return "Closed";
    case kAuditEscalated:
      return "Escalated";
    case kAuditMessageToSupport:
    case kAuditMessageToUser:
      return "Message";
    default:
      return "";
  }
}

}  // namespace

std::string AuditDescription(int event, RecordSource& request,
                             std::string_view change_list) {
  auto allocated_to = [&] {
    return "Allocated to: " + Column(request, "WorkGroup") + "," +
           Column(request, "Personnel") + " at " + Column(request, "Allocated");
  };
  switch (event) {
    case kAuditLogged: {
      std::string text = "Priority: " + Column(request, "Priority") + "; ";
      if (!ColumnIsNull(request, "Personnel")) text += allocated_to();
      return text;
    }
    case kAuditAllocated:
      return allocated_to();
    case kAuditPrioritized:
      return "Priority: " + Column(request, "Priority") + "; ";
    case kAuditScheduled:
      return "Scheduled: " + Column(request, "Scheduled") +
             "; EscalationId: " + Column(request, "EscalationId");
    case kAuditUpdated: {
      std::string text;
      for (char c : change_list) {
        if (c == '|') {
          text += "; ";
        } else {
          text += c;
        }
      }
      return FirstCharacters(text, kMaxUpdateDescription);
    }
    case kAuditClosed:
      return "Code: " + Column(request, "ResolutionCode") + "; " +
             "Desc: " + Column(request, "Resolution") +
             " Date/Time: " + Column(request, "Completed");
    case kAuditEscalated:
      return "New Priority: " + Column(request, "Priority") + ";";
    case kAuditMessageToSupport:
      return "Notification message sent to support person: " +
             Column(request, "Personnel") + " (" +
             Column(request, "WorkGroup") + ")";
    case kAuditMessageToUser:
      return "Message sent to end user: " + Column(request, "UserId");
    default:
      return "";
  }
}

Status AddAuditEntry(int event, RecordSource& request, std::string_view user_id,
                     std::string_view change_list) {
  std::string description = AuditDescription(event, request, change_list);
  if (description.empty() || request.database() == nullptr) return Status();
  Variant request_no;
  Status s = request.Get(0, &request_no);
  std::unique_ptr<RecordSource> trail;
  if (s.ok()) {
    s = RecordSource::Open(request.database(),
                           "SELECT * FROM [Request_AuditTrail]",
                           OpenMode::kUpdate, &trail);
  }
  if (s.ok()) s = trail->AddNew();
  if (s.ok()) s = trail->Set(0, request_no);
  if (s.ok()) s = trail->Set(1, Variant::Date(CurrentMoment()));
  if (s.ok()) s = trail->Set(2, Variant(std::string(user_id)));
  if (s.ok()) s = trail->Set(3, Variant(std::string(EventName(event))));
  if (s.ok()) s = trail->Set(4, Variant(std::move(description)));
  if (s.ok()) s = trail->Update();
  return s;
}

int32_t LastRequestLoggedBy(const std::string& settings_path,
                            std::string_view user_id) {
  std::shared_ptr<Database> db;
  if (!Database::Open(ReadSetting(settings_path, "DBPath"), &db).ok()) {
    return 0;
  }
  std::string query =
      "SELECT RequestNo FROM [Request_AuditTrail] WHERE Event = 'Logged' AND "
      "UserId = '";
  AppendSqlText(&query, user_id);
  query += "' ORDER BY rowid DESC LIMIT 1";
  std::unique_ptr<RecordSource> rs;
  Variant number;
  if (!RecordSource::Open(db, query, OpenMode::kRead, &rs).ok() || rs->eof() ||
      !rs->Get(0, &number).ok()) {
    return 0;
  }
  return number.type() == Variant::Type::kInteger ? number.integer() : 0;
}

}  // namespace kirvs
