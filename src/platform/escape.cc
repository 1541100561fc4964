#include "platform/escape.h"

#include <sqlite3.h>

#include <array>

namespace kirvs {

namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
// Bytes of multi-byte UTF-8 characters count as letters: names in other
// scripts are plain, and none of these bytes is a quote or a bracket.
bool IsNameLetter(char c) {
  return IsAsciiLetter(c) || static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

void AppendHtml(std::string* dst, std::string_view value) {
  // Most values hold nothing to escape: copy the runs between special
  // characters whole.
  static constexpr auto kSpecial = [] {
    std::array<bool, 256> special{};
    for (unsigned char c : std::string_view("&<>\"'")) special[c] = true;
    return special;
  }();
  size_t start = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (!kSpecial[static_cast<unsigned char>(c)]) continue;
    dst->append(value.data() + start, i - start);
    start = i + 1;
    switch (c) {
      case '&':
        dst->append("&amp;");
        break;
      case '<':
        dst->append("&lt;");
        break;
      case '>':
        dst->append("&gt;");
        break;
      case '"':
        dst->append("&quot;");
        break;
      default:
        dst->append("&#39;");
    }
  }
  dst->append(value.data() + start, value.size() - start);
}

std::string EscapeHtml(std::string_view value) {
  std::string out;
  AppendHtml(&out, value);
  return out;
}

void AppendHtmlUnquoted(std::string* dst, std::string_view value) {
  for (char c : value) {
    switch (c) {
      case ' ':
        dst->append("&#32;");
        break;
      case '\t':
        dst->append("&#9;");
        break;
      case '\n':
        dst->append("&#10;");
        break;
      case '\r':
        dst->append("&#13;");
        break;
      case '\f':
        dst->append("&#12;");
        break;
      case '=':
        dst->append("&#61;");
        break;
      case '`':
        dst->append("&#96;");
        break;
      default:
        AppendHtml(dst, std::string_view(&c, 1));
    }
  }
}

void AppendSqlText(std::string* dst, std::string_view value) {
  for (char c : value) {
    if (c == '\'') dst->push_back('\'');
    dst->push_back(c);
  }
}

bool IsPlainName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (!IsNameLetter(c) && !IsAsciiDigit(c) && c != '_' && c != '-' &&
        c != '/' && c != '#' && c != ' ') {
      return false;
    }
  }
  return true;
}

void AppendSqlName(std::string* dst, std::string_view name) {
  bool simple = !name.empty() && !IsAsciiDigit(name.front());
  for (char c : name) {
    if (!IsNameLetter(c) && !IsAsciiDigit(c) && c != '_') simple = false;
  }
  // A column called "Order" or "Group" would end the query early when bare.
  if (simple &&
      sqlite3_keyword_check(name.data(), static_cast<int>(name.size())) != 0) {
    simple = false;
  }
  if (simple) {
    dst->append(name);
  } else {
    dst->push_back('[');
    dst->append(name);
    dst->push_back(']');
  }
}

}  // namespace kirvs
