// Housekeeper: runs a task at a fixed interval on a thread of its own, from
// Start() until Stop(); the web server ends idle sessions with it.
//
// Thread safety: Start() and Stop() from one thread; the task runs on the
// housekeeper's thread.

#ifndef KIRVS_SRC_WEB_HOUSEKEEPER_H_
#define KIRVS_SRC_WEB_HOUSEKEEPER_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kirvs::web {

class Housekeeper {
 public:
  Housekeeper(std::chrono::milliseconds interval, std::function<void()> task);
  ~Housekeeper();
  Housekeeper(const Housekeeper&) = delete;
  Housekeeper& operator=(const Housekeeper&) = delete;

  // Starts the thread; the first run comes one interval later.
  void Start();

  // Wakes the thread and waits for it to end (after a run in progress).
  void Stop();

 private:
  void Run();

  const std::chrono::milliseconds interval_;
  const std::function<void()> task_;
  std::mutex mu_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_HOUSEKEEPER_H_
