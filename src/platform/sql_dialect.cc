#include "platform/sql_dialect.h"

#include <unordered_set>

#include "platform/ascii.h"
#include "platform/query_shaping.h"

namespace kirvs {

namespace {

enum class Kind { kWord, kName, kString, kParam, kStar, kOpen, kClose, kOther };

struct Token {
  Kind kind;
  std::string_view text;  // as written (a kName without its quotes)
  int depth = 0;          // parentheses around the token
};

bool IsWordStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsWordChar(char c) {
  return IsWordStart(c) || (c >= '0' && c <= '9') || c == '$';
}

Status Untranslatable(std::string_view why) {
  return Status::InvalidArgument(
      "the query cannot be translated for "
      "PostgreSQL: " +
      std::string(why));
}

// Splits `sql` into tokens; blanks and comments become kOther tokens too, so
// that the text is given back as written.
Status Tokenize(std::string_view sql, std::vector<Token>* tokens) {
  int depth = 0;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    size_t end = i + 1;
    Kind kind = Kind::kOther;
    std::string_view text;
    if (c == '\'') {
      // '' inside a string is one apostrophe.
      for (end = i + 1;; end += 2) {
        end = sql.find('\'', end);
        if (end == std::string_view::npos) {
          return Untranslatable("unterminated string");
        }
        if (end + 1 >= sql.size() || sql[end + 1] != '\'') break;
      }
      ++end;
      kind = Kind::kString;
    } else if (c == '[' || c == '"' || c == '`') {
      const char close = c == '[' ? ']' : c;
      end = sql.find(close, i + 1);
      if (end == std::string_view::npos) {
        return Untranslatable("unterminated name");
      }
      if (close == '"' && sql.substr(end, 2) == "\"\"") {
        return Untranslatable("a quote inside a quoted name");
      }
      text = sql.substr(i + 1, end - i - 1);
      ++end;
      kind = Kind::kName;
    } else if (c == '-' && sql.substr(i, 2) == "--") {
      end = std::min(sql.find('\n', i), sql.size());
    } else if (c == '/' && sql.substr(i, 2) == "/*") {
      end = sql.find("*/", i + 2);
      if (end == std::string_view::npos) {
        return Untranslatable("unterminated comment");
      }
      end += 2;
    } else if (IsWordStart(c)) {
      while (end < sql.size() && IsWordChar(sql[end])) ++end;
      kind = Kind::kWord;
    } else if (c >= '0' && c <= '9') {
      while (end < sql.size() && (IsWordChar(sql[end]) || sql[end] == '.')) {
        ++end;
      }
    } else if (c == '?') {
      kind = Kind::kParam;
    } else if (c == '*') {
      kind = Kind::kStar;
    } else if (c == '(') {
      kind = Kind::kOpen;
    } else if (c == ')') {
      kind = Kind::kClose;
      if (--depth < 0) return Untranslatable("unbalanced parentheses");
    }
    if (kind != Kind::kName) text = sql.substr(i, end - i);
    tokens->push_back({kind, text, depth});
    if (kind == Kind::kOpen) ++depth;
    i = end;
  }
  if (depth != 0) return Untranslatable("unbalanced parentheses");
  return Status();
}

bool IsBlank(const Token& token) {
  return token.kind == Kind::kOther &&
         (token.text[0] == ' ' || token.text[0] == '\t' ||
          token.text[0] == '\n' || token.text[0] == '\r' ||
          token.text.substr(0, 2) == "--" || token.text.substr(0, 2) == "/*");
}

bool IsWord(const Token& token, std::string_view word) {
  return token.kind == Kind::kWord && EqualsIgnoringCase(token.text, word);
}

// The index of the significant token before `i`, or -1.
int Previous(const std::vector<Token>& tokens, int i) {
  for (--i; i >= 0 && IsBlank(tokens[i]); --i) {
  }
  return i;
}

// The index of the significant token after `i`, or tokens.size().
size_t Next(const std::vector<Token>& tokens, size_t i) {
  for (++i; i < tokens.size() && IsBlank(tokens[i]); ++i) {
  }
  return i;
}

// Words that end the FROM clause, or end a table reference inside it.
bool EndsFrom(const Token& token) {
  static const char* const kWords[] = {"WHERE",  "GROUP", "ORDER",     "HAVING",
                                       "LIMIT",  "UNION", "INTERSECT", "EXCEPT",
                                       "OFFSET", "WINDOW"};
  for (const char* word : kWords) {
    if (IsWord(token, word)) return true;
  }
  return token.kind == Kind::kOther && token.text == ";";
}

bool IsJoinWord(const Token& token) {
  static const char* const kWords[] = {"JOIN",  "INNER", "LEFT",   "RIGHT",
                                       "FULL",  "OUTER", "CROSS",  "NATURAL",
                                       "USING", "ON",    "LATERAL"};
  for (const char* word : kWords) {
    if (IsWord(token, word)) return true;
  }
  return false;
}

// Words that are keywords wherever a query writes them bare: such a word is
// never the name of a table, a column or an alias spelt the same ([From],
// [Order]), which a query must quote.
bool IsKeyword(const Token& token) {
  static const char* const kWords[] = {
      "SELECT", "DISTINCT", "ALL",    "AS",     "FROM", "BY",   "ASC",
      "DESC",   "AND",      "OR",     "NOT",    "IS",   "NULL", "IN",
      "LIKE",   "BETWEEN",  "EXISTS", "CASE",   "WHEN", "THEN", "ELSE",
      "END",    "CAST",     "INTO",   "VALUES", "SET",  "NULLS"};
  for (const char* word : kWords) {
    if (IsWord(token, word)) return true;
  }
  return EndsFrom(token) || IsJoinWord(token);
}

std::string Quoted(std::string_view name) { return QuoteIdentifier(name); }

// One table named in a FROM clause, and the name the query calls it by.
struct FromTable {
  const SqlCatalog::Table* table;
  std::string qualifier;  // as the translated query writes it
};

class Translator {
 public:
  Translator(const SqlCatalog& catalog, std::vector<Token> tokens)
      : catalog_(catalog), tokens_(std::move(tokens)) {}

