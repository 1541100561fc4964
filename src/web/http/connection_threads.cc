#include "web/http/connection_threads.h"

#include <algorithm>
#include <utility>

namespace kirvs::web {

ConnectionThreads::ConnectionThreads(size_t ready, size_t most)
    : most_(std::max<size_t>(1, most)) {
  std::lock_guard lock(mu_);
  for (size_t i = 0; i < std::min(ready, most_); ++i) {
    threads_.emplace_back([this] { Work(); });
  }
}

ConnectionThreads::~ConnectionThreads() { shutdown(); }

void ConnectionThreads::enqueue(std::function<void()> task) {
  {
    std::lock_guard lock(mu_);
    tasks_.push_back(std::move(task));
    // A thread counts as idle until it has taken a task, so every queued
    // task beyond the idle threads needs a new one.
    if (tasks_.size() > idle_ && threads_.size() < most_) {
      threads_.emplace_back([this] { Work(); });
    }
  }
  wake_.notify_one();
}

void ConnectionThreads::shutdown() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mu_);
    shutdown_ = true;
    threads = std::move(threads_);
    threads_.clear();
  }
  wake_.notify_all();
  for (std::thread& thread : threads) thread.join();
}

void ConnectionThreads::Work() {
  std::unique_lock lock(mu_);
  for (;;) {
    ++idle_;
    wake_.wait(lock, [this] { return !tasks_.empty() || shutdown_; });
    --idle_;
    if (tasks_.empty()) return;  // shut down
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

}  // namespace kirvs::web
