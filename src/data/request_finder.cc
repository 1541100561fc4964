#include "data/request_finder.h"

#include <memory>

#include "data/lookups.h"
#include "data/settings.h"
#include "platform/ascii.h"
#include "platform/database.h"
#include "platform/escape.h"
#include "platform/record_source.h"
#include "platform/statement.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

constexpr char kColumns[] =
    "RequestNo, Requested, Priority, Status, Personnel, WorkGroup, "
    "Description";

constexpr char kWordsTable[] = R"sql(
CREATE VIRTUAL TABLE Request_Words USING fts5(
  RequestNo UNINDEXED, Closed UNINDEXED, Description, Resolution, Contact,
  UserId);
)sql";

// A request's row in Request_Words has the rowid WordsKey(closed, number):
// outstanding requests before closed ones, the newest first. The index
// walks its matches in rowid order, so a page of the find box stops after
// its rows instead of sorting every match, and a trigger finds the row to
// remove by its rowid instead of scanning the index.
std::string WordsKey(const std::string& closed, const std::string& number) {
  return "(" + closed + " * 1099511627776 + 1099511627775 - " + number + ")";
}

// On PostgreSQL the find box reads an index over this expression of each
// request table (made by AddRequestWords): the words of the four columns,
// each run of letters and digits a word, as Request_Words splits them.
constexpr char kPostgresWords[] =
    "to_tsvector('simple', regexp_replace(coalesce(\"Description\"::text, "
    "'') || ' ' || coalesce(\"Resolution\"::text, '') || ' ' || "
    "coalesce(\"Contact\"::text, '') || ' ' || coalesce(\"UserId\"::text, "
    "''), '[^[:alnum:]]+', ' ', 'g'))";

// The triggers that keep Request_Words in step with one request table;
// `closed` ("0" or "1") tells its rows from those of the other table.
std::string WordTriggers(const std::string& table, const std::string& closed) {
  const std::string insert =
      "  INSERT INTO Request_Words (rowid, RequestNo, Closed, Description,\n"
      "    Resolution, Contact, UserId) VALUES (" +
      WordsKey(closed, "new.RequestNo") + ", new.RequestNo, " + closed +
      ",\n    new.Description, new.Resolution, new.Contact, new.UserId);\n";
  const std::string remove = "  DELETE FROM Request_Words WHERE rowid = " +
                             WordsKey(closed, "old.RequestNo") + ";\n";
  const std::string head = "CREATE TRIGGER " + table + "_Words_";
  return head + "Insert\n  AFTER INSERT ON " + table + " BEGIN\n" + insert +
         "END;\n" + head + "Update\n  AFTER UPDATE ON " + table + " BEGIN\n" +
         remove + insert + "END;\n" + head + "Delete\n  AFTER DELETE ON " +
         table + " BEGIN\n" + remove + "END;\n";
}

// Removes an index and its triggers as an earlier release made them (rows
// keyed by their own rowid, removed by a scan), so that they are made anew.
constexpr char kDropWords[] = R"sql(
DROP TRIGGER IF EXISTS Current_Requests_Words_Insert;
DROP TRIGGER IF EXISTS Current_Requests_Words_Update;
DROP TRIGGER IF EXISTS Current_Requests_Words_Delete;
DROP TRIGGER IF EXISTS Completed_Requests_Words_Insert;
DROP TRIGGER IF EXISTS Completed_Requests_Words_Update;
DROP TRIGGER IF EXISTS Completed_Requests_Words_Delete;
DROP TABLE IF EXISTS Request_Words;
)sql";

// The paging of a query: `page_size + 1` rows after `page` pages, the one
// more telling whether a further page follows.
std::string PageClause(int page, int page_size) {
  return " LIMIT " + std::to_string(page_size + 1) + " OFFSET " +
         std::to_string(static_cast<int64_t>(page) * page_size);
}

// The listed column that `order` names, spelled as ours (never the text
// that was asked for); empty when it names none.
std::string_view OrderColumn(const ListedOrder& order) {
  for (std::string_view column : kListedColumns) {
    if (EqualsIgnoringCase(column, order.column)) return column;
  }
  return {};
}

// " ORDER BY" and `order`'s column (with `prefix`, e.g. "r."), then the
// number; `own` when it names none of the listed columns.
std::string OrderBy(const ListedOrder& order, std::string_view prefix,
                    std::string_view own) {
  std::string_view column = OrderColumn(order);
  if (column.empty()) return " ORDER BY " + std::string(own);
  std::string way = order.descending ? " DESC" : "";
  std::string by =
      " ORDER BY " + std::string(prefix) + std::string(column) + way;
  if (column != "RequestNo")
    by += ", " + std::string(prefix) + "RequestNo" + way;
  return by;
}

std::string Text(RecordSource& rs, int index) {
  Variant value;
  if (!rs.Get(index, &value).ok() || value.IsNull()) return std::string();
  return value.ToText();
}

