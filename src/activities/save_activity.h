// Saving a posted activity page to Request_Activities.

#ifndef KIRVS_SRC_ACTIVITIES_SAVE_ACTIVITY_H_
#define KIRVS_SRC_ACTIVITIES_SAVE_ACTIVITY_H_

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// The handler of "SAVE ACTIVITY": after checking the posting user's login
// entry, writes every posted column field of `form` to the activity whose
// numbers the page posts in requestno and actno, adding the row when there
// is none. A page from "ADD ACTIVITY" whose number another save has taken
// meanwhile is stored under the next free number of the request instead,
// and a page from "ADD ACTIVITY" saved before (its page id) updates the
// activity its first save stored; the check and the write are one
// transaction. Checkboxes the page showed
// are rewritten (unticked stores false), others keep their value; an empty
// date or number stores null. On success ErrorDescription holds the save
// trace; on failure the reason, and nothing is stored.
bool SaveActivity(SessionState* session, const Variant& form);

}  // namespace kirvs

#endif  // KIRVS_SRC_ACTIVITIES_SAVE_ACTIVITY_H_
