// Status: the result of an operation below the engine's handlers (settings
// file, database, record source). ok() or a code with a message in our own
// or SQLite's words.
//
// PendingError: the continue-after-error mode of a handler. A failing step
// notes its Status and the handler goes on with the next step; the handler
// tests failed() at the points where it reports, as a rule right after opening
// a record source.
//
// Thread safety: plain values; not shared between threads.

#ifndef KIRVS_SRC_PLATFORM_STATUS_H_
#define KIRVS_SRC_PLATFORM_STATUS_H_

#include <string>
#include <utility>

namespace kirvs {

class Status {
 public:
  enum class Code {
    kOk = 0,
    kNotFound,         // no current row, unknown column
    kInvalidArgument,  // a value that cannot be converted, a bad name
    kIOError,          // file system failures
    kDatabase,         // SQLite refused the statement
    kNotSupported,     // an operation the record source cannot do
  };

  Status() = default;
  static Status NotFound(std::string message) {
    return Status(Code::kNotFound, std::move(message));
  }
  static Status InvalidArgument(std::string message) {
    return Status(Code::kInvalidArgument, std::move(message));
  }
  static Status IOError(std::string message) {
    return Status(Code::kIOError, std::move(message));
  }
  static Status Database(std::string message) {
    return Status(Code::kDatabase, std::move(message));
  }
  static Status NotSupported(std::string message) {
    return Status(Code::kNotSupported, std::move(message));
  }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  // The error's text; empty for ok().
  const std::string& message() const { return message_; }

 private:
  Status(Code code, std::string message)
      : code_(code), message_(std::move(message)) {}

  Code code_ = Code::kOk;
  std::string message_;
};

class PendingError {
 public:
  // Keeps `status` as the pending error when it failed; the latest failure
  // wins. Returns status.ok() so that a step can also branch on it.
  bool Note(const Status& status) {
    if (!status.ok()) status_ = status;
    return status.ok();
  }
  void Clear() { status_ = Status(); }
  bool failed() const { return !status_.ok(); }
  // The error's text; empty when nothing is pending.
  const std::string& text() const { return status_.message(); }

 private:
  Status status_;
};

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_STATUS_H_
