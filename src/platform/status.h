// Status: the result of an operation below the engine's handlers (settings
// file, database, record source). ok() or a code with a message in our own
// or SQLite's words. A Status cannot be dropped unseen: the compiler warns
// about a discarded one, so every failure is either handled or discarded on
// purpose with a `(void)` cast and a comment saying why.
//
// Thread safety: plain values; not shared between threads.

#ifndef KIRVS_SRC_PLATFORM_STATUS_H_
#define KIRVS_SRC_PLATFORM_STATUS_H_

#include <string>
#include <utility>

namespace kirvs {

class [[nodiscard]] Status {
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

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_STATUS_H_
