// Closing a request: its close details are saved, then it moves from the
// outstanding requests to the completed ones with its cost, hours worked,
// lead time and down time.

#ifndef KIRVS_SRC_REQUESTS_CLOSE_REQUEST_H_
#define KIRVS_SRC_REQUESTS_CLOSE_REQUEST_H_

#include <cstdint>
#include <string>

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// Whether the option UserSurveyRequired of table Options in the database at
// `db_path` is set; an option that cannot be read is not set.
bool SurveyRequired(const std::string& db_path);
// Whether table Survey holds a row for the request.
bool SurveyCompleted(const std::string& db_path, int32_t request_no);

// The handler of "CLOSE NOW". Saves the posted close page (a number that is
// not outstanding fails and registers nothing), then, in one transaction,
// copies the request by column position into Completed_Requests with Status
// "Closed" and its figures, and deletes it from Current_Requests: the request
// ends in exactly one of the two tables. Sets ErrorDescription on failure.
bool CloseRequestNow(SessionState* session, const Variant& form);

}  // namespace kirvs

#endif  // KIRVS_SRC_REQUESTS_CLOSE_REQUEST_H_
