#include "platform/query_shaping.h"

#include "platform/ascii.h"

namespace kirvs {

namespace {

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

// The rowid goes last so that "ORDER BY 1" still means the query's first
// column.
std::string WithRowId(std::string_view query) {
  std::string_view text = TrimBlanks(query);
  if (!StartsWithIgnoringCase(text, "SELECT") || text.size() < 7 ||
      IsNameCharacter(text[6]) ||
      StartsWithIgnoringCase(TrimBlanks(text.substr(6)), "DISTINCT ")) {
    return "";
  }
  // Find the FROM that ends the column list: outside quotes, brackets,
  // comments and parentheses. A grouped or compound query has no rows to
  // store.
  size_t from = std::string_view::npos;
  int depth = 0;
  for (size_t i = 6; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      size_t end = text.find(c == '[' ? ']' : c, i + 1);
      if (end == std::string_view::npos) return "";
      i = end;
    } else if (c == '-' && text.substr(i, 2) == "--") {
      i = text.find('\n', i);
      if (i == std::string_view::npos) break;
    } else if (c == '/' && text.substr(i, 2) == "/*") {
      i = text.find("*/", i + 2);
      if (i == std::string_view::npos) break;
      ++i;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (depth == 0 && IsNameCharacter(c) &&
               !IsNameCharacter(text[i - 1])) {
      size_t end = i;
      while (end < text.size() && IsNameCharacter(text[end])) ++end;
      std::string_view word = text.substr(i, end - i);
      if (EqualsIgnoringCase(word, "GROUP") ||
          EqualsIgnoringCase(word, "UNION") ||
          EqualsIgnoringCase(word, "INTERSECT") ||
          EqualsIgnoringCase(word, "EXCEPT")) {
        return "";
      }
      if (from == std::string_view::npos && EqualsIgnoringCase(word, "FROM")) {
        from = i;
      }
      i = end - 1;
    }
  }
  if (from == std::string_view::npos) return "";
  return std::string(TrimBlanks(text.substr(0, from))) + ", rowid AS " +
         kRowIdColumn + " " + std::string(text.substr(from));
}

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string InsertSql(std::string_view table,
                      const std::vector<std::string>& columns) {
  std::string sql = "INSERT INTO " + QuoteIdentifier(table);
  if (columns.empty()) return sql + " DEFAULT VALUES";
  std::string slots;
  sql += " (";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) {
      sql += ", ";
      slots += ", ";
    }
    sql += QuoteIdentifier(columns[i]);
    slots += "?";
  }
  return sql + ") VALUES (" + slots + ")";
}

std::string UpdateSql(std::string_view table,
                      const std::vector<std::string>& columns) {
  std::string sql = "UPDATE " + QuoteIdentifier(table) + " SET ";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += QuoteIdentifier(columns[i]) + " = ?";
  }
  return sql + " WHERE rowid = ?";
}

std::string DeleteSql(std::string_view table) {
  return "DELETE FROM " + QuoteIdentifier(table) + " WHERE rowid = ?";
}

}  // namespace kirvs
