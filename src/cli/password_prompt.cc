#include "cli/password_prompt.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <istream>
#include <iterator>

namespace kirvs {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// What a stop signal must put back while echo is off: a Ctrl-C at the
// prompt would otherwise leave the user's shell typing blind.
int echo_off_fd = -1;
struct termios echo_on_settings;

void RestoreEchoAndStop(int signal) {
  ::tcsetattr(echo_off_fd, TCSAFLUSH, &echo_on_settings);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// The terminal with echo off for as long as it lives.
class Terminal {
 public:
  Terminal() : fd_(::open("/dev/tty", O_RDWR | O_CLOEXEC)) {
    if (fd_ < 0 || ::tcgetattr(fd_, &saved_) != 0) return;
    echo_off_fd = fd_;
    echo_on_settings = saved_;
    struct sigaction restore = {};
    restore.sa_handler = RestoreEchoAndStop;
    for (size_t i = 0; i < std::size(kStopSignals); ++i) {
      ::sigaction(kStopSignals[i], &restore, &previous_[i]);
    }
    struct termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    restore_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
  }
  ~Terminal() {
    if (restore_) ::tcsetattr(fd_, TCSAFLUSH, &saved_);
    if (echo_off_fd == fd_ && fd_ >= 0) {
      for (size_t i = 0; i < std::size(kStopSignals); ++i) {
        ::sigaction(kStopSignals[i], &previous_[i], nullptr);
      }
      echo_off_fd = -1;
    }
    if (fd_ >= 0) ::close(fd_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool ok() const { return fd_ >= 0; }

  // Shows `prompt` and reads one line; false at end of input.
  bool Ask(const std::string& prompt, std::string* line) {
    if (::write(fd_, prompt.data(), prompt.size()) < 0) return false;
    line->clear();
    char c;
    ssize_t n;
    while ((n = ::read(fd_, &c, 1)) == 1 && c != '\n') line->push_back(c);
    return n == 1 || !line->empty();
  }

 private:
  int fd_;
  struct termios saved_ {};
  struct sigaction previous_[std::size(kStopSignals)] = {};
  bool restore_ = false;
};

}  // namespace

Status ReadPasswordLine(std::istream& input, std::string* password) {
  password->clear();
  if (!std::getline(input, *password) && password->empty()) {
    return Status::InvalidArgument("no password on standard input");
  }
  if (!password->empty() && password->back() == '\r') password->pop_back();
  return Status();
}

Status AskNewPassword(const std::string& user_id, std::string* password) {
  password->clear();
  Terminal terminal;
  if (!terminal.ok()) {
    return Status::IOError(
        "no terminal to ask for the password on; give it with "
        "--password-stdin");
  }
  std::string first, second;
  if (!terminal.Ask("New password for " + user_id + ": ", &first) ||
      !terminal.Ask("Type it again: ", &second)) {
    return Status::InvalidArgument("no password was typed");
  }
  if (first != second) {
    return Status::InvalidArgument("the two passwords differ");
  }
  *password = std::move(first);
  return Status();
}

}  // namespace kirvs
