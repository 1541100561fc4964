// Saving a posted request page to Current_Requests, with its audit entry.

#ifndef KIRVS_SRC_REQUESTS_SAVE_REQUEST_H_
#define KIRVS_SRC_REQUESTS_SAVE_REQUEST_H_

#include <string>

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// The handler of "SAVE REQUEST", "SAVE ALLOCATION", "SAVE SCHEDULE" and
// "SAVE CLOSE DETAILS": writes every posted column field of the request page
// in `form` to the request whose number the page posts in requestno, after
// checking the posting user's login entry, and adds the audit entry the
// command calls for. The number 0 (the new-request page) registers a new
// request under the next request number; any other number that is not
// outstanding fails with NotOutstandingMessage and stores nothing. The
// request, its number and its audit entry are stored in one transaction or
// not at all. On success ErrorDescription holds the save trace; on failure
// the reason.
bool SaveRequest(SessionState* session, const Variant& form,
                 const std::string& command);

// What SaveRequestRow does when the posted number is not outstanding.
enum class MissingRequest { kRegisterNew, kFail };

// The work of SaveRequest. With MissingRequest::kRegisterNew the number 0
// registers a new request; every other number that is not outstanding, and
// with MissingRequest::kFail any number that is not outstanding, fails with
// "Unable to locate request: " + posted number + " in outstanding requests
// table." and stores nothing (so that a request closed meanwhile by someone
// else is not registered again).
bool SaveRequestRow(SessionState* session, const Variant& form,
                    const std::string& command, MissingRequest missing);

// The message of a request number that is not outstanding.
std::string NotOutstandingMessage(const std::string& posted_number);

}  // namespace kirvs

#endif  // KIRVS_SRC_REQUESTS_SAVE_REQUEST_H_
