// The HTTP server's limits against hostile clients, on loopback: clients
// that trickle their requests, too many connections from one address, and
// a request whose length is given twice. Slow clients connect from
// 127.0.0.1, others from 127.0.0.2 (all of 127/8 is loopback).
//
// KIRVS_SLOW_CLIENT_SECONDS sets how long the slow clients keep at it
// (default 3; scripts/slow-clients.sh runs 30 with the real timeouts).

#include "web/http/http_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace kirvs::web {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A connection to the server from `source` (an address of 127/8); -1 when
// it cannot be made.
int Connect(int port, const char* source) {
  int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in from{}, to{};
  from.sin_family = to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, source, &from.sin_addr);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (::bind(sock, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      ::connect(sock, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    ::close(sock);
    return -1;
  }
  return sock;
}

// Everything the server sends until it closes or `limit` passes.
std::string ReadAll(int sock, milliseconds limit) {
  std::string answer;
  auto deadline = Clock::now() + limit;
  char buffer[4096];
  for (;;) {
    auto left =
        std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    pollfd fd{sock, POLLIN, 0};
    if (left.count() <= 0 ||
        ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
      break;
    }
    ssize_t got = ::recv(sock, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    answer.append(buffer, static_cast<size_t>(got));
  }
  return answer;
}

// Sends `request` from `source` and returns the answer, read until the
// server closes (or 5 seconds pass).
std::string Exchange(int port, const char* source, const std::string& request) {
  int sock = Connect(port, source);
  if (sock < 0) return "no connection";
  ::send(sock, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer = ReadAll(sock, milliseconds(5000));
  ::close(sock);
  return answer;
}

class HttpServerTest : public ::testing::Test {
 protected:
  void Start() {
    options_.port = 0;
    server_ = std::make_unique<HttpServer>(options_);
    auto echo = [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("got " + req.body, "text/plain");
    };
    server_->server().Get("/", echo).Post("/", echo);
    port_ = server_->Bind();
    ASSERT_NE(0, port_);
    listener_ = std::thread([this] { server_->Listen(); });
  }

  void TearDown() override {
    if (!server_) return;
    server_->Stop();
    listener_.join();
  }

  ServeOptions options_;
  std::unique_ptr<HttpServer> server_;
  int port_ = 0;
  std::thread listener_;
};

TEST_F(HttpServerTest, SlowClientsDoNotHoldUpOthers) {
  const char* env = std::getenv("KIRVS_SLOW_CLIENT_SECONDS");
  const int seconds = env != nullptr ? std::max(1, std::atoi(env)) : 3;
  // The real limits in a long run; in a short one, limits to match.
  if (seconds < 30) options_.request_read_timeout = milliseconds(1000);
  const auto trickle = options_.request_read_timeout * 3 / 10;
  Start();

  // 64 slow clients from one address, each sending a request a byte at a
  // time (half of them a head, half a body) and reconnecting when cut off.
  constexpr int kSlow = 64;
  std::atomic<bool> done{false};
  std::atomic<int> refused{0};
  std::atomic<int64_t> longest_ms{0};
  std::thread slow([&] {
    std::vector<int> socks(kSlow, -1);
    std::vector<Clock::time_point> since(kSlow);
    while (!done) {
      for (int i = 0; i < kSlow; ++i) {
        if (socks[i] < 0) {
          socks[i] = Connect(port_, "127.0.0.1");
          since[i] = Clock::now();
          std::string start = i % 2 ? "GET / HTTP/1.1\r\n"
                                    : "POST / HTTP/1.1\r\nHost: x\r\n"
                                      "Content-Length: 100000\r\n\r\n";
          ::send(socks[i], start.data(), start.size(), MSG_NOSIGNAL);
          continue;
        }
        pollfd fd{socks[i], POLLIN, 0};
        if (::poll(&fd, 1, 0) > 0) {  // answered or closed by the server
          std::string answer = ReadAll(socks[i], milliseconds(100));
          if (answer.find(" 503 ") != std::string::npos) {
            ++refused;
          } else {
            auto held = std::chrono::duration_cast<milliseconds>(Clock::now() -
                                                                 since[i]);
            longest_ms = std::max<int64_t>(longest_ms, held.count());
          }
          ::close(socks[i]);
          socks[i] = -1;
        } else {
          ::send(socks[i], "X", 1, MSG_NOSIGNAL);
        }
      }
      std::this_thread::sleep_for(trickle);
    }
    for (int sock : socks) {
      if (sock >= 0) ::close(sock);
    }
  });

  // 20 probes from another address over the whole run, each answered
  // within a second.
  const milliseconds gap = milliseconds(seconds * 1000) / 20;
  for (int i = 0; i < 20; ++i) {
    std::this_thread::sleep_for(gap);
    auto start = Clock::now();
    std::string answer = Exchange(port_, "127.0.0.2",
                                  "GET / HTTP/1.1\r\nHost: x\r\n"
                                  "Connection: close\r\n\r\n");
    EXPECT_EQ(0u, answer.find("HTTP/1.1 200 ")) << i << ": " << answer;
    EXPECT_LT(Clock::now() - start, milliseconds(1000)) << i;
  }
  done = true;
  slow.join();
  EXPECT_GT(refused, 0);  // more than one address's share of connections
  // Each admitted slow client was cut off about when its time was up.
  auto limit = options_.request_read_timeout + trickle + milliseconds(1000);
  EXPECT_GT(longest_ms, 0);
  EXPECT_LT(longest_ms, limit.count());
}

TEST_F(HttpServerTest, ConnectionsPerAddressAreLimited) {
  options_.max_connections_per_address = 2;
  Start();
  int first = Connect(port_, "127.0.0.1");
  int second = Connect(port_, "127.0.0.1");
  std::this_thread::sleep_for(milliseconds(100));  // both admitted
  std::string third = Exchange(port_, "127.0.0.1", "GET / HTTP/1.1\r\n\r\n");
  EXPECT_EQ(0u, third.find("HTTP/1.1 503 ")) << third;
  std::string other = Exchange(port_, "127.0.0.2",
                               "GET / HTTP/1.1\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(0u, other.find("HTTP/1.1 200 ")) << other;
  ::close(first);
  ::close(second);
}

// A length given twice is refused, and what follows it on the connection
// is never taken for a request of its own.
TEST_F(HttpServerTest, RequestsWithTwoLengthsAreRefused) {
  Start();
  std::string answer =
      Exchange(port_, "127.0.0.2",
               "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n"
               "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n"
               "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(0u, answer.find("HTTP/1.1 400 ")) << answer;
  EXPECT_EQ(0u, answer.rfind("HTTP/1.1 ")) << answer;  // one answer only
}

}  // namespace
}  // namespace kirvs::web
