// The statement of statement.h on PostgreSQL. The statement is prepared on
// the server once per connection and text (PostgresConnection::Prepared);
// Step runs it with its bindings on the first call and walks the rows of
// the result after that. Values travel as text both ways: the server reads
// a bound text by the type of the place it goes to, and the cells are made
// by the column's type code.

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/postgres_connection.h"

namespace kirvs {

namespace {

class PostgresStatement final : public Statement {
 public:
  PostgresStatement(PostgresConnection* connection,
                    std::shared_ptr<const PreparedText> text)
      : connection_(connection),
        text_(std::move(text)),
        values_(static_cast<size_t>(text_->parameters)) {}
  ~PostgresStatement() override { PQclear(result_); }

  Status Step(bool* row) override;
  void Reset() override;
  int column_count() const override {
    return static_cast<int>(text_->columns.size());
  }
  std::string column_name(int column) const override {
    return text_->columns[column].name;
  }
  ColumnType column_type(int column) const override {
    return text_->columns[column].type;
  }
  std::string table_name(int column) const override {
    return text_->columns[column].table;
  }
  std::string origin_name(int column) const override {
    return text_->columns[column].origin;
  }
  void ReadCell(int column, Cell* cell, std::string* bytes) const override;
  int64_t ReadInteger(int column) const override {
    return std::strtoll(PQgetvalue(result_, row_, column), nullptr, 10);
  }
  void BindNull(int slot) override { Bind(slot, std::nullopt); }
  void BindInteger(int slot, int64_t value) override {
    Bind(slot, std::to_string(value));
  }
  void BindReal(int slot, double value) override;
  void BindText(int slot, std::string_view text) override {
    Bind(slot, std::string(text));
  }
  int64_t LastInsertRowId() const override { return last_rowid_; }
  int Changes() const override { return changes_; }

 private:
  void Bind(int slot, std::optional<std::string> value) {
    if (slot >= 1 && slot <= static_cast<int>(values_.size())) {
      values_[slot - 1] = std::move(value);
    }
  }

  PostgresConnection* connection_;
  std::shared_ptr<const PreparedText> text_;
  std::vector<std::optional<std::string>> values_;
  PGresult* result_ = nullptr;  // null until the first Step
  int row_ = -1;                // the current row of result_
  int64_t last_rowid_ = 0;
  int changes_ = 0;
};

Status PostgresStatement::Step(bool* row) {
  *row = false;
  if (result_ == nullptr) {
    std::vector<const char*> values;
    for (const auto& value : values_) {
      values.push_back(value ? value->c_str() : nullptr);
    }
    result_ = PQexecPrepared(connection_->conn, text_->name.c_str(),
                             static_cast<int>(values.size()), values.data(),
                             nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result_);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      Status s = Status::Database(PostgresError(connection_->conn, result_));
      PQclear(result_);
      result_ = nullptr;
      return s;
    }
    changes_ = std::atoi(PQcmdTuples(result_));
    if (text_->returns_rowid) {
      last_rowid_ = PQntuples(result_) == 1
                        ? std::strtoll(PQgetvalue(result_, 0, 0), nullptr, 10)
                        : 0;
      return Status();
    }
  }
  if (text_->returns_rowid) return Status();
  if (row_ + 1 < PQntuples(result_)) {
    ++row_;
    *row = true;
  }
  return Status();
}

void PostgresStatement::Reset() {
  PQclear(result_);
  result_ = nullptr;
  row_ = -1;
  for (auto& value : values_) value.reset();
}

void PostgresStatement::ReadCell(int column, Cell* cell,
                                 std::string* bytes) const {
  if (PQgetisnull(result_, row_, column)) {
    cell->kind = Cell::Kind::kNull;
    return;
  }
  const char* value = PQgetvalue(result_, row_, column);
  const int type_code = text_->columns[column].type.type_code;
  if (type_code == kTypeBoolean) {
    cell->kind = Cell::Kind::kInteger;
    cell->integer = value[0] == 't' ? 1 : 0;
  } else if (IsIntegerType(type_code)) {
    cell->kind = Cell::Kind::kInteger;
    cell->integer = std::strtoll(value, nullptr, 10);
  } else if (IsNumericType(type_code)) {
    cell->kind = Cell::Kind::kReal;
    cell->real = std::strtod(value, nullptr);
  } else {
    cell->kind = type_code == kTypeBlob ? Cell::Kind::kBlob : Cell::Kind::kText;
    cell->offset = static_cast<uint32_t>(bytes->size());
    bytes->append(value, PQgetlength(result_, row_, column));
    cell->size = static_cast<uint32_t>(bytes->size() - cell->offset);
  }
}

void PostgresStatement::BindReal(int slot, double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  Bind(slot, std::string(text));
}

}  // namespace

Status PreparePostgresStatement(PostgresConnection* connection,
                                std::string_view sql,
                                std::unique_ptr<Statement>* out) {
  std::shared_ptr<const PreparedText> text;
  Status s = connection->Prepared(sql, &text);
  if (!s.ok()) return s;
  *out = std::make_unique<PostgresStatement>(connection, std::move(text));
  return Status();
}

}  // namespace kirvs
