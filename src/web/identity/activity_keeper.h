// ActivityKeeper: what a session's requests leave in the help desk's
// database (data/web_sessions.h) besides the session itself: the pages it
// was shown, kept so that a post that fails can show its page again under
// the error on whichever node it arrives, and the later deadline of a
// session in use.
//
// A request must not wait for a write to the database: a thread of the
// keeper's own writes what the requests left meanwhile, all in one
// transaction, as soon as the previous write is done. Until then it is
// found here, on the node that served the request.
//
// Thread safety: every member may be called from any thread.

#ifndef KIRVS_SRC_WEB_IDENTITY_ACTIVITY_KEEPER_H_
#define KIRVS_SRC_WEB_IDENTITY_ACTIVITY_KEEPER_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "data/web_sessions.h"
#include "platform/clock.h"

namespace kirvs::web {

// A page fragment shown in a session, by its number within the session.
struct KeptPage {
  uint64_t number = 0;
  std::string fragment;
};

class ActivityKeeper {
 public:
  // Keeps the `keep` latest pages of each session in the database at
  // `db_path`.
  ActivityKeeper(std::string db_path, size_t keep);
  // Writes what is not written yet.
  ~ActivityKeeper();
  ActivityKeeper(const ActivityKeeper&) = delete;
  ActivityKeeper& operator=(const ActivityKeeper&) = delete;

  // Keeps a page shown in the session at `now` and returns its number:
  // later pages have higher numbers, on every node whose clock agrees.
  uint64_t Keep(std::string_view session_id, std::string fragment,
                SteadyClock::TimePoint now);

  // The kept page with this number, else the session's latest kept page.
  std::optional<KeptPage> Page(std::string_view session_id,
                               uint64_t number) const;

  // Moves the session's deadline to `expires_ms` (never earlier).
  void Extend(std::string_view session_id, int64_t expires_ms);
  // The session's deadline not written yet; 0 when there is none.
  int64_t Deadline(std::string_view session_id) const;

  // Returns once everything kept before the call is written.
  void Flush();

 private:
  void Run();

  const std::string db_path_;
  const size_t keep_;
  mutable std::mutex mu_;
  std::condition_variable wake_;     // the writer: there is work
  std::condition_variable written_;  // Flush: a write has ended
  // Not written yet, and being written.
  std::vector<PageToKeep> pages_;
  std::vector<PageToKeep> writing_pages_;
  std::unordered_map<std::string, int64_t> deadlines_;
  std::unordered_map<std::string, int64_t> writing_deadlines_;
  uint64_t sequence_ = 0;
  uint64_t writes_begun_ = 0;
  uint64_t writes_ended_ = 0;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_IDENTITY_ACTIVITY_KEEPER_H_
