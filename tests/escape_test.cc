#include "platform/escape.h"

#include <gtest/gtest.h>

#include <string>

namespace kirvs {
namespace {

struct Case {
  std::string input;
  std::string expected;
};

// Shows control characters, so that a failure message can be read.
std::string Shown(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      out += "\\x" + std::string(1, "0123456789abcdef"[u >> 4]) +
             "0123456789abcdef"[u & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

TEST(EscapeHtml, QuotedTextAndAttributes) {
  const Case cases[] = {
      {"", ""},
      {"plain text 123", "plain text 123"},
      {"a&b", "a&amp;b"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"\"quoted\"", "&quot;quoted&quot;"},
      {"O'Brien", "O&#39;Brien"},
      {"&amp;", "&amp;amp;"},
      {"' onmouseover='x", "&#39; onmouseover=&#39;x"},
      {"a = b\tc", "a = b\tc"},
      {"größe €", "größe €"},
  };
  for (const Case& c : cases) {
    std::string page = "<td>";
    AppendHtml(&page, c.input);
    EXPECT_EQ("<td>" + c.expected, page) << Shown(c.input);
    EXPECT_EQ(c.expected, EscapeHtml(c.input)) << Shown(c.input);
  }
}

TEST(EscapeHtml, UnquotedAttributeValues) {
  const Case cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"two words", "two&#32;words"},
      {"a\tb", "a&#9;b"},
      {"a\nb\rc\fd", "a&#10;b&#13;c&#12;d"},
      {"a=b", "a&#61;b"},
      {"`x`", "&#96;x&#96;"},
      {"a>b<c", "a&gt;b&lt;c"},
      {"x'y\"z&", "x&#39;y&quot;z&amp;"},
      {"1 onclick=alert(1)", "1&#32;onclick&#61;alert(1)"},
      {"größe", "größe"},
  };
  for (const Case& c : cases) {
    std::string page = "<input value=";
    AppendHtmlUnquoted(&page, c.input);
    EXPECT_EQ("<input value=" + c.expected, page) << Shown(c.input);
  }
}

TEST(EscapeHtml, NoCharacterCanEndAnUnquotedValue) {
  // Whatever the value, the escaped form holds none of the characters that
  // end an unquoted attribute value or start a new attribute or tag.
  std::string every_byte;
  for (int c = 1; c < 256; ++c) every_byte += static_cast<char>(c);
  std::string escaped;
  AppendHtmlUnquoted(&escaped, every_byte);
  EXPECT_EQ(std::string::npos, escaped.find_first_of(" \t\n\r\f\"'=<>`"))
      << escaped;
  std::string quoted;
  AppendHtml(&quoted, every_byte);
  EXPECT_EQ(std::string::npos, quoted.find_first_of("\"'<>")) << quoted;
}

TEST(EscapeSql, TextLiteralsDoubleApostrophes) {
  const Case cases[] = {
      {"", ""},
      {"Ann", "Ann"},
      {"O'Brien", "O''Brien"},
      {"''", "''''"},
      {"x' OR '1'='1", "x'' OR ''1''=''1"},
      {"'; DROP TABLE Logins; --", "''; DROP TABLE Logins; --"},
      {"back\\slash' ", "back\\slash'' "},
      {"\"double\"", "\"double\""},
  };
  for (const Case& c : cases) {
    std::string query = "WHERE UserId='";
    AppendSqlText(&query, c.input);
    EXPECT_EQ("WHERE UserId='" + c.expected, query) << Shown(c.input);
  }
}

TEST(EscapeSql, PlainNames) {
  const char* plain[] = {
      "RequestNo", "Sub-Department", "Date/Time", "Item #", "Work Group",
      "_x",        "9lives",         "größe",     "a--b",   "SUBITEMID",
  };
  for (const char* name : plain) {
    EXPECT_TRUE(IsPlainName(name)) << Shown(name);
  }
  const char* not_plain[] = {
      "",     "a]b",     "[a",
      "[a]",  "O'Brien", "a\"b",
      "a;b",  "f(x)",    "a)",
      "a=b",  "a,b",     "t.col",
      "a\tb", "a\nb",    "a/*b",
      "*",    "a%b",     "a+b",
      "a`b",  "a\\b",    "RequestNo; DELETE FROM Logins",
  };
  for (const char* name : not_plain) {
    EXPECT_FALSE(IsPlainName(name)) << Shown(name);
  }
  EXPECT_FALSE(IsPlainName(std::string("a\0b", 3))) << "embedded NUL";
}

TEST(EscapeSql, NamesAreBareOnlyWhenSimple) {
  const Case cases[] = {
      {"RequestNo", "RequestNo"},
      {"_x1", "_x1"},
      {"SUBITEMID", "SUBITEMID"},
      {"größe", "größe"},
      {"\xEF\xBB\xBF", "[\xEF\xBB\xBF]"},  // a byte order mark reads as a blank
      {"a\xEF\xBB\xBF", "[a\xEF\xBB\xBF]"},
      {"Sub-Department", "[Sub-Department]"},
      {"Date/Time", "[Date/Time]"},
      {"Work Group", "[Work Group]"},
      {"Item #", "[Item #]"},
      {"9lives", "[9lives]"},
      {"a--b", "[a--b]"},
      // Words of the query language would change the query when bare.
      {"Order", "[Order]"},
      {"group", "[group]"},
      {"Select", "[Select]"},
      {"WHERE", "[WHERE]"},
      {"Index", "[Index]"},
  };
  for (const Case& c : cases) {
    std::string query = "ORDER BY ";
    AppendSqlName(&query, c.input);
    EXPECT_EQ("ORDER BY " + c.expected, query) << Shown(c.input);
  }
}

}  // namespace
}  // namespace kirvs
