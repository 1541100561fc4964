// The web front's page making: the engine's messages as the visitor sees
// them and as the access log keeps them, dates and ages as people read
// them, the captions of column names, and the lists' sorting headers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/settings_file.h"
#include "platform/text_forms.h"
#include "test_support.h"
#include "web/pages/captions.h"
#include "web/pages/dates.h"
#include "web/pages/enhance.h"
#include "web/pages/page.h"
#include "web/pages/visitor_messages.h"
#include "web/routes/plain_errors.h"

namespace kirvs::web {
namespace {

using ::kirvs::testing::At;

TEST(WebPagesTest, DatesAndAgesAsPeopleReadThem) {
  const std::pair<std::string, std::string> shown[] = {
      {"2026-12-07 09:00:00", "7 Dec 2026 09:00"},
      {"2025-01-10 14:50", "10 Jan 2025 14:50"},
      {" 2024-02-29T23:59:59 ", "29 Feb 2024 23:59"},
      {"2026-12-07", "7 Dec 2026"},
      {"2026-12-07 00:00:00", "7 Dec 2026 00:00"},
  };
  for (const auto& [text, expected] : shown) {
    EXPECT_EQ(expected, ShownDate(text).value_or("(none)")) << text;
  }
  for (const char* text : {"09:00", "2026-13-01", "2026-02-30 10:00", "1017",
                           "x2026-12-07", "2026-12-07 lunch", ""}) {
    EXPECT_FALSE(ShownDate(text)) << text;
  }
  // Ages in sensible units.
  const double now = At(2026, 12, 7, 9, 0, 0);
  const std::pair<double, std::string> ages[] = {
      {At(2026, 12, 7, 8, 59, 30), "just now"},
      {At(2026, 12, 7, 9, 0, 40), "just now"},
      {At(2026, 12, 7, 8, 59, 0), "1 minute"},
      {At(2026, 12, 7, 8, 1, 0), "59 minutes"},
      {At(2026, 12, 7, 4, 0, 0), "5 hours"},
      {At(2026, 12, 6, 9, 0, 0), "1 day"},
      {At(2026, 12, 4, 8, 0, 0), "3 days"},
      {At(2026, 11, 6, 9, 0, 0), "1 month"},
      {At(2026, 1, 10, 9, 0, 0), "11 months"},
      {At(2025, 1, 10, 14, 50, 0), "1 year"},
      {At(2016, 12, 7, 9, 0, 0), "10 years"},
      {At(2026, 12, 10, 9, 0, 0), "in 3 days"},
      {At(2026, 12, 7, 11, 0, 0), "in 2 hours"},
  };
  for (const auto& [then, expected] : ages) {
    EXPECT_EQ(expected, AgeText(then, now)) << FormatGeneralDate(then);
  }
}

// Lists show the age beside a date, record pages the date alone; inputs
// keep the value the engine reads back, and a cell with more than a date
// stays as it is.
TEST(WebPagesTest, ShowDatesRewritesShownCellsOnly) {
  const std::string kept =
      "<td><font size=2 face=arial><input name='Allocated' type=text "
      "value='2026-12-07 09:00:00'></td>"
      "<td colspan=5><font size=2>2026-12-07</td>"
      "<td><font size=2>due 2026-12-07</td><td><font size=2>09:30</td>";
  std::string page =
      "<td><font size=2>2026-12-04 09:00:00</td>"
      "<td><font size=2 face=arial>2025-01-10 14:50:00</td>" +
      kept;
  ShowDates(&page, At(2026, 12, 7, 9, 0, 0));
  EXPECT_EQ(
      "<td><font size=2><time datetime=\"2026-12-04T09:00:00\">4 Dec 2026 "
      "09:00</time> <span class=\"kv-age\">3 days</span></td>"
      "<td><font size=2 face=arial><time datetime=\"2025-01-10T14:50:00\">10 "
      "Jan 2025 14:50</time></td>" +
          kept,
      page);
}

TEST(WebPagesTest, CaptionsFromSettingsOwnOnesAndSplitNames) {
  testing::TempDir dir;
  std::string ini = dir.File("KIRVS.INI");
  ASSERT_TRUE(WriteIniString(ini, "Captions", "Priority", "Urgency").ok());
  ASSERT_TRUE(WriteIniString(ini, "Captions", "RequestNo", " Ticket ").ok());
  Captions captions(ini);
  const std::pair<std::string, std::string> expected[] = {
      {"priority", "Urgency"},
      {"RequestNo", "Ticket"},
      {"UserId", "User ID"},
      {"ResolutionCode", "Resolution code"},
      {"HTMLPageId", "HTML page ID"},
      {"Due_By_date", "Due by date"},
      {"status", "Status"},
      {"ABC", "ABC"},
      {"__x__", "X"},
  };
  for (const auto& [name, caption] : expected) {
    EXPECT_EQ(caption, captions.Of(name)) << name;
  }
  EXPECT_EQ("Request", Captions().Of("RequestNo"));
}

// A list's headers sort through its own address, which may hold a query
// already; the column it is sorted by sorts the other way round, and says
// so. (The rest of a list's markup: the golden web_list.html.) A page
// without a banner gets the help desk's name as its heading.
TEST(WebPagesTest, HeadersSortTheListAndEveryPageHasAHeading) {
  std::string list =
      "<select name='sortrequests'><option selected value='RequestNo'>"
      "RequestNo</option></select><table cellpadding=2 valign=top><tr>"
      "<td><b>RequestNo</b></td></tr></table>";
  LinkListHeaders(&list, true, Captions());
  EXPECT_NE(std::string::npos,
            list.find("<a class=\"kv-sort kv-sorted-desc\" "
                      "href=\"/?sort=RequestNo\" aria-label=\"Request, sorted "
                      "descending\">Request</a>"))
      << list;
  std::string found =
      "<table cellpadding=2 valign=top><tr><td><b>Status</b></td>"
      "<td><b>WorkGroup</b></td></tr></table>";
  LinkHeaders(&found, "/find?q=vpn+drops", {"Status", "WorkGroup"}, "WorkGroup",
              false, Captions());
  EXPECT_NE(std::string::npos,
            found.find("href=\"/find?q=vpn+drops&amp;sort=Status\">Status<"))
      << found;
  EXPECT_NE(std::string::npos,
            found.find("href=\"/find?q=vpn+drops&amp;sort=WorkGroup&amp;dir="
                       "desc\" aria-label=\"Work group, sorted ascending\">"))
      << found;
  PageView view;
  view.fragment = "<input name=KIRVSCommand value='Show List' type=submit>";
  EXPECT_NE(std::string::npos,
            RenderPage(view).find("<h1 class=\"kv-title\">Help Desk</h1>"));
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
  LinkListHeaders(&list, false, Captions());
  EXPECT_NE(std::string::npos, list.find("href=\"/?sort=Status\"")) << list;
  EXPECT_NE(std::string::npos, list.find("<td><b>Owner</b></td>")) << list;
  // An empty banner is no title.
  EXPECT_EQ("Open", PageTitle("<strong>Open</strong>"));
  EXPECT_EQ(PageTitle(""), PageTitle("<strong></strong>"));
  // The engine's words about its database never reach the page.
  for (const char* engine : {"An error occurred while opening Logins.",
                             "Could not open /srv/help.db (locked)."}) {
    EXPECT_EQ(0u, PlainErrorOf(engine, SubmittedForm(), Captions())
                      .text.find("The help desk could not carry out"))
        << engine;
  }
}

}  // namespace
}  // namespace kirvs::web
