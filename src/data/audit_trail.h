// The audit trail: every stored change to a service request leaves a row of
// Request_AuditTrail (request number, date and time, user id, event,
// description).

#ifndef KIRVS_SRC_DATA_AUDIT_TRAIL_H_
#define KIRVS_SRC_DATA_AUDIT_TRAIL_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/record_source.h"
#include "platform/status.h"

namespace kirvs {

// Events of the audit trail, by code.
enum AuditEvent : int {
  kAuditLogged = 0,
  kAuditAllocated = 1,
  kAuditPrioritized = 2,
  kAuditScheduled = 3,
  kAuditUpdated = 4,
  kAuditClosed = 5,
  kAuditEscalated = 6,
  kAuditMessageToSupport = 7,
  kAuditMessageToUser = 8,
};

// The description of an entry for `event`, built from the request row's
// columns (or, for kAuditUpdated, from the change list "Field:value|...",
// each "|" becoming "; ", cut to 255 characters). Empty for an unknown code.
std::string AuditDescription(int event, RecordSource& request,
                             std::string_view change_list);

// Adds an entry for the request row that the caller has just stored (the
// current row of `request`), on the request's own database connection, so
// that it joins the caller's transaction when there is one. An entry whose
// description is empty is not written (ok). Fails when the entry cannot be
// written; the request row stays usable and the transaction open.
Status AddAuditEntry(int event, RecordSource& request, std::string_view user_id,
                     std::string_view change_list);

// The number of the request that `user_id` registered last, read from the
// "Logged" entries of the audit trail of the settings file's database; 0
// when there is none or the trail cannot be read.
int32_t LastRequestLoggedBy(const std::string& settings_path,
                            std::string_view user_id);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_AUDIT_TRAIL_H_
