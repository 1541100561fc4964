// What the web front makes of the engine's pages: whole documents that are
// not stored, safer and labelled pages, and the visitor's messages.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "web/pages/enhance.h"
#include "web/pages/page.h"
#include "web/pages/visitor_messages.h"
#include "web/routes/plain_errors.h"
#include "web_test_support.h"

namespace kirvs::web {
namespace {

using ::kirvs::testing::Browser;
using ::kirvs::testing::ExecSql;
using ::kirvs::testing::Fields;
using ::kirvs::testing::HiddenValue;
using ::kirvs::testing::QueryValue;
using ::kirvs::testing::SeenCall;
using ::kirvs::testing::WebServerTest;

TEST_F(WebServerTest, PagesAreWholeDocumentsThatAreNotStored) {
  // The documents around the login page and the list, token masked.
  auto masked = [](const Browser& browser) {
    std::string page = browser.page();
    const std::string& token = browser.token();
    size_t at = token.empty() ? std::string::npos : page.find(token);
    if (at == std::string::npos) ADD_FAILURE() << "no token in the page";
    for (; at != std::string::npos; at = page.find(token, at)) {
      page.replace(at, token.size(), "{TOKEN}");
    }
    return page;
  };
  Browser browser(port_);
  browser.Get();
  testing::ExpectGolden("web_login.html", masked(browser));
  browser.LogIn("ann", "ann123");
  testing::ExpectGolden("web_list.html", masked(browser));
  EXPECT_EQ("text/html; charset=utf-8", browser.header("Content-Type"));
  EXPECT_EQ("no-store", browser.header("Cache-Control"));
  EXPECT_NE("", browser.header("Content-Security-Policy"));
}

TEST(VisitorMessagesTest, PathAndQueryAreCutFromThePageNotFromTheLog) {
  const std::string path = "/srv/a&b/kirvs.db";
  struct Row {
    std::string engine, shown, logged;
  };
  const std::vector<Row> rows = {
      {"Unable to locate user: x in database: /srv/a&amp;b/kirvs.db",
       "Unable to locate user: x",
       "Unable to locate user: x in database: <database>"},
      {"An error occurred while trying to open Logins table in database "
       "/srv/a&amp;b/kirvs.db (disk I/O error).",
       "An error occurred while trying to open Logins table (disk I/O error).",
       "An error occurred while trying to open Logins table in database "
       "<database> (disk I/O error)."},
      {"update failed (strQuery: SELECT * FROM [Current_Requests] WHERE "
       "RequestNo=5<br>Status=Open).",
       "update failed (Status=Open).",
       "update failed (strQuery: SELECT * FROM [Current_Requests] WHERE "
       "RequestNo=5<br>Status=Open)."},
      {"SELECT * FROM Request_Activities WHERE RequestNo=1 AND ActNo=2", "",
       "SELECT * FROM Request_Activities WHERE RequestNo=1 AND ActNo=2"},
      {"A plain message.", "A plain message.", "A plain message."},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.shown, ShownMessage(row.engine, path)) << row.engine;
    EXPECT_EQ(row.logged, LoggedMessage(row.engine, path)) << row.engine;
  }
}

TEST(PageTextTest, LoneAmpersandsAndOptionsWithoutValueStay) {
  EXPECT_EQ(" a & b <c> 'd' ", PlainText("<i>a & b &lt;c&gt; &#39;d&#39;</i>"));
  // The sort list's option without a value ends the list: the value of a
  // later list is no sort column.
  std::string list =
      "<select name='sortrequests'><option value='Status' selected>Status"
      "<option>-</select><select name='o'><option value='Owner'>Owner"
      "</select><table cellpadding=2 valign=top><tr><td><b>Status</b></td>"
      "<td><b>Owner</b></td></tr></table>";
  LinkListHeaders(&list, false);
  EXPECT_NE(std::string::npos, list.find("href=\"/?sort=Status\"")) << list;
  EXPECT_NE(std::string::npos, list.find("<td><b>Owner</b></td>")) << list;
  // An empty banner is no title.
  EXPECT_EQ("Open", PageTitle("<strong>Open</strong>"));
  EXPECT_EQ(PageTitle(""), PageTitle("<strong></strong>"));
}

// What the front adds to the engine's pages: Enter on the close page saves
// the details and never closes; a new request is made out to the person
// signed in and his work group; items are only shown.
TEST_F(WebServerTest, PagesAreMadeSaferOnTheWayOut) {
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  browser.Get("/requests/1017/close");
  size_t enter = browser.page().find(
      "value=\"Save Close Details\" class=\"kv-default-submit\"");
  ASSERT_NE(std::string::npos, enter);
  EXPECT_LT(enter, browser.page().find("value='Close Now'"));

  browser.Get("/requests/new");
  EXPECT_TRUE(browser.Shows("<option value='Ann Archer' selected>"));
  EXPECT_TRUE(browser.Shows("<option value='Service Desk' selected>"));
  EXPECT_FALSE(
      browser.Shows("<option value=' ' selected> <option "
                    "value='Ann Archer'"));

  browser.Get("/items/RT-0006");
  EXPECT_TRUE(browser.Shows("<input readonly name='ItemId'"));
  EXPECT_FALSE(browser.Shows("<input name='"));
}

// Every page can be used without seeing it: the logo has a text, the
// banner is the one level-one heading, each field is labelled with its
// column's caption, and the lists' headers are column headers.
TEST_F(WebServerTest, PagesAreLabelledForEveryone) {
  const std::pair<std::string, std::vector<std::string>> pages[] = {
      {"/",
       {"<img alt=\"Help desk logo\" src='kvlogo.gif'",
        "<th scope=col bgcolor='#00c0ff'><font size=2><b>",
        "<select name='sortrequests' size='1' aria-label=\"Sort requests "
        "by\">"}},
      {"/requests/1017",
       {"<input name='Telephone' type=text value='x1120' maxlength=20 "
        "aria-label=\"Telephone\">",
        "<select name='Priority' size='1' aria-label=\"Priority\">"}},
      {"/inventory",
       {"<input type='Text' name='ItemId' aria-label=\"ItemId\">"}},
  };
  Browser browser(port_);
  browser.Get();
  EXPECT_TRUE(browser.Shows("name='txtPassword' aria-label=\"Password\">"));
  browser.LogIn("ann", "ann123");
  for (const auto& [path, shown] : pages) {
    browser.Get(path);
    for (const std::string& text : shown) {
      EXPECT_TRUE(browser.Shows(text)) << path << ": " << text;
    }
    size_t headings = 0;
    for (size_t at = browser.page().find("aria-level=\"1\"");
         at != std::string::npos;
         at = browser.page().find("aria-level=\"1\"", at + 1)) {
      ++headings;
    }
    EXPECT_EQ(1u, headings) << path;
  }
}

}  // namespace
}  // namespace kirvs::web