// `word` as one quoted term of Request_Words' query, a prefix.
std::string Quoted(std::string_view word) {
  std::string quoted = "\"";
  for (char c : word) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"*";
}

// `word` as PostgreSQL's index reads it: its runs of letters and digits, one
// after the other, the last a prefix ("o'brie" is "o <-> brie:*"); empty
// when it has none. Only letters, digits and the operators written here
// reach the query.
std::string PrefixPhrase(std::string_view word) {
  std::string phrase;
  bool in_run = false;
  for (char c : word) {
    const bool letter = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                        (c >= 'A' && c <= 'Z') ||
                        static_cast<unsigned char>(c) >= 0x80;
    if (letter && !in_run && !phrase.empty()) phrase += " <-> ";
    if (letter) phrase += c;
    in_run = letter;
  }
  return phrase.empty() ? phrase : phrase + ":*";
}

// Reads up to page_size rows of `query` (which selects kColumns and then
// whether the request is closed, and ends with its PageClause).
Status ReadPage(const std::string& settings_path, const std::string& query,
                int page_size, ListedPage* out) {
  out->rows.clear();
  out->more = false;
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(ReadSetting(settings_path, "DBPath"), query,
                                OpenMode::kRead, &rs);
  if (!s.ok()) return s;
  for (; !rs->eof(); s = rs->MoveNext()) {
    if (!s.ok()) return s;
    if (static_cast<int>(out->rows.size()) == page_size) {
      out->more = true;
      break;
    }
    ListedRequest row;
    row.request_no = ParseInteger(Text(*rs, 0)).value_or(0);
    row.requested = Text(*rs, 1);
    row.priority = Text(*rs, 2);
    row.status = Text(*rs, 3);
    row.personnel = Text(*rs, 4);
    row.work_group = Text(*rs, 5);
    row.description = Text(*rs, 6);
    row.closed = Text(*rs, 7) == "1";
    out->rows.push_back(std::move(row));
  }
  return Status();
}

}  // namespace

std::string WorkGroupOf(const std::string& settings_path,
                        std::string_view personnel_name) {
  return LookupValue(settings_path, "Personnel", personnel_name, 1);
}

namespace {

// The table and condition of a queue's requests: " FROM ... [WHERE ...]".
std::string QueueSource(Queue queue, std::string_view work_group) {
  switch (queue) {
    case Queue::kUnassigned:
      return " FROM Current_Requests WHERE Personnel IS NULL OR "
             "TRIM(Personnel) = ''";
    case Queue::kWorkGroup: {
      std::string source = " FROM Current_Requests WHERE WorkGroup = '";
      AppendSqlText(&source, work_group);
      return source + "'";
    }
    case Queue::kAllOpen:
      return " FROM Current_Requests";
    case Queue::kClosed:
      break;
  }
  return " FROM Completed_Requests";
}

}  // namespace

Status ReadQueue(const std::string& settings_path, Queue queue,
                 std::string_view work_group, const ListedOrder& order,
                 int page, int page_size, ListedPage* out) {
  const bool closed = queue == Queue::kClosed;
  std::string query =
      std::string("SELECT ") + kColumns + (closed ? ", 1" : ", 0") +
      QueueSource(queue, work_group) +
      OrderBy(order, "",
              closed ? "Completed DESC, RequestNo DESC" : "RequestNo") +
      PageClause(page, page_size);
  return ReadPage(settings_path, query, page_size, out);
}

Status FindRequestNumber(const std::string& settings_path, int32_t number,
                         ListedPage* out) {
  const std::string where = " WHERE RequestNo = " + std::to_string(number);
  return ReadPage(settings_path,
                  std::string("SELECT ") + kColumns +
                      ", 0 FROM Current_Requests" + where +
                      " UNION ALL SELECT " + kColumns +
                      ", 1 FROM Completed_Requests" + where,
                  1, out);
}

Status CountQueues(const std::string& settings_path,
                   std::string_view work_group, QueueCounts* out) {
  std::string query = "SELECT ";
  for (Queue queue : {Queue::kUnassigned, Queue::kWorkGroup, Queue::kAllOpen,
                      Queue::kClosed}) {
    if (queue != Queue::kUnassigned) query += ", ";
    query += "(SELECT COUNT(*)" + QueueSource(queue, work_group) + ")";
  }
  std::unique_ptr<RecordSource> rs;
  Status s = RecordSource::Open(ReadSetting(settings_path, "DBPath"), query,
                                OpenMode::kRead, &rs);
  for (int i = 0; s.ok() && i < 4; ++i) {
    out->count[i] = ParseInteger(Text(*rs, i)).value_or(0);
  }
  return s;
}

