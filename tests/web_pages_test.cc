// The pure page functions of the web front: the engine's messages as the
// visitor sees them and as the access log keeps them, and the text and
// links made of a page.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/pages/enhance.h"
#include "web/pages/page.h"
#include "web/pages/visitor_messages.h"
#include "web/routes/plain_errors.h"

namespace kirvs::web {
namespace {

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
  // The engine's words about its database never reach the page.
  for (const char* engine : {"An error occurred while opening Logins.",
                             "Could not open /srv/help.db (locked)."}) {
    EXPECT_EQ(0u, PlainErrorOf(engine, SubmittedForm())
                      .text.find("The help desk could not carry out"))
        << engine;
  }
}

}  // namespace
}  // namespace kirvs::web