  Status Run(std::string* out);

 private:
  // A name of the query (word or quoted) as PostgreSQL must read it.
  std::string NameText(size_t i) const;
  // The tables of the FROM clause of the SELECT whose column list holds
  // token `star`.
  Status FromTables(size_t star, std::vector<FromTable>* tables) const;
  void AppendColumns(const SqlCatalog::Table& table, std::string_view qualifier,
                     std::string* out) const;

  // Whether token `as`, the word AS, names an alias (and does not give the
  // type of a CAST).
  bool IsAlias(int as) const;
  // Marks the last token of every ORDER BY term in nulls_.
  void PlaceNulls();

  const SqlCatalog& catalog_;
  std::vector<Token> tokens_;
  // Aliases given with AS, upper case -> as written.
  std::unordered_map<std::string, std::string> aliases_;
  // Token index -> what follows it: SQLite sorts NULL before every value,
  // PostgreSQL after, unless each ORDER BY term says where NULL goes.
  std::unordered_map<size_t, const char*> nulls_;
};

void Translator::PlaceNulls() {
  const size_t none = tokens_.size();
  for (size_t i = 0; i < tokens_.size(); ++i) {
    const size_t by = Next(tokens_, i);
    if (!IsWord(tokens_[i], "ORDER") || by == none ||
        !IsWord(tokens_[by], "BY")) {
      continue;
    }
    const int depth = tokens_[i].depth;
    size_t last = none;  // the last token of the term so far
    for (size_t j = Next(tokens_, by);; j = Next(tokens_, j)) {
      const bool ends = j == none || tokens_[j].depth < depth ||
                        (tokens_[j].depth == depth &&
                         (EndsFrom(tokens_[j]) || tokens_[j].text == ","));
      if (!ends) {
        last = j;
        continue;
      }
      const bool placed =
          last != none &&
          (IsWord(tokens_[last], "FIRST") || IsWord(tokens_[last], "LAST")) &&
          IsWord(tokens_[Previous(tokens_, static_cast<int>(last))], "NULLS");
      if (last != none && !placed) {
        nulls_[last] =
            IsWord(tokens_[last], "DESC") ? " NULLS LAST" : " NULLS FIRST";
      }
      if (j == none || tokens_[j].text != ",") break;
      last = none;
    }
  }
}

bool Translator::IsAlias(int as) const {
  if (!IsWord(tokens_[as], "AS")) return false;
  const int depth = tokens_[as].depth;
  int open = as;
  while (open >= 0 && !(tokens_[open].kind == Kind::kOpen &&
                        tokens_[open].depth == depth - 1)) {
    --open;
  }
  if (open < 0) return true;
  const int function = Previous(tokens_, open);
  return function < 0 || !IsWord(tokens_[function], "CAST");
}

std::string Translator::NameText(size_t i) const {
  const Token& token = tokens_[i];
  if (IsKeyword(token)) return std::string(token.text);
  const std::string upper = AsciiUpper(token.text);
  if (auto alias = aliases_.find(upper); alias != aliases_.end()) {
    return Quoted(alias->second);
  }
  if (const std::string* canonical = catalog_.Canonical(token.text)) {
    return Quoted(*canonical);
  }
  // A word the catalog does not know (a keyword, a function, an alias given
  // without AS) stays as written; a quoted one keeps its quotes.
  if (token.kind == Kind::kWord) return std::string(token.text);
  return Quoted(token.text);
}

Status Translator::FromTables(size_t star,
                              std::vector<FromTable>* tables) const {
  const int depth = tokens_[star].depth;
  size_t i = star;
  while (i < tokens_.size() &&
         !(tokens_[i].depth == depth && IsWord(tokens_[i], "FROM"))) {
    ++i;
  }
  if (i == tokens_.size()) return Untranslatable("* without FROM");
  bool expect_table = true;
  bool in_condition = false;
  for (i = Next(tokens_, i); i < tokens_.size(); i = Next(tokens_, i)) {
    const Token& token = tokens_[i];
    if (token.depth < depth || (token.depth == depth && EndsFrom(token))) {
      break;
    }
    if (token.depth > depth || token.kind == Kind::kOpen) {
      if (!in_condition) return Untranslatable("* over a subquery");
      continue;
    }
    if (IsWord(token, "ON")) {
      in_condition = true;
    } else if (IsJoinWord(token) || token.text == ",") {
      in_condition = false;
      expect_table = true;
    } else if (in_condition || IsWord(token, "AS")) {
      continue;
    } else if (token.kind == Kind::kWord || token.kind == Kind::kName) {
      if (expect_table) {
        const SqlCatalog::Table* table = catalog_.FindTable(token.text);
        if (table == nullptr) {
          return Status::NotFound("no such table: " + std::string(token.text));
        }
        tables->push_back({table, Quoted(table->name)});
        expect_table = false;
      } else if (!tables->empty()) {
        tables->back().qualifier = NameText(i);
      }
    }
  }
  if (tables->empty()) return Untranslatable("* without a table");
  return Status();
}

void Translator::AppendColumns(const SqlCatalog::Table& table,
                               std::string_view qualifier,
                               std::string* out) const {
  bool first = true;
  for (const std::string& column : table.columns) {
    if (column == kPostgresRowId) continue;
    if (!first) out->append(", ");
    first = false;
    if (!qualifier.empty()) {
      out->append(qualifier);
      out->push_back('.');
    }
    out->append(Quoted(column));
  }
}

Status Translator::Run(std::string* out) {
  // SQLite's own statements have no meaning on PostgreSQL.
  for (size_t i = 0; i < tokens_.size(); ++i) {
    const Token& token = tokens_[i];
    if (IsWord(token, "PRAGMA") || IsWord(token, "GLOB") ||
        IsWord(token, "sqlite_master") || IsWord(token, "sqlite_schema") ||
        (IsWord(token, "INSERT") && Next(tokens_, i) < tokens_.size() &&
         IsWord(tokens_[Next(tokens_, i)], "OR")) ||
        (IsWord(token, "REPLACE") && Next(tokens_, i) < tokens_.size() &&
         IsWord(tokens_[Next(tokens_, i)], "INTO"))) {
      return Untranslatable(std::string(token.text));
    }
    const int before = Previous(tokens_, static_cast<int>(i));
    if ((token.kind == Kind::kWord || token.kind == Kind::kName) &&
        before >= 0 && IsAlias(before)) {
      aliases_.emplace(AsciiUpper(token.text), std::string(token.text));
    }
  }
  PlaceNulls();
  std::string text;
  int slot = 0;
  for (size_t i = 0; i < tokens_.size(); ++i) {
    const Token& token = tokens_[i];
    const int before = Previous(tokens_, static_cast<int>(i));
    const size_t after = Next(tokens_, i);
    switch (token.kind) {
      case Kind::kWord:
      case Kind::kName: {
        if (token.kind == Kind::kWord && after < tokens_.size() &&
            tokens_[after].kind == Kind::kOpen &&
            catalog_.FindTable(token.text) == nullptr) {
          // A function (a table before a parenthesis takes a column list):
          // IFNULL is COALESCE; the others are PostgreSQL's too.
          text.append(IsWord(token, "IFNULL") ? "COALESCE" : token.text);
          break;
        }
        if (before >= 0 && IsAlias(before)) {
          text.append(Quoted(token.text));
          break;
        }
        // T.* : the columns of T.
        if (i + 2 < tokens_.size() && tokens_[i + 1].text == "." &&
            tokens_[i + 2].kind == Kind::kStar) {
          std::vector<FromTable> tables;
          Status s = FromTables(i + 2, &tables);
          if (!s.ok()) return s;
          const std::string qualifier = NameText(i);
          const SqlCatalog::Table* table = nullptr;
          for (const FromTable& from : tables) {
            if (from.qualifier == qualifier) table = from.table;
          }
          if (table == nullptr) {
            return Status::NotFound("no such table: " +
                                    std::string(token.text));
          }
          AppendColumns(*table, qualifier, &text);
          i += 2;
          break;
        }
        text.append(NameText(i));
        break;
      }
      case Kind::kParam:
        text.append("$" + std::to_string(++slot));
        break;
      case Kind::kStar: {
        const bool in_columns =
            before >= 0 &&
            (IsWord(tokens_[before], "SELECT") ||
             IsWord(tokens_[before], "DISTINCT") ||
             IsWord(tokens_[before], "ALL") || tokens_[before].text == ",");
        if (!in_columns) {
          text.push_back('*');
          break;
        }
        std::vector<FromTable> tables;
        Status s = FromTables(i, &tables);
        if (!s.ok()) return s;
        for (size_t t = 0; t < tables.size(); ++t) {
          if (t > 0) text.append(", ");
          AppendColumns(*tables[t].table,
                        tables.size() > 1 ? tables[t].qualifier : "", &text);
        }
        break;
      }
      default:
        text.append(token.text);
    }
    if (auto place = nulls_.find(i); place != nulls_.end()) {
      text.append(place->second);
    }
  }
  *out = std::move(text);
  return Status();
}

}  // namespace

void SqlCatalog::AddTable(std::string name, std::vector<std::string> columns) {
  table_index_.emplace(AsciiUpper(name), tables_.size());
  names_.emplace(AsciiUpper(name), name);
  for (const std::string& column : columns) {
    names_.emplace(AsciiUpper(column), column);
  }
  tables_.push_back({std::move(name), std::move(columns)});
}

const std::string* SqlCatalog::Canonical(std::string_view name) const {
  auto found = names_.find(AsciiUpper(name));
  return found == names_.end() ? nullptr : &found->second;
}

const SqlCatalog::Table* SqlCatalog::FindTable(std::string_view name) const {
  auto found = table_index_.find(AsciiUpper(name));
  return found == table_index_.end() ? nullptr : &tables_[found->second];
}

Status TranslateForPostgres(std::string_view sql, const SqlCatalog& catalog,
                            std::string* out) {
  std::vector<Token> tokens;
  Status s = Tokenize(sql, &tokens);
  if (!s.ok()) return s;
  return Translator(catalog, std::move(tokens)).Run(out);
}

}  // namespace kirvs
