#include "web/identity/activity_keeper.h"

#include <algorithm>
#include <utility>

namespace kirvs::web {

namespace {

// Within one millisecond a node numbers up to this many pages apart.
constexpr int kSequenceBits = 10;

}  // namespace

ActivityKeeper::ActivityKeeper(std::string db_path, size_t keep)
    : db_path_(std::move(db_path)), keep_(keep) {
  thread_ = std::thread([this] { Run(); });
}

ActivityKeeper::~ActivityKeeper() {
  {
    std::lock_guard lock(mu_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

uint64_t ActivityKeeper::Keep(std::string_view session_id, std::string fragment,
                              SteadyClock::TimePoint now) {
  std::lock_guard lock(mu_);
  const uint64_t number =
      (static_cast<uint64_t>(ToMillis(now)) << kSequenceBits) |
      (sequence_++ & ((1u << kSequenceBits) - 1));
  pages_.push_back(
      PageToKeep{std::string(session_id), number, std::move(fragment)});
  // The database keeps a session's latest `keep_` pages only, so older ones
  // still waiting need no writing. Without this, a session busier than the
  // database is fast (a load test) leaves a backlog that grows with every
  // request, held in memory and all written before the node can stop.
  auto of_session = [&](const PageToKeep& page) {
    return page.session_id == session_id;
  };
  if (static_cast<size_t>(
          std::count_if(pages_.begin(), pages_.end(), of_session)) > keep_) {
    pages_.erase(std::find_if(pages_.begin(), pages_.end(), of_session));
  }
  wake_.notify_all();
  return number;
}

std::optional<KeptPage> ActivityKeeper::Page(std::string_view session_id,
                                             uint64_t number) const {
  std::optional<KeptPage> latest;
  {
    std::lock_guard lock(mu_);
    for (const auto* pages : {&writing_pages_, &pages_}) {
      for (const PageToKeep& page : *pages) {
        if (page.session_id != session_id) continue;
        if (page.number == number) return KeptPage{number, page.fragment};
        if (!latest || page.number > latest->number) {
          latest = KeptPage{page.number, page.fragment};
        }
      }
    }
  }
  uint64_t found = 0;
  std::optional<std::string> fragment;
  if (ReadWebPage(db_path_, session_id, number, &found, &fragment).ok() &&
      fragment && (found == number || !latest || found > latest->number)) {
    return KeptPage{found, std::move(*fragment)};
  }
  return latest;
}

void ActivityKeeper::Extend(std::string_view session_id, int64_t expires_ms) {
  std::lock_guard lock(mu_);
  int64_t& deadline = deadlines_[std::string(session_id)];
  deadline = std::max(deadline, expires_ms);
  wake_.notify_all();
}

int64_t ActivityKeeper::Deadline(std::string_view session_id) const {
  std::lock_guard lock(mu_);
  int64_t deadline = 0;
  for (const auto* deadlines : {&writing_deadlines_, &deadlines_}) {
    auto it = deadlines->find(std::string(session_id));
    if (it != deadlines->end()) deadline = std::max(deadline, it->second);
  }
  return deadline;
}

void ActivityKeeper::Flush() {
  std::unique_lock lock(mu_);
  // What is pending now goes with the next write; what is being written,
  // with the current one.
  const uint64_t target =
      writes_begun_ + (pages_.empty() && deadlines_.empty() ? 0 : 1);
  written_.wait(lock, [&] { return writes_ended_ >= target; });
}

void ActivityKeeper::Run() {
  std::unique_lock lock(mu_);
  for (;;) {
    wake_.wait(lock, [this] {
      return stop_ || !pages_.empty() || !deadlines_.empty();
    });
    if (pages_.empty() && deadlines_.empty()) return;
    writing_pages_ = std::exchange(pages_, {});
    writing_deadlines_ = std::exchange(deadlines_, {});
    ++writes_begun_;
    lock.unlock();
    std::vector<SessionDeadline> deadlines;
    for (const auto& [id, expires] : writing_deadlines_) {
      deadlines.push_back(SessionDeadline{id, expires});
    }
    // What could not be written is lost: a post from a lost page shows the
    // session's latest page instead, and a lost deadline comes again with
    // the session's next request.
    (void)KeepWebActivity(db_path_, writing_pages_, deadlines, keep_);
    lock.lock();
    writing_pages_.clear();
    writing_deadlines_.clear();
    ++writes_ended_;
    written_.notify_all();
  }
}

}  // namespace kirvs::web
