// The search criteria builder. The input is a posted search form, one
// "name=value" field a line. Oracle: the criteria make one statement (no
// text after it) with both search tables; the only ways it may fail to open
// are a name that is no column, a pattern SQLite finds too complex, and a
// NUL in the text, which is refused before SQLite sees it. The criteria's
// page text never carries the input's markup.

#include <sqlite3.h>

#include <memory>
#include <string>

#include "fuzz_support.h"
#include "platform/record_source.h"
#include "search/criteria.h"

namespace {

using kirvs::fuzz::Fail;

// Whether only blanks follow the first statement of `query`.
bool IsOneStatement(sqlite3* db, const std::string& query) {
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(db, query.c_str(), static_cast<int>(query.size()),
                              &stmt, &tail);
  sqlite3_finalize(stmt);
  if (rc != SQLITE_OK) return true;  // judged by the open below
  for (; tail != nullptr && *tail != '\0'; ++tail) {
    if (*tail != ' ' && *tail != '\n' && *tail != '\t') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kirvs::fuzz::DemoDesk& desk = kirvs::fuzz::Desk();
  std::string_view input(reinterpret_cast<const char*>(data), size);
  kirvs::SubmittedForm form(
      kirvs::fuzz::FieldsOf(kirvs::fuzz::Lines(input), 0));
  kirvs::SearchCriteria criteria;
  kirvs::Status built = kirvs::BuildSearchCriteria(&form, &criteria);
  kirvs::fuzz::CheckEscaped("criteria text", criteria.html);
  if (!built.ok()) {
    if (!built.message().starts_with("unknown column: ")) {
      Fail("criteria failed with " + built.message());
    }
    return 0;
  }
  static sqlite3* db = [&] {
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(desk.db_path.c_str(), &handle, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
      Fail("cannot open the demo database");
    }
    return handle;
  }();
  for (const char* table : {"Items", "Solutions"}) {
    const std::string query =
        std::string("SELECT * FROM ") + table + criteria.sql + " ORDER BY 1";
    if (query.find('\0') == std::string::npos && !IsOneStatement(db, query)) {
      Fail("more than one statement: " + query);
    }
    std::unique_ptr<kirvs::RecordSource> rs;
    kirvs::Status s = kirvs::RecordSource::Open(desk.db_path, query,
                                                kirvs::OpenMode::kRead, &rs);
    if (!s.ok() && !s.message().starts_with("no such column: ") &&
        !s.message().starts_with("LIKE or GLOB pattern too complex") &&
        s.message() != "text contains a NUL character") {
      Fail("query failed with " + s.message() + ": " + query);
    }
  }
  return 0;
}
