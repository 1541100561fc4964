#include "data/lookups.h"

#include <memory>

#include "data/settings.h"
#include "platform/escape.h"
#include "platform/record_source.h"

namespace kirvs {

namespace {

enum class Kind { kText, kNumber, kOther };

Kind KindOf(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kText:
      return Kind::kText;
    case Variant::Type::kInteger:
    case Variant::Type::kDouble:
    case Variant::Type::kDate:
    case Variant::Type::kBoolean:
      return Kind::kNumber;
    default:
      return Kind::kOther;
  }
}

bool SameValue(const Variant& option, const Variant& current) {
  Kind kind = KindOf(option);
  if (kind != KindOf(current)) return false;
  if (kind == Kind::kText) return option.text() == current.text();
  if (kind == Kind::kNumber) return option.number() == current.number();
  return false;
}

}  // namespace

Status AppendSelectList(std::string* out, const std::string& settings_path,
                        std::string_view field_name, std::string_view table,
                        const Variant& current) {
  std::string db_path = ReadDatabasePath(settings_path);
  std::unique_ptr<RecordSource> rs;
  std::string query = "SELECT * FROM ";
  AppendSqlName(&query, table);
  query += " ORDER BY 1";
  Status s = RecordSource::Open(db_path, query, OpenMode::kRead, &rs);
  if (!s.ok()) return s;
  std::string markup = "<select name='";
  AppendHtml(&markup, field_name);
  markup += "' size='1'>";
  bool nothing_current =
      current.IsEmpty() || (current.IsText() && current.text().empty());
  markup +=
      nothing_current ? "<option value=' ' selected> " : "<option value=' '> ";
  for (s = rs->MoveFirst(); s.ok() && !rs->eof(); s = rs->MoveNext()) {
    Variant value;
    s = rs->Get(0, &value);
    if (!s.ok()) return s;
    std::string text = EscapeHtml(value.ToText());
    markup += "<option value='" + text + "'";
    markup += SameValue(value, current) ? " selected>" : ">";
    markup += text;
  }
  // A failed read ends the walk early and sticks in status().
  if (s.ok()) s = rs->status();
  if (!s.ok()) return s;
  markup += "</select>";
  out->append(markup);
  return Status();
}

std::string BuildSelectList(const std::string& settings_path,
                            std::string_view field_name, std::string_view table,
                            const Variant& current) {
  std::string markup;
  // A table that cannot be read leaves the markup empty, which is this
  // function's answer for it.
  (void)AppendSelectList(&markup, settings_path, field_name, table, current);
  return markup;
}

std::string LookupValue(const std::string& settings_path,
                        std::string_view table, std::string_view key,
                        int position) {
  std::string db_path = ReadDatabasePath(settings_path);
  std::shared_ptr<Database> db;
  if (!Database::Open(db_path, &db).ok()) return "";
  // An update-mode open reads no row: it only names the first column, so
  // that the database can find the one row by key instead of us reading the
  // whole table.
  std::unique_ptr<RecordSource> columns;
  std::string table_query = "SELECT * FROM ";
  AppendSqlName(&table_query, table);
  if (!RecordSource::Open(db, table_query, OpenMode::kUpdate, &columns).ok() ||
      columns->field_count() == 0) {
    return "";
  }
  std::string first_column = columns->field(0).name;
  columns->Close();
  if (!IsPlainName(first_column)) return "";
  std::string query = table_query + " WHERE ";
  AppendSqlName(&query, first_column);
  query += " = '";
  AppendSqlText(&query, key);
  query += "' ORDER BY rowid";
  std::unique_ptr<RecordSource> rs;
  if (!RecordSource::Open(db, query, OpenMode::kRead, &rs).ok() || rs->eof()) {
    return "";
  }
  Variant value;
  if (!rs->Get(position, &value).ok()) return "";
  return value.ToText();
}

}  // namespace kirvs
