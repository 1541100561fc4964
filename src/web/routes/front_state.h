// FrontState: what the front remembers of a session beyond who is signed
// in: the notice for the next page ("Request 1042 registered."), the sort
// order of his list, and the one-time ids of the forms that register
// something, so that posting one twice stores it once.
//
// It is kept with the session in the help desk's database
// (data/web_sessions.h, data/web_forms.h), so that a form posted twice to
// two nodes also stores once, and it ends when its session ends. What cannot
// be read counts as absent: no notice, the engine's order, a form id not
// issued.
//
// Thread safety: every member may be called from any thread.

#ifndef KIRVS_SRC_WEB_ROUTES_FRONT_STATE_H_
#define KIRVS_SRC_WEB_ROUTES_FRONT_STATE_H_

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "data/web_sessions.h"
#include "web/options/serve_options.h"

namespace kirvs::web {

// A notice shown once, at the top of the next page.
struct Notice {
  std::string text;       // plain text
  std::string link_href;  // empty: no link
  std::string link_text;
};

// The order of a person's list: a column, and which way.
struct ListOrder {
  std::string column;  // empty: the engine's own order
  bool descending = false;
};

// What a one-time form id allows.
struct FormClaim {
  enum Kind {
    kRun,     // not used yet: run the command, then Finish or Release it
    kReplay,  // used already: go where its first post went (`location`)
    kUnknown  // not issued in this session (or forgotten): run as usual
  };
  Kind kind = kUnknown;
  std::string location;
  Notice notice;  // for kReplay: what the first post said
};

class FrontState {
 public:
  // How many form ids a session remembers: more than anyone keeps open.
  static constexpr size_t kFormIds = 32;

  // A post whose form id has been busy this long is taken to have died with
  // its node; a later post of the id then runs.
  static constexpr std::chrono::minutes kAbandonedPost{2};

  // REQUIRES: `options` outlives the state; the tables of the web front's
  // state exist (data/web_state_tables.h).
  explicit FrontState(const ServeOptions& options);

  void SetNotice(std::string_view session_id, const Notice& notice);
  // The notice for this page, once.
  std::optional<Notice> TakeNotice(std::string_view session_id);

  // The order comes back with the session (SessionView), read at once.
  void SetOrder(std::string_view session_id, const ListOrder& order,
                ListKind list = ListKind::kMine);

  // A new one-time id for a form shown in the session.
  std::string IssueFormId(std::string_view session_id);
  // Claims `form_id` for one post. A post of the same id made meanwhile,
  // here or on another node, waits until that one has finished, then
  // replays or runs.
  FormClaim ClaimForm(std::string_view session_id, std::string_view form_id);
  // The claimed post succeeded, said `notice` and went to `location`.
  void FinishForm(std::string_view session_id, std::string_view form_id,
                  std::string location, Notice notice);
  // The claimed post failed: the form may be posted again.
  void ReleaseForm(std::string_view session_id, std::string_view form_id);

 private:
  const ServeOptions& options_;
  const std::string db_path_;
  // Wakes the posts that wait for a form id finished on this node; those
  // waiting for another node look again every little while.
  std::mutex mu_;
  std::condition_variable form_done_;
};

// A form id claimed for one post (FormClaim::kRun): released when it goes
// out of scope unless Finish was called, so that a post that ends early (an
// exception on its way) leaves the form to be posted again rather than
// holding up every later post of it.
class ClaimedForm {
 public:
  // `claimed` false: there is nothing to release or finish.
  ClaimedForm(FrontState* state, std::string session_id, std::string form_id,
              bool claimed);
  ClaimedForm(const ClaimedForm&) = delete;
  ClaimedForm& operator=(const ClaimedForm&) = delete;
  ~ClaimedForm();

  void Finish(std::string location, Notice notice);

 private:
  FrontState* state_;
  std::string session_id_;
  std::string form_id_;
  bool claimed_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_ROUTES_FRONT_STATE_H_