Status AddRequestWords(Database* db) {
  const bool postgres = db->store() == Store::kPostgres;
  std::unique_ptr<Statement> known;
  Status s = Statement::Prepare(
      *db,
      postgres ? "SELECT COUNT(*) FROM pg_indexes WHERE schemaname = "
                 "current_schema() AND indexname = 'Current_Requests_Words'"
               : "SELECT COUNT(*) FROM sqlite_master WHERE name = "
                 "'Current_Requests_Words_Insert' AND sql LIKE '%rowid%'",
      &known);
  bool row = false;
  if (s.ok()) s = known->Step(&row);
  if (!s.ok() || (row && known->ReadInteger(0) > 0)) return s;
  known.reset();
  if (postgres) {
    // Made by `kirvs init`: the database user of a running desk may not be
    // allowed to make indexes.
    std::string script;
    for (const char* table : {"Current_Requests", "Completed_Requests"}) {
      script += std::string("CREATE INDEX \"") + table + "_Words\" ON \"" +
                table + "\" USING gin (" + kPostgresWords + ");\n";
    }
    return db->ExecuteNative(script);
  }
  s = db->Execute(std::string(kDropWords) + kWordsTable +
                  WordTriggers("Current_Requests", "0") +
                  WordTriggers("Completed_Requests", "1"));
  if (!s.ok()) return s;
  return db->Execute(
      "INSERT INTO Request_Words (rowid, RequestNo, Closed, Description, "
      "Resolution, Contact, UserId) SELECT " +
      WordsKey("0", "RequestNo") +
      ", RequestNo, 0, Description, Resolution, Contact, UserId FROM "
      "Current_Requests; INSERT INTO Request_Words (rowid, RequestNo, "
      "Closed, Description, Resolution, Contact, UserId) SELECT " +
      WordsKey("1", "RequestNo") +
      ", RequestNo, 1, Description, Resolution, Contact, UserId FROM "
      "Completed_Requests;");
}

Status EnsureRequestWords(const std::string& settings_path) {
  std::shared_ptr<Database> db;
  Status s = Database::Open(ReadSetting(settings_path, "DBPath"), &db);
  if (s.ok()) s = db->Begin();
  if (s.ok()) s = AddRequestWords(db.get());
  if (s.ok()) s = db->Commit();
  return s;
}

Status FindRequests(const std::string& settings_path, std::string_view words,
                    const ListedOrder& order, int page, int page_size,
                    ListedPage* out) {
  out->rows.clear();
  out->more = false;
  const std::string db_path = ReadSetting(settings_path, "DBPath");
  const bool postgres = IsPostgresUri(db_path);
  // Each typed word becomes a quoted prefix term of the index's query (on
  // PostgreSQL: a phrase of its letter and digit runs, the last a prefix),
  // so that nothing typed is read as the index's query syntax.
  std::string match;
  size_t at = 0;
  while (at < words.size()) {
    size_t start = words.find_first_not_of(" \t", at);
    if (start == std::string_view::npos) break;
    size_t end = words.find_first_of(" \t", start);
    std::string_view word = words.substr(start, end - start);
    at = end == std::string_view::npos ? words.size() : end;
    const std::string term = postgres ? PrefixPhrase(word) : Quoted(word);
    if (term.empty()) continue;
    if (!match.empty()) match += postgres ? " & " : " ";
    match += term;
  }
  if (match.empty()) return Status();
  const bool own_order = OrderColumn(order).empty();
  std::string query;
  if (postgres) {
    std::string where = std::string(" r WHERE ") + kPostgresWords +
                        " @@ to_tsquery('simple', '";
    AppendSqlText(&where, match);
    where += "')";
    query = std::string("SELECT r.RequestNo AS ") + kColumns +
            ", 0 AS Closed FROM Current_Requests" + where +
            " UNION ALL SELECT r.RequestNo AS " + kColumns +
            ", 1 FROM Completed_Requests" + where +
            (own_order ? " ORDER BY Closed, RequestNo DESC"
                       : OrderBy(order, "", ""));
    query += PageClause(page, page_size);
    return ReadPage(settings_path, query, page_size, out);
  }
  // In the index's own order (see WordsKey) the page's matches come first
  // and only they are joined to the request tables; in another order every
  // match is joined and sorted.
  query =
      "WITH w AS (SELECT rowid AS k, RequestNo, Closed FROM "
      "Request_Words WHERE Request_Words MATCH '";
  AppendSqlText(&query, match);
  query +=
      own_order ? "' ORDER BY rowid" + PageClause(page, page_size) + ")" : "')";
  // Only RequestNo is in both w and the request table; it keeps its name
  // so that an order can name it.
  query += std::string(" SELECT r.RequestNo AS ") + kColumns +
           ", w.Closed, w.k FROM w JOIN Current_Requests r ON r.RequestNo = "
           "w.RequestNo WHERE w.Closed = 0 UNION ALL SELECT r.RequestNo AS " +
           kColumns +
           ", w.Closed, w.k FROM w JOIN Completed_Requests r ON r.RequestNo = "
           "w.RequestNo WHERE w.Closed = 1";
  query += own_order ? " ORDER BY 9"
                     : OrderBy(order, "", "") + PageClause(page, page_size);
  return ReadPage(settings_path, query, page_size, out);
}

}  // namespace kirvs
