#include "data/text_collation.h"

#include <vector>

#include "platform/ascii.h"

namespace kirvs {

namespace {

// Just enough of SQL's lexical structure to find column definitions: words,
// quoted names and strings as single tokens, comments and blanks skipped.
struct Token {
  enum Kind { kWord, kQuoted, kPunct } kind;
  size_t begin;
  size_t end;
};

bool IsWordByte(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || c == '_' || c == '$';
}

// The end of a quoted token that starts at `i` with `open`, which ends at
// `close` (doubled to stand for itself, except in brackets).
size_t SkipQuoted(std::string_view sql, size_t i, char close) {
  for (++i; i < sql.size(); ++i) {
    if (sql[i] != close) continue;
    if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return sql.size();
}

std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (sql.substr(i, 2) == "--") {
      size_t end = sql.find('\n', i);
      i = end == std::string_view::npos ? sql.size() : end + 1;
    } else if (sql.substr(i, 2) == "/*") {
      size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
    } else if (c == '[' || c == '"' || c == '`' || c == '\'') {
      size_t end = SkipQuoted(sql, i, c == '[' ? ']' : c);
      tokens.push_back({Token::kQuoted, i, end});
      i = end;
    } else if (IsWordByte(c)) {
      size_t end = i;
      while (end < sql.size() && IsWordByte(sql[end])) ++end;
      tokens.push_back({Token::kWord, i, end});
      i = end;
    } else {
      tokens.push_back({Token::kPunct, i, i + 1});
      ++i;
    }
  }
  return tokens;
}

class Scanner {
 public:
  explicit Scanner(std::string_view sql) : sql_(sql), tokens_(Tokenize(sql)) {}

  std::string Run() {
    for (size_t i = 0; i < tokens_.size(); ++i) {
      if (!IsWord(i, "CREATE")) continue;
      size_t j = i + 1;
      if (IsWord(j, "TEMP") || IsWord(j, "TEMPORARY")) ++j;
      if (!IsWord(j, "TABLE")) continue;
      // The column list is the first "(" after the table's name; a table
      // made AS SELECT has none.
      size_t open = j + 1;
      while (open < tokens_.size() && !IsPunct(open, '(') &&
             !IsPunct(open, ';') && !IsWord(open, "AS")) {
        ++open;
      }
      if (IsPunct(open, '(')) i = ScanColumns(open + 1);
    }
    std::string out;
    size_t copied = 0;
    for (size_t at : insertions_) {
      out.append(sql_.substr(copied, at - copied));
      out += " COLLATE NOCASE";
      copied = at;
    }
    out.append(sql_.substr(copied));
    return out;
  }

 private:
  bool IsWord(size_t i, std::string_view word) const {
    return i < tokens_.size() && tokens_[i].kind == Token::kWord &&
           EqualsIgnoringCase(Text(i), word);
  }
  bool IsPunct(size_t i, char c) const {
    return i < tokens_.size() && tokens_[i].kind == Token::kPunct &&
           sql_[tokens_[i].begin] == c;
  }
  std::string_view Text(size_t i) const {
    return sql_.substr(tokens_[i].begin, tokens_[i].end - tokens_[i].begin);
  }

  // The definitions from `begin` up to the ")" that closes the list, split
  // at top-level commas; returns the index of that ")".
  size_t ScanColumns(size_t begin) {
    int depth = 0;
    size_t start = begin;
    for (size_t i = begin; i < tokens_.size(); ++i) {
      if (IsPunct(i, '(')) {
        ++depth;
      } else if (IsPunct(i, ')') && depth > 0) {
        --depth;
      } else if (depth == 0 && (IsPunct(i, ',') || IsPunct(i, ')'))) {
        ScanColumn(start, i);
        start = i + 1;
        if (IsPunct(i, ')')) return i;
      }
    }
    return tokens_.size();
  }

  // One definition, tokens [begin, end): a column name, its declared type
  // and its constraints, or a table constraint.
  void ScanColumn(size_t begin, size_t end) {
    static constexpr std::string_view kTableConstraints[] = {
        "CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK", "FOREIGN"};
    for (std::string_view word : kTableConstraints) {
      if (IsWord(begin, word)) return;
    }
    for (size_t i = begin; i < end; ++i) {
      if (IsWord(i, "COLLATE")) return;
    }
    size_t type = begin + 1;
    if (type >= end || tokens_[type].kind != Token::kWord ||
        !IsTextType(Text(type))) {
      return;
    }
    // The type may run over several words ("CHARACTER VARYING") and end in
    // a size in parentheses.
    size_t last = type;
    while (last + 1 < end && tokens_[last + 1].kind == Token::kWord &&
           !IsConstraintWord(Text(last + 1))) {
      ++last;
    }
    if (IsPunct(last + 1, '(')) {
      for (size_t i = last + 1; i < end; ++i) {
        if (IsPunct(i, ')')) {
          last = i;
          break;
        }
      }
    }
    insertions_.push_back(tokens_[last].end);
  }

  static bool IsTextType(std::string_view word) {
    static constexpr std::string_view kTextTypes[] = {
        "VARCHAR", "CHAR",     "NVARCHAR", "NCHAR",    "TEXT",
        "MEMO",    "LONGTEXT", "CLOB",     "NTEXT",    "CHARACTER",
        "VARYING", "NATIVE",   "VARCHAR2", "NVARCHAR2"};
    for (std::string_view text : kTextTypes) {
      if (EqualsIgnoringCase(word, text)) return true;
    }
    return false;
  }

  static bool IsConstraintWord(std::string_view word) {
    static constexpr std::string_view kWords[] = {
        "CONSTRAINT", "PRIMARY", "NOT",        "NULL",      "UNIQUE", "CHECK",
        "DEFAULT",    "COLLATE", "REFERENCES", "GENERATED", "AS"};
    for (std::string_view constraint : kWords) {
      if (EqualsIgnoringCase(word, constraint)) return true;
    }
    return false;
  }

  std::string_view sql_;
  std::vector<Token> tokens_;
  std::vector<size_t> insertions_;  // byte offsets, in increasing order
};

}  // namespace

std::string AddNocaseToTextColumns(std::string_view sql) {
  return Scanner(sql).Run();
}

}  // namespace kirvs
