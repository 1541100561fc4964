// The new-request page: an empty request form with the registration time
// and the requesting user's details filled in. Nothing is stored until the
// user saves it.

#ifndef KIRVS_SRC_REQUESTS_NEW_REQUEST_H_
#define KIRVS_SRC_REQUESTS_NEW_REQUEST_H_

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// The handler of "REGISTER NEW REQUEST". The request is made out, by
// default, to the user id of the person posted in KIRVSCurrentPerson, with
// that user's details from Users. Sets ErrorDescription on failure.
bool RegisterNewRequest(SessionState* session, const Variant& form);

}  // namespace kirvs

#endif  // KIRVS_SRC_REQUESTS_NEW_REQUEST_H_
