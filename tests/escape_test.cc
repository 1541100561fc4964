#include "platform/escape.h"

#include <gtest/gtest.h>

#include <string>

namespace kirvs {
namespace {

struct Case {
  std::string input;
  std::string expected;
};

TEST(EscapeHtml, QuotedTextAndAttributes) {
  const Case cases[] = {
      {"<a&b>", "&lt;a&amp;b&gt;"},
      {"\"O'Brien\"", "&quot;O&#39;Brien&quot;"},
      {"größe €\t", "größe €\t"},
  };
  for (const Case& c : cases) {
    std::string page = "<td>";
    AppendHtml(&page, c.input);
    EXPECT_EQ("<td>" + c.expected, page) << c.input;
    EXPECT_EQ(c.expected, EscapeHtml(c.input)) << c.input;
  }
}

TEST(EscapeHtml, UnquotedAttributeValues) {
  const Case cases[] = {
      {"a\tb c", "a&#9;b&#32;c"},
      {"a\nb\rc\fd", "a&#10;b&#13;c&#12;d"},
      {"`a=b`", "&#96;a&#61;b&#96;"},
      {"x'y\"z&<>", "x&#39;y&quot;z&amp;&lt;&gt;"},
      {"größe", "größe"},
  };
  for (const Case& c : cases) {
    std::string page = "<input value=";
    AppendHtmlUnquoted(&page, c.input);
    EXPECT_EQ("<input value=" + c.expected, page) << c.input;
  }
}

TEST(EscapeSql, TextLiteralsDoubleApostrophes) {
  const Case cases[] = {
      {"x' OR '1'='1", "x'' OR ''1''=''1"},
      {"back\\slash\"' ", "back\\slash\"'' "},
  };
  for (const Case& c : cases) {
    std::string query = "WHERE UserId='";
    AppendSqlText(&query, c.input);
    EXPECT_EQ("WHERE UserId='" + c.expected, query) << c.input;
  }
}

TEST(EscapeSql, PlainNames) {
  const char* plain[] = {"RequestNo", "Sub-Department", "Date/Time", "Item #",
                         "_x",        "9lives",         "größe",     "a--b"};
  for (const char* name : plain) {
    EXPECT_TRUE(IsPlainName(name)) << name;
  }
  const char* not_plain[] = {"",     "a]b", "[a",  "O'Brien", "a\"b", "a;b",
                             "f(x)", "a=b", "a,b", "t.col",   "a\nb", "a/*b",
                             "*",    "a%b", "a`b", "a\\b"};
  for (const char* name : not_plain) {
    EXPECT_FALSE(IsPlainName(name)) << name;
  }
  EXPECT_FALSE(IsPlainName(std::string("a\0b", 3))) << "embedded NUL";
}

TEST(EscapeSql, NamesAreBareOnlyWhenSimple) {
  const Case cases[] = {
      {"_x1", "_x1"},
      {"größe", "größe"},
      {"a\xEF\xBB\xBF",
       "[a\xEF\xBB\xBF]"},  // a byte order mark reads as a blank
      {"Sub-Department", "[Sub-Department]"},
      {"9lives", "[9lives]"},
      // Words of the query language would change the query when bare.
      {"Order", "[Order]"},
      {"group", "[group]"},
  };
  for (const Case& c : cases) {
    std::string query = "ORDER BY ";
    AppendSqlName(&query, c.input);
    EXPECT_EQ("ORDER BY " + c.expected, query) << c.input;
  }
}

}  // namespace
}  // namespace kirvs
