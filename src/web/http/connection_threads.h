// ConnectionThreads: the task queue the HTTP library runs each accepted
// connection on. Unlike a fixed pool, it gives every connection a thread at
// once, up to a ceiling: a fixed pool lets a handful of clients that send
// slowly hold every thread while the others queue. Threads are kept after
// their connection closes and serve the next one.
//
// Thread safety: every member may be called from any thread.

#ifndef KIRVS_SRC_WEB_HTTP_CONNECTION_THREADS_H_
#define KIRVS_SRC_WEB_HTTP_CONNECTION_THREADS_H_

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kirvs::web {

class ConnectionThreads : public httplib::TaskQueue {
 public:
  // Starts `ready` threads; more are started as tasks wait, up to `most`.
  ConnectionThreads(size_t ready, size_t most);
  ~ConnectionThreads() override;

  // Runs `task` on an idle thread, else on a new one, else (at the
  // ceiling) once a thread is free.
  void enqueue(std::function<void()> task) override;

  // Runs the tasks still queued, then ends and joins every thread.
  void shutdown() override;

 private:
  void Work();

  const size_t most_;
  std::mutex mu_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::vector<std::thread> threads_;
  size_t idle_ = 0;  // threads waiting for a task
  bool shutdown_ = false;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_HTTP_CONNECTION_THREADS_H_
