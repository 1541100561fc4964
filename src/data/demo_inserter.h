// RowInserter: one prepared INSERT statement, run once per row, for filling
// the demo help desk quickly. Values are stored as the engine stores them:
// dates as text "YYYY-MM-DD HH:MM:SS", Booleans as 1 / 0.
//
// The first failure is kept and every later Insert does nothing, so a fill
// can run to its end and test status() once.
//
// Thread safety: one thread at a time, like the connection it uses.

#ifndef KIRVS_SRC_DATA_DEMO_INSERTER_H_
#define KIRVS_SRC_DATA_DEMO_INSERTER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/database.h"
#include "platform/statement.h"
#include "platform/status.h"

namespace kirvs {

// A NULL column value.
struct SqlNull {};

// A moment (days since 1899-12-30) stored as a date and time.
struct SqlMoment {
  double days;
};

// The stored text of a moment: "YYYY-MM-DD HH:MM:SS", to the second.
std::string StoredMoment(double days);

class RowInserter {
 public:
  // Prepares `sql`, an INSERT with one "?" per value.
  RowInserter(Database* db, std::string_view sql);
  RowInserter(const RowInserter&) = delete;
  RowInserter& operator=(const RowInserter&) = delete;

  // Inserts one row: the values bind to the parameters in order.
  template <typename... Values>
  void Insert(const Values&... values) {
    if (!status_.ok()) return;
    int index = 0;
    (Bind(++index, values), ...);
    Step();
  }

  const Status& status() const { return status_; }

 private:
  void Bind(int index, SqlNull);
  void Bind(int index, int value) { Bind(index, int64_t{value}); }
  void Bind(int index, int64_t value);
  void Bind(int index, double value);
  void Bind(int index, bool value) { Bind(index, int64_t{value ? 1 : 0}); }
  void Bind(int index, SqlMoment value);
  void Bind(int index, std::string_view value);
  void Bind(int index, const std::string& value) {
    Bind(index, std::string_view(value));
  }
  void Bind(int index, const char* value) {
    Bind(index, std::string_view(value));
  }
  template <typename T>
  void Bind(int index, const std::optional<T>& value) {
    if (value) {
      Bind(index, *value);
    } else {
      Bind(index, SqlNull{});
    }
  }
  void Step();

  std::unique_ptr<Statement> statement_;
  Status status_;
};

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_DEMO_INSERTER_H_
