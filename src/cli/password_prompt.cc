#include "cli/password_prompt.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <istream>

namespace kirvs {

namespace {

// The terminal with echo off for as long as it lives.
class Terminal {
 public:
  Terminal() : fd_(::open("/dev/tty", O_RDWR | O_CLOEXEC)) {
    if (fd_ < 0) return;
    if (::tcgetattr(fd_, &saved_) == 0) {
      struct termios quiet = saved_;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      quiet.c_lflag |= ECHONL;
      restore_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
    }
  }
  ~Terminal() {
    if (restore_) ::tcsetattr(fd_, TCSAFLUSH, &saved_);
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
