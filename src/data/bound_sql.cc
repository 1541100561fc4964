#include "data/bound_sql.h"

#include <charconv>
#include <memory>

#include "platform/statement.h"

namespace kirvs {

int64_t SqlRow::Integer(size_t column) const {
  int64_t value = 0;
  const std::string& text = texts[column];
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

Status RunSql(Database& db, std::string_view sql,
              std::initializer_list<SqlValue> values, std::vector<SqlRow>* rows,
              int* changes) {
  std::unique_ptr<Statement> statement;
  Status s = Statement::Prepare(db, sql, &statement);
  if (!s.ok()) return s;
  int slot = 1;
  for (const SqlValue& value : values) {
    if (const int64_t* integer = std::get_if<int64_t>(&value)) {
      statement->BindInteger(slot, *integer);
    } else if (const auto* text = std::get_if<std::string_view>(&value)) {
      statement->BindText(slot, *text);
    } else {
      statement->BindNull(slot);
    }
    ++slot;
  }
  bool row = false;
  std::string bytes;
  while ((s = statement->Step(&row)).ok() && row) {
    if (rows == nullptr) continue;
    SqlRow out;
    for (int column = 0; column < statement->column_count(); ++column) {
      Cell cell;
      bytes.clear();
      statement->ReadCell(column, &cell, &bytes);
      out.nulls.push_back(cell.kind == Cell::Kind::kNull);
      switch (cell.kind) {
        case Cell::Kind::kInteger:
          out.texts.push_back(std::to_string(cell.integer));
          break;
        case Cell::Kind::kReal:
          out.texts.push_back(std::to_string(static_cast<int64_t>(cell.real)));
          break;
        case Cell::Kind::kText:
        case Cell::Kind::kBlob:
          out.texts.push_back(bytes.substr(cell.offset, cell.size));
          break;
        case Cell::Kind::kNull:
          out.texts.emplace_back();
          break;
      }
    }
    rows->push_back(std::move(out));
  }
  if (s.ok() && changes != nullptr) *changes = statement->Changes();
  return s;
}

Status WithDatabase(const std::string& db_path,
                    const std::function<Status(Database&)>& work) {
  std::shared_ptr<Database> db;
  Status s = Database::Open(db_path, &db);
  return s.ok() ? work(*db) : s;
}

Status InTransaction(const std::string& db_path,
                     const std::function<Status(Database&)>& work) {
  return WithDatabase(db_path, [&](Database& db) {
    Status s = db.Begin();
    if (s.ok()) s = work(db);
    if (s.ok()) s = db.Commit();
    if (!s.ok()) db.Rollback();
    return s;
  });
}

}  // namespace kirvs
