#include "web/http/connection_server.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

namespace kirvs::web {

namespace {

using Clock = std::chrono::steady_clock;

// How long a client that stops reading may hold up one write of an answer.
constexpr std::chrono::seconds kWriteTimeout{5};

// Waits are cut into slices of this length, so that a stopping server does
// not wait for its slowest clients.
constexpr std::chrono::milliseconds kWaitSlice{100};

thread_local bool t_close_after_answer = false;

std::string NumericHost(const sockaddr_storage& address, socklen_t length) {
  char host[NI_MAXHOST] = "";
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host,
                  sizeof host, nullptr, 0, NI_NUMERICHOST) != 0) {
    return std::string();
  }
  return host;
}

int NumericPort(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  }
  if (address.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  }
  return 0;
}

void SendAll(int sock, std::string_view data) {
  while (!data.empty()) {
    ssize_t sent =
        ::send(sock, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent <= 0) return;
    data.remove_prefix(static_cast<size_t>(sent));
  }
}

// The answer to a connection over a limit, written before anything of its
// request is read.
const std::string& BusyAnswer() {
  static const std::string answer = [] {
    std::string body =
        "The help desk has too many connections open; try again in a "
        "moment.\n";
    return "HTTP/1.1 503 Service Unavailable\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n"
           "Content-Length: " +
           std::to_string(body.size()) +
           "\r\n"
           "Retry-After: 10\r\n"
           "Connection: close\r\n\r\n" +
           body;
  }();
  return answer;
}

}  // namespace

// One accepted connection as the library's Stream: reads are buffered and
// end at the deadline of the request being read.
class ConnectionServer::Connection : public httplib::Stream {
 public:
  Connection(int sock, const std::atomic<socket_t>& listening)
      : sock_(sock), listening_(listening) {}

  // Waits up to `idle` for the next request to begin; false when the
  // client closed, stayed silent or the server stops.
  bool AwaitRequest(std::chrono::milliseconds idle) {
    if (begin_ < end_) return true;
    return Wait(POLLIN, Clock::now() + idle);
  }

  // The next request, head and body, must arrive within `limit`.
  void StartRequest(std::chrono::milliseconds limit) {
    deadline_ = Clock::now() + limit;
  }

  // A read has failed or run out of time: what is left of the request
  // cannot be told from the next one.
  bool broken() const { return broken_; }

  std::string RemoteAddress() const {
    std::string ip;
    int port = 0;
    get_remote_ip_and_port(ip, port);
    return ip;
  }

  bool is_readable() const override {
    return begin_ < end_ || Wait(POLLIN, deadline_);
  }

  bool is_writable() const override {
    // An answer goes out even while the server stops: the request it
    // answers was in flight.
    return Wait(POLLOUT, Clock::now() + kWriteTimeout, false);
  }

  ssize_t read(char* ptr, size_t size) override {
    if (begin_ == end_) {
      if (!Wait(POLLIN, deadline_)) {
        broken_ = true;
        return -1;
      }
      ssize_t received;
      do {
        received = ::recv(sock_, buffer_, sizeof buffer_, 0);
      } while (received < 0 && errno == EINTR);
      if (received <= 0) {
        broken_ = true;
        return received;
      }
      begin_ = 0;
      end_ = static_cast<size_t>(received);
    }
    size_t count = std::min(size, end_ - begin_);
    std::memcpy(ptr, buffer_ + begin_, count);
    begin_ += count;
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (!is_writable()) return -1;
    ssize_t sent;
    do {
      sent = ::send(sock_, ptr, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(sock_, reinterpret_cast<sockaddr*>(&address), &length) ==
        0) {
      ip = NumericHost(address, length);
      port = NumericPort(address);
    }
  }

  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(sock_, reinterpret_cast<sockaddr*>(&address), &length) ==
        0) {
      ip = NumericHost(address, length);
      port = NumericPort(address);
    }
  }

  socket_t socket() const override { return sock_; }

 private:
  // Waits for `events` until `deadline`; false at the deadline, on an
  // error, or (with `until_stop`) once the server stops.
  bool Wait(short events, Clock::time_point deadline,
            bool until_stop = true) const {
    for (;;) {
      if (until_stop && listening_ == INVALID_SOCKET) return false;
      auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return false;
      pollfd fd{sock_, events, 0};
      int ready =
          ::poll(&fd, 1, static_cast<int>(std::min(left, kWaitSlice).count()));
      if (ready > 0) return true;
      if (ready < 0 && errno != EINTR) return false;
    }
  }

  const int sock_;
  const std::atomic<socket_t>& listening_;
  Clock::time_point deadline_ = Clock::now();
  bool broken_ = false;
  char buffer_[16 * 1024];
  size_t begin_ = 0;
  size_t end_ = 0;
};

void ConnectionServer::CloseAfterAnswer() { t_close_after_answer = true; }

bool ConnectionServer::process_and_close_socket(socket_t sock) {
  Connection connection(sock, svr_sock_);
  std::string address = connection.RemoteAddress();
  bool ok = false;
  if (Admit(address)) {
    ok = Serve(connection);
    Leave(address);
  } else {
    // Nothing of the request is read: the answer goes out at once, without
    // waiting for the client, and the connection closes.
    SendAll(sock, BusyAnswer());
  }
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return ok;
}

bool ConnectionServer::Serve(Connection& connection) {
  bool ok = false;
  size_t left = std::max<size_t>(1, options_.keep_alive_max_requests);
  auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(
      options_.keep_alive_timeout);
  for (; left > 0; --left) {
    if (!connection.AwaitRequest(idle)) break;
    connection.StartRequest(options_.request_read_timeout);
    t_close_after_answer = false;
    bool closed = false;
    ok = process_request(connection, left == 1, closed, nullptr);
    if (!ok || closed || t_close_after_answer || connection.broken()) break;
  }
  t_close_after_answer = false;
  return ok;
}

bool ConnectionServer::Admit(const std::string& address) {
  std::lock_guard lock(mu_);
  if (open_ >= std::max<size_t>(1, options_.max_connections)) return false;
  size_t per_address = options_.max_connections_per_address;
  size_t& from_address = open_by_address_[address];
  if (per_address != 0 && from_address >= per_address) return false;
  ++from_address;
  ++open_;
  return true;
}

void ConnectionServer::Leave(const std::string& address) {
  std::lock_guard lock(mu_);
  --open_;
  auto it = open_by_address_.find(address);
  if (it != open_by_address_.end() && --it->second == 0) {
    open_by_address_.erase(it);
  }
}

}  // namespace kirvs::web
