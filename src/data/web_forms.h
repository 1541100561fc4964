// The one-time ids of the forms that register something (table web_forms,
// see web_state_tables.h), so that a form posted twice, to one node or to
// two, stores once. A form id belongs to a session (named by its id, stored
// as its hash) and goes from issued to busy (a post of it is running) to
// used (the post succeeded; a repeat goes where it went), or back from busy
// to issued when the post failed.
//
// Thread safety: every function may be called from any thread; each opens
// a connection of its own.

#ifndef KIRVS_SRC_DATA_WEB_FORMS_H_
#define KIRVS_SRC_DATA_WEB_FORMS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/web_sessions.h"
#include "platform/status.h"

namespace kirvs {

struct StoredForm {
  enum State { kMissing, kIssued, kBusy, kUsed };
  State state = kMissing;
  std::string location;  // kUsed: where its post went
  StoredNotice notice;   // kUsed: what its post said
};

// Issues `form_id` in session `session_id`, forgetting all but the `keep`
// latest ids of the session that no post holds busy.
Status IssueWebForm(const std::string& db_path, std::string_view session_id,
                    std::string_view form_id, size_t keep);

// Claims an issued form id for a post at `now_ms`: `*claimed` tells whether
// this post may run; else `*found` says what the form id is. A form id busy
// since before `stale_ms` belonged to a post that never ended (its node
// stopped) and is claimed anew.
Status ClaimWebForm(const std::string& db_path, std::string_view session_id,
                    std::string_view form_id, int64_t now_ms, int64_t stale_ms,
                    bool* claimed, StoredForm* found);

// The claimed post succeeded, said `notice` and went to `location`.
Status FinishWebForm(const std::string& db_path, std::string_view session_id,
                     std::string_view form_id, std::string_view location,
                     const StoredNotice& notice);

// The claimed post failed: the form may be posted again.
Status ReleaseWebForm(const std::string& db_path, std::string_view session_id,
                      std::string_view form_id);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_WEB_FORMS_H_
