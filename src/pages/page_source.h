// The steps every handler shares around its record source: opening a page's
// source, opening a table for writing inside a transaction, finishing a
// record page, and the failure messages they report. Each message sentence
// is composed here once; a handler names only its own task in it.
//
// Thread safety: as SessionState, one thread at a time per session.

#ifndef KIRVS_SRC_PAGES_PAGE_SOURCE_H_
#define KIRVS_SRC_PAGES_PAGE_SOURCE_H_

#include <memory>
#include <string>
#include <string_view>

#include "pages/session_state.h"
#include "platform/database.h"
#include "platform/record_source.h"
#include "platform/status.h"

namespace kirvs {

// The two spellings of the engine's failure sentences: pages that read say
// "while", the saves say "whilst".
enum class Wording { kWhile, kWhilst };

// "An error occurred while trying to " + task + " (" + the error's text,
// escaped + ")."; with Wording::kWhilst, "... whilst trying to ...".
std::string ErrorMessage(std::string_view task, const Status& s,
                         Wording wording = Wording::kWhile);
// As ErrorMessage with `details_html`, text that is already safe markup (a
// save trace), in the parentheses.
std::string ErrorMessageWithDetails(std::string_view task,
                                    std::string_view details_html,
                                    Wording wording);
// The task of opening a table: "open " + table + " table in database " +
// db_path (escaped).
std::string OpenTableTask(std::string_view table, const std::string& db_path);

// How a page handler opens the record source of its page.
struct PageSource {
  // The setting that holds the page's column list ("*" when unset).
  std::string_view column_list_key;
  // The task of the retrieval message, e.g. "retrieve requests from
  // Current_Requests table".
  std::string_view task;
  // Whether the page is a list, which starts by emptying HTMLString; a
  // record page keeps the previous page when it fails.
  bool clears_page = false;
  // kUpdate opens the source to add a row without reading any.
  OpenMode mode = OpenMode::kRead;
};

// Starts a page handler and opens its record source as session->current_rs:
// empties ErrorDescription (and HTMLString for a list), releases CurrentRS,
// reads DBPath and the column list, and opens "SELECT " + column list +
// `query_tail`. When `composed` failed (a number that does not read as an
// integer, a name that is not plain), no query runs and its failure is
// reported. On failure sets ErrorDescription to the retrieval message and
// returns false. `*column_list`, when not null, receives the column list.
// With `db` not null the source is opened for update inside a new write
// transaction on `*db`, which the caller commits.
bool OpenPageSource(SessionState* session, const PageSource& source,
                    const Status& composed, std::string_view query_tail,
                    std::string* column_list = nullptr,
                    std::shared_ptr<Database>* db = nullptr);
inline bool OpenPageSource(SessionState* session, const PageSource& source,
                           std::string_view query_tail) {
  return OpenPageSource(session, source, Status(), query_tail);
}

// Opens the database at `db_path`, starts a write transaction on it and opens
// `query` on it in update mode.
Status OpenForWrite(const std::string& db_path, std::string_view query,
                    std::shared_ptr<Database>* db,
                    std::unique_ptr<RecordSource>* rs);

// OpenForWrite for a save handler; on failure sets ErrorDescription to
// ErrorMessage(OpenTableTask(table, db_path), ...) and returns false.
bool OpenTableForWrite(SessionState* session, const std::string& db_path,
                       std::string_view table, std::string_view query,
                       std::shared_ptr<Database>* db,
                       std::unique_ptr<RecordSource>* rs);

// The check a save handler makes before it writes: whether `user_id` has a
// login entry. When it has none, or Logins cannot be read, sets
// ErrorDescription to "Unable to " + action + ".  There is no login entry
// for the current user.<br><br>Re-enter your login details and retry the
// transaction." and returns false.
bool RequireLoginEntry(SessionState* session, const std::string& db_path,
                       const std::string& user_id, std::string_view action);

// The failure of a page after its source opened: a walk over its rows, or a
// part of the page read on the way (a selection list's code table), failed.
// Sets ErrorDescription to ErrorMessage(source.task, s), releases CurrentRS
// and returns false; HTMLString stays as it was.
bool FailPage(SessionState* session, const PageSource& source, const Status& s);

// Ends a record page: appends "<br>", the field form of the current row,
// then `after_form`; sets HTMLString and releases CurrentRS. The form
// renderer leaves its last read error in ErrorDescription. When a selection
// list cannot be read the page is not shown: returns FailPage(...).
// REQUIRES: session->current_rs is open.
bool FinishRecordPage(SessionState* session, const PageSource& source,
                      std::string page, std::string_view after_form = "");

// Ends a list page: sets HTMLString and releases CurrentRS.
void FinishListPage(SessionState* session, std::string page);

}  // namespace kirvs

#endif  // KIRVS_SRC_PAGES_PAGE_SOURCE_H_
