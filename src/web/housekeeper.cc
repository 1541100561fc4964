#include "web/housekeeper.h"

#include <utility>

namespace kirvs::web {

Housekeeper::Housekeeper(std::chrono::milliseconds interval,
                         std::function<void()> task)
    : interval_(interval), task_(std::move(task)) {}

Housekeeper::~Housekeeper() { Stop(); }

void Housekeeper::Start() {
  {
    std::lock_guard lock(mu_);
    stop_ = false;
  }
  thread_ = std::thread([this] { Run(); });
}

void Housekeeper::Stop() {
  {
    std::lock_guard lock(mu_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Housekeeper::Run() {
  std::unique_lock lock(mu_);
  while (!wake_.wait_for(lock, interval_, [this] { return stop_; })) {
    lock.unlock();
    task_();
    lock.lock();
  }
}

}  // namespace kirvs::web
