// Running one SQL statement with bound values, for the data functions that
// keep the web front's state (web_sessions.h, web_forms.h, login_failures.h).
// The statements use `?` for their values and plain lower_snake names, so
// that their text is the same on every store.
//
// Thread safety: as the Database it runs on (one thread at a time).

#ifndef KIRVS_SRC_DATA_BOUND_SQL_H_
#define KIRVS_SRC_DATA_BOUND_SQL_H_

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/database.h"
#include "platform/status.h"

namespace kirvs {

// A value bound to a `?`: an integer, a text, or null (std::monostate).
using SqlValue = std::variant<std::monostate, int64_t, std::string_view>;

// One row of a result: each column as text; a null reads as empty text and
// as 0, and IsNull tells it apart.
struct SqlRow {
  std::vector<std::string> texts;
  std::vector<bool> nulls;

  const std::string& Text(size_t column) const { return texts[column]; }
  int64_t Integer(size_t column) const;
  bool IsNull(size_t column) const { return nulls[column]; }
};

// Runs `sql` with `values` bound to its `?` slots in order. The rows it
// returns go to `*rows` when given; `*changes` receives how many rows a
// write changed.
Status RunSql(Database& db, std::string_view sql,
              std::initializer_list<SqlValue> values,
              std::vector<SqlRow>* rows = nullptr, int* changes = nullptr);

// Runs `work` on a connection to the database at `db_path`: as it is
// (WithDatabase), or inside one write transaction that commits when `work`
// succeeds and is undone when it fails (InTransaction). Taking the write
// lock first makes a read-then-write inside `work` atomic among nodes.
Status WithDatabase(const std::string& db_path,
                    const std::function<Status(Database&)>& work);
Status InTransaction(const std::string& db_path,
                     const std::function<Status(Database&)>& work);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_BOUND_SQL_H_
