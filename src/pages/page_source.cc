#include "pages/page_source.h"

#include "data/login_entries.h"
#include "data/settings.h"
#include "pages/request_form.h"
#include "platform/database.h"
#include "platform/escape.h"

namespace kirvs {

std::string ErrorMessageWithDetails(std::string_view task,
                                    std::string_view details_html,
                                    Wording wording) {
  std::string message = wording == Wording::kWhile
                            ? "An error occurred while trying to "
                            : "An error occurred whilst trying to ";
  message += task;
  message += " (";
  message += details_html;
  message += ").";
  return message;
}

std::string ErrorMessage(std::string_view task, const Status& s,
                         Wording wording) {
  return ErrorMessageWithDetails(task, EscapeHtml(s.message()), wording);
}

std::string OpenTableTask(std::string_view table, const std::string& db_path) {
  std::string task = "open ";
  task += table;
  task += " table in database ";
  AppendHtml(&task, DisplayPath(db_path));
  return task;
}

bool OpenPageSource(SessionState* session, const PageSource& source,
                    const Status& composed, std::string_view query_tail,
                    std::string* column_list, std::shared_ptr<Database>* db) {
  if (source.clears_page) session->page_text.clear();
  session->error_text.clear();
  session->current_rs.reset();
  const std::string db_path = ReadDatabasePath(session->settings_path);
  std::string columns =
      ReadColumnList(session->settings_path, source.column_list_key);
  std::string query = "SELECT " + columns;
  query += query_tail;
  if (column_list != nullptr) *column_list = std::move(columns);

  Status s = composed;
  if (s.ok() && db != nullptr) {
    s = OpenForWrite(db_path, query, db, &session->current_rs);
  } else if (s.ok()) {
    s = RecordSource::Open(db_path, query, source.mode, &session->current_rs);
  }
  if (!s.ok()) return FailPage(session, source, s);
  return true;
}

Status OpenForWrite(const std::string& db_path, std::string_view query,
                    std::shared_ptr<Database>* db,
                    std::unique_ptr<RecordSource>* rs) {
  Status s = Database::Open(db_path, db);
  if (s.ok()) s = (*db)->Begin();
  if (s.ok()) s = RecordSource::Open(*db, query, OpenMode::kUpdate, rs);
  return s;
}

bool OpenTableForWrite(SessionState* session, const std::string& db_path,
                       std::string_view table, std::string_view query,
                       std::shared_ptr<Database>* db,
                       std::unique_ptr<RecordSource>* rs) {
  Status s = OpenForWrite(db_path, query, db, rs);
  if (!s.ok()) {
    session->error_text = ErrorMessage(OpenTableTask(table, db_path), s);
    return false;
  }
  return true;
}

bool RequireLoginEntry(SessionState* session, const std::string& db_path,
                       const std::string& user_id, std::string_view action) {
  bool signed_in = false;
  // Logins that cannot be read sign nobody in; the message says so.
  if (FindLoginEntry(db_path, user_id, &signed_in).ok() && signed_in) {
    return true;
  }
  session->error_text = "Unable to ";
  session->error_text += action;
  session->error_text +=
      ".  There is no login entry for the current user.<br><br>Re-enter your "
      "login details and retry the transaction.";
  return false;
}

bool FailPage(SessionState* session, const PageSource& source,
              const Status& s) {
  session->error_text = ErrorMessage(source.task, s);
  session->current_rs.reset();
  return false;
}

bool FinishRecordPage(SessionState* session, const PageSource& source,
                      std::string page, std::string_view after_form) {
  page += "<br>";
  Status s = RenderRequestForm(session, &page);
  if (!s.ok()) return FailPage(session, source, s);
  page += after_form;
  session->page_text = std::move(page);
  session->current_rs.reset();
  return true;
}

void FinishListPage(SessionState* session, std::string page) {
  session->current_rs.reset();
  session->page_text = std::move(page);
}

}  // namespace kirvs
