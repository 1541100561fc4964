#include "platform/escape.h"

#include <gtest/gtest.h>

#include <string>

namespace kirvs {
namespace {

// Each append escapes what would break out of its place in a page or query,
// and keeps what is already there.
TEST(Escape, EachAppendEscapesForItsPlace) {
  struct Case {
    void (*append)(std::string*, std::string_view);
    std::string input;
    std::string expected;
  } cases[] = {
      // Quoted text and attributes.
      {AppendHtml, "<a&b>", "&lt;a&amp;b&gt;"},
      {AppendHtml, "\"O'Brien\"", "&quot;O&#39;Brien&quot;"},
      {AppendHtml, "größe €\t", "größe €\t"},
      // Unquoted attribute values.
      {AppendHtmlUnquoted, "a\tb c", "a&#9;b&#32;c"},
      {AppendHtmlUnquoted, "a\nb\rc\fd", "a&#10;b&#13;c&#12;d"},
      {AppendHtmlUnquoted, "`a=b`", "&#96;a&#61;b&#96;"},
      {AppendHtmlUnquoted, "x'y\"z&<>", "x&#39;y&quot;z&amp;&lt;&gt;"},
      {AppendHtmlUnquoted, "größe", "größe"},
      // SQL text literals double their apostrophes.
      {AppendSqlText, "x' OR '1'='1", "x'' OR ''1''=''1"},
      {AppendSqlText, "back\\slash\"' ", "back\\slash\"'' "},
      // Names are bare only when simple; a byte order mark reads as a
      // blank, and words of the query language would change the query.
      {AppendSqlName, "_x1", "_x1"},
      {AppendSqlName, "größe", "größe"},
      {AppendSqlName, "a\xEF\xBB\xBF", "[a\xEF\xBB\xBF]"},
      {AppendSqlName, "Sub-Department", "[Sub-Department]"},
      {AppendSqlName, "9lives", "[9lives]"},
      {AppendSqlName, "Order", "[Order]"},
      {AppendSqlName, "group", "[group]"},
  };
  for (const Case& c : cases) {
    std::string text = "x=";
    c.append(&text, c.input);
    EXPECT_EQ("x=" + c.expected, text) << c.input;
  }
  EXPECT_EQ("&lt;a&amp;b&gt;", EscapeHtml("<a&b>"));
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

}  // namespace
}  // namespace kirvs
