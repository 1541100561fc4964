// The web front's routes over HTTP: what each kind of button passes to the
// engine, the pages' addresses and the 303s to them with their notices,
// refused posts and required fields, sorting, the find box and queues, and
// the new-request form's one-time id.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/settings_file.h"
#include "web/options/serve_options.h"
#include "web_test_support.h"

namespace kirvs::web {
namespace {

using ::kirvs::testing::Browser;
using ::kirvs::testing::Fields;
using ::kirvs::testing::HiddenValue;
using ::kirvs::testing::QueryValue;
using ::kirvs::testing::SeenCall;
using ::kirvs::testing::WebServerTest;

// Closes request 1021 with the details it needs.
const char kClose1021[] =
    "requestno=1021&Completed=2025-03-01+10:00:00&ResolutionCode=FIXED&"
    "Resolution=Moved+the+extension.";

// How often `text` occurs in `page`.
size_t Occurrences(const std::string& page, const std::string& text) {
  size_t count = 0;
  for (size_t at = 0; (at = page.find(text, at)) != std::string::npos; ++at) {
    ++count;
  }
  return count;
}

// A button of each kind of match and parameter, posting a page's worth of
// fields and forged identity fields: the engine gets the command and
// parameters of the button, and forms with the session's identity. A
// caption no page offers runs nothing. (That every caption a page offers
// maps to a known command is checked on the golden pages.)
TEST_P(WebServerTest, ButtonsOfEachKindPassTheirParameters) {
  const std::string person = "\"Ann Archer\"";
  // caption, command, p1, p2
  const std::vector<std::vector<std::string>> rows = {
      {"Show List", "SHOW LIST", person, "\"\""},
      {"Sort List Now", "SORT LIST NOW", person, "\"Priority\""},
      {"1017", "SHOW REQUEST", "\"1017\"", person},
      {"Register New Request", "REGISTER NEW REQUEST", "<form>", "<empty>"},
      {"Close", "CLOSE", "\"1017\"", person},
      {"Activities", "ACTIVITIES", "\"1017\"", "<empty>"},
      {"#3", "SHOW ACTIVITY", "<form>", "\"3\""},
      {"Save Activity", "SAVE ACTIVITY", "<form>", "\"1017\""},
      {"Search Inventory", "SEARCH INVENTORY", "<empty>", "<empty>"},
      {"Search Inventory Now", "SEARCH INVENTORY NOW", "<form>", "<empty>"},
      {"*LT-0001", "SHOW ITEM", "\"LT-0001\"", "<empty>"},
  };
  const Fields posted = {{"requestno", "1017"},
                         {"sortrequests", "Priority"},
                         {"Bogus", "x"},
                         {"KIRVSCurrentUser", "bob"},
                         {"KIRVSCurrentPerson", "Bob Baker"}};
  Browser browser = SignIn("ann");
  for (const std::vector<std::string>& row : rows) {
    TakeCalls();
    browser.Click(row[0], posted);
    std::vector<SeenCall> calls = TakeCalls();
    ASSERT_FALSE(calls.empty()) << row[0] << ": nothing ran";
    EXPECT_EQ(row[1], calls[0].command) << row[0];
    EXPECT_EQ(row[2], calls[0].p1) << row[0];
    EXPECT_EQ(row[3], calls[0].p2) << row[0];
    // (The searches' criteria are rewritten: ButtonMapTest.)
    if (row[2] == "<form>" && !row[1].starts_with("SEARCH")) {
      Fields expected = {
          {"KIRVSCommand", row[0]},     {"requestno", "1017"},
          {"sortrequests", "Priority"}, {"Bogus", "x"},
          {"KIRVSCurrentUser", "ann"},  {"KIRVSCurrentPerson", "Ann Archer"}};
      EXPECT_EQ(expected, calls[0].form) << row[0];
    }
    // A failed save or close keeps him where he was, still signed in.
    EXPECT_TRUE(browser.Shows("Signed in as Ann Archer")) << row[0];
  }
  for (const std::string caption :
       {"Delete Everything", "", "#x3", "*", "17a", " Show List", "STARTUP"}) {
    TakeCalls();
    browser.Click(caption);
    EXPECT_EQ(400, browser.status()) << "'" << caption << "'";
    EXPECT_TRUE(browser.Shows("kv-alert-error")) << caption;
    EXPECT_EQ("", TakeCommands()) << caption;
  }
}

// A click that worked answers 303 to the address of the page that follows,
// so that Back and Reload never post it again, and a GET of that address
// shows the page: with one level-one heading, its fields labelled, Enter on
// the close page saving the details (never closing), a new request made out
// to the person signed in and his work group, items only shown, search
// results without their query, and after a change a notice of it, once.
// An address of no page is not found.
TEST_P(WebServerTest, PostsThatWorkAnswer303ToThePageThatFollows) {
  const std::string link = " <a href=\"/requests/1017\">Open request 1017</a>";
  const std::string status = "role=\"status\">";
  // caption, posted fields, address, then texts shown ("!": not shown)
  const std::vector<std::vector<std::string>> rows = {
      {"Show List", "", "/", "for: Ann Archer", "!" + status},
      {"Sort List Now", "sortrequests=Priority", "/?sort=Priority",
       "<option selected value='Priority'>"},
      {"1017", "", "/requests/1017", "<h1>Service Request 1017<",
       "<input name='Telephone' type=text value='x1120' maxlength=20 "
       "aria-label=\"Telephone\">",
       "<select name='Priority' size='1' aria-label=\"Priority\">"},
      {"Allocate", "requestno=1017", "/requests/1017/allocate", "Allocate S"},
      {"Schedule", "requestno=1029", "/requests/1029/schedule", "Schedule S"},
      {"Close", "requestno=1017", "/requests/1017/close", "Close Service R",
       "value=\"Save Close Details\" class=\"kv-default-submit\""},
      {"Activities", "requestno=1017", "/requests/1017/activities", "Log for"},
      {"Add Activity", "requestno=1017", "/requests/1017/activities/new",
       "New Activity Details"},
      {"Register New Request", "", "/requests/new",
       "<option value='Ann Archer' selected>",
       "<option value='Service Desk' selected>",
       "!<option value=' ' selected> <option value='Ann Archer'"},
      {"Search Inventory", "", "/inventory", "Search Inventory Database"},
      {"Search Inventory Now", "ItemId=&Manufacturer=isco&Location=+",
       "/inventory?Manufacturer=isco",
       "<button name=KIRVSCommand value=\"*SW-0007\" type=submit>SW-0007<",
       "!SELECT", "!" + status},
      {"*RT-0006", "", "/items/RT-0006", "<input readonly name='ItemId'",
       "!<input name='"},
      {"Show Configuration", "itemid=RT-0006&ItemId=RT-0006",
       "/items/RT-0006/configuration", "Configuration Details for Item: RT"},
      {"Search Solutions", "", "/solutions", "Search Solutions Database"},
      {"Search Solutions Now", "Description=%25printer%25",
       "/solutions?Description=%printer%", "Duplex jams on laser"},
      {"Search Solutions Now",
       "Description=", "/solutions?Description=", "Solutions Search Results"},
      {"Search Solutions Now", "Description=no+such+words",
       "/solutions?Description=no such words",
       status + "Nothing matches these criteria.", "!SELECT"},
      {"Save Request", "requestno=1017&Telephone=x1", "/",
       status + "Request 1017 saved." + link},
      {"Save Allocation", "requestno=1025&Personnel=Bob+Baker", "/",
       status +
           "Request 1025 allocated to Bob Baker. <a href=\"/requests/1025"},
      {"Save Schedule", "requestno=1017&Scheduled=2026-12-08+09:00", "/",
       status + "Request 1017 scheduled for 2026-12-08 09:00." + link},
      {"Save Close Details", "requestno=1017&Resolution=Waiting", "/",
       status + "Close details of request 1017 saved." + link},
      {"Close Now", kClose1021, "/", status + "Request 1021 closed.</div>",
       "!value=1021 type=submit"},
      {"Show List", "", "/", "!" + status},
  };
  Browser browser = SignIn("ann");
  for (const std::vector<std::string>& row : rows) {
    browser.ClickWith(row[0], row[1]);
    EXPECT_EQ(303, browser.post_status()) << row[0];
    EXPECT_EQ(row[2], browser.redirected_to()) << row[0];
    EXPECT_EQ(200, browser.status()) << row[0];
    EXPECT_FALSE(browser.Shows("kv-alert-error")) << row[0];
    EXPECT_EQ(1u, Occurrences(browser.page(), "<h1")) << row[0];
    for (size_t i = 3; i < row.size(); ++i) {
      bool hidden = row[i].starts_with('!');
      EXPECT_NE(hidden, browser.Shows(row[i].substr(hidden ? 1 : 0)))
          << row[0] << ": " << row[i];
    }
  }
  EXPECT_EQ("x1", Telephone1017());
  for (const char* path : {"/requests/x", "/requests/1017/bogus",
                           "/requests/1017/activities/x", "/items/"}) {
    browser.Get(path);
    EXPECT_EQ(404, browser.status()) << path;
  }
  browser.Get("/requests/new");
  browser.ClickWith("Save Request",
                    "requestno=0&Description=Headset&Personnel=Ann+Archer");
  std::string number = QueryValue(
      db_path_,
      "SELECT RequestNo FROM Current_Requests WHERE Description='Headset'");
  EXPECT_TRUE(browser.Shows(status + "Request " + number +
                            " registered. <a href=\"/requests/" + number));
}

// A post the front or the engine refuses shows, above the page posted from
// and with what he had typed, a sentence that names each field to correct,
// and marks them; the engine's own text (queries and all) goes to the
// access log only. A required field left empty (by default, or as named in
// [Web] of the settings file) keeps the post from the engine.
TEST_P(WebServerTest, RefusedPostsShowAPlainErrorAboveThePagePostedFrom) {
  // caption, posted fields, sentence, fields marked, logged ("": the
  // engine did not run)
  const std::vector<std::vector<std::string>> rows = {
      {"Save Allocation", "requestno=1017&Telephone=x9&Allocated=tomorrow",
       "Allocated: enter a date such as 2026-12-07 09:00.", "[\"Allocated\"]",
       "strQuery: SELECT * FROM [Current_Requests]"},
      {"Save Request", "requestno=1017&DownTime=abc",
       "Down time: enter a number such as 1.5.", "[\"DownTime\"]",
       "DownTime=abc"},
      {"Close Now", "requestno=99&ResolutionCode=FIXED&Resolution=x",
       "Request 99 is no longer outstanding: it may have been closed "
       "meanwhile.",
       "", "Unable to locate request: 99"},
      {"Search Inventory Now", "Bad%5D=x",
       "Bad]: the help desk cannot search by this field.", "[\"Bad]\"]",
       "unknown column: Bad]"},
      {"Save Request", "requestno=1017&Description=+&Priority=",
       "<li>Description: fill this in;", "[\"Description\",\"Priority\"]", ""},
      {"Save Allocation", "requestno=1017&Personnel=+&WorkGroup=",
       "<li>Personnel: fill this in;", "[\"Personnel\"]", ""},
      {"Close Now", "requestno=1021&ResolutionCode=+&Resolution=x",
       "<li>Resolution code: fill this in;", "[\"ResolutionCode\"]", ""},
  };
  Browser browser = SignIn("ann");
  browser.Click("1017");
  for (const std::vector<std::string>& row : rows) {
    TakeCalls();
    browser.ClickWith(row[0], row[1]);
    EXPECT_EQ(200, browser.post_status()) << row[0];
    EXPECT_TRUE(browser.Shows("<div class=\"kv-alert-body\">")) << row[0];
    EXPECT_TRUE(browser.Shows(row[2])) << row[0] << "\n" << browser.page();
    EXPECT_TRUE(browser.Shows("<h1>Service Request 1017</h1>")) << row[0];
    EXPECT_FALSE(browser.Shows("strQuery")) << row[0];
    EXPECT_FALSE(browser.Shows("An error occurred")) << row[0];
    EXPECT_EQ(!row[3].empty(),
              browser.Shows("id=\"kv-invalid\">" + row[3] + "</script>"))
        << row[0];
    if (row[4].empty()) {
      EXPECT_EQ("", TakeCommands()) << row[0];
    } else {
      EXPECT_TRUE(Logged(row[4])) << row[0];
    }
  }
  // A trace that quotes a password field stays out of the log.
  browser.ClickWith("Save Request",
                    "requestno=1017&DownTime=abc&txtPassword=hunter2");
  EXPECT_TRUE(Logged("error=\"(withheld"));
  EXPECT_EQ(0, CountLogged(0, {"hunter2"}));
  // What he typed comes back, escaped so that it cannot end the element.
  browser.ClickWith("Save Request",
                    "requestno=1017&Telephone=x9+%3Cnew%3E&DownTime=abc");
  EXPECT_TRUE(browser.Shows("[\"Telephone\",\"x9 \\u003cnew\\u003e\"]"));
  EXPECT_EQ("x1120", Telephone1017());

  // Fields the page does not show are not asked for, unless the settings
  // name them; those then take the place of the defaults.
  browser.ClickWith("Save Request", "requestno=1017&Telephone=");
  EXPECT_EQ(303, browser.post_status());
  ASSERT_TRUE(WriteIniString(options_.settings_path, "Web", "RequiredToSave",
                             "Telephone")
                  .ok());
  browser.Click("1017");
  browser.ClickWith("Save Request", "requestno=1017&Telephone=&Description=");
  EXPECT_TRUE(browser.Shows("id=\"kv-invalid\">[\"Telephone\"]</script>"));
  browser.ClickWith("Save Request", "requestno=1017&Telephone=1&Description=");
  EXPECT_EQ(303, browser.post_status());
}

// The numbers of the requests a list page shows, in its order.
std::vector<std::string> ListedNumbers(const std::string& page) {
  std::vector<std::string> numbers;
  const std::string marker =
      "<td data-label=\"Request\"><input name=KIRVSCommand value=";
  for (size_t at = page.find(marker); at != std::string::npos;
       at = page.find(marker, at + 1)) {
    size_t start = at + marker.size();
    numbers.push_back(page.substr(start, page.find(' ', start) - start));
  }
  return numbers;
}

// A list sorted by a column, or the other way round; the order is kept for
// the session. (The description row under each request: web_list.html.)
TEST_P(WebServerTest, SortingIsKeptForTheSession) {
  Browser browser = SignIn("ann");
  std::vector<std::string> ascending = ListedNumbers(browser.page());
  ASSERT_EQ(6u, ascending.size());
  browser.Get("/?sort=Priority");
  EXPECT_TRUE(browser.Shows("href=\"/?sort=Priority&amp;dir=desc\""));
  std::vector<std::string> by_priority = ListedNumbers(browser.page());
  EXPECT_NE(ascending, by_priority);
  browser.Get("/?sort=Priority&dir=desc");
  EXPECT_TRUE(browser.Shows("href=\"/?sort=Priority\""));
  std::vector<std::string> reversed(by_priority.rbegin(), by_priority.rend());
  EXPECT_EQ(reversed, ListedNumbers(browser.page()));
  browser.Click("Show List");
  EXPECT_EQ(reversed, ListedNumbers(browser.page()));
  EXPECT_EQ(ascending, ListedNumbers(SignIn("ann").page()));
}

// The find box: a number opens its request; words find open and closed
// requests through the index the request tables' triggers keep in step.
TEST_P(WebServerTest, FindBoxAndQueues) {
  Browser browser = SignIn("ann");
  browser.Get("/find?q=1017");
  EXPECT_EQ(303, browser.status());
  EXPECT_EQ("/requests/1017", browser.header("Location"));
  browser.ClickWith(
      "Save Request",
      "requestno=1017&Description=Toner+smudges&Priority=3-Normal");
  browser.ClickWith("Close Now", kClose1021);
  // query, text shown
  const std::pair<std::string, std::string> pages[] = {
      {"/find?q=TONER+smudge", "href=\"/requests/1017\">1017</a>"},
      {"/find?q=label+printer", "No requests here."},
      {"/find?q=extension", "1021 (closed)"},
      {"/find?q=1021", "1021 (closed)"},
      {"/find?q=99999", "No requests here."},
      {"/find?q=%22%27%29+OR+*", "Requests with: "},  // syntax not read
      {"/queues/open", "href=\"/requests/1017\""},
      {"/queues/workgroup", "Open requests of Service Desk"},
      {"/queues/closed", "1021 (closed)"},
      {"/queues/unassigned", "Unassigned requests"},
      {"/queues/open?page=2", "<a href=\"/queues/open?page=1\">Previous"},
  };
  for (const auto& [path, shown] : pages) {
    browser.Get(path);
    EXPECT_EQ(200, browser.status()) << path;
    EXPECT_TRUE(browser.Shows(shown)) << path;
    EXPECT_FALSE(browser.Shows("kv-alert-error")) << path;
    EXPECT_FALSE(browser.Shows("href=\"/requests/1021\"")) << path;
  }
  browser.Get("/queues/bogus");
  EXPECT_EQ(404, browser.status());
}

TEST_P(WebServerTest, QueuesListFiftyRequestsAPage) {
  const std::string settings = MakeDesk("big", 3);  // 72 open requests
  Restart([&](ServeOptions& options) { options.settings_path = settings; });
  Browser browser = SignIn("ann");
  browser.Get("/queues/open");
  EXPECT_EQ(50u, Occurrences(browser.page(), "class=\"kv-request\""));
  EXPECT_TRUE(browser.Shows("<a href=\"/queues/open?page=2\">Next page</a>"));
  EXPECT_FALSE(browser.Shows("Previous page"));
  browser.Get("/queues/open?page=2");
  EXPECT_EQ(22u, Occurrences(browser.page(), "class=\"kv-request\""));
  EXPECT_TRUE(browser.Shows("Requests 51 to 72 of 72."));
  EXPECT_TRUE(browser.Shows(
      "<a href=\"/queues/open\" aria-current=\"page\">All open <span "
      "class=\"kv-queue-count\">(72)</span></a>"));
  EXPECT_FALSE(browser.Shows("Next page"));
}

// A new-request form carries a one-time id: posted again (a double click, a
// retry, to another node of the help desk), it stores nothing new and goes
// where the first post went.
TEST_P(WebServerTest, ANewRequestFormPostedTwiceRegistersOneRequest) {
  const std::string count_query = "SELECT COUNT(*) FROM Current_Requests";
  const std::string before = QueryValue(db_path_, count_query);
  Browser browser = SignIn("ann");
  browser.Get("/requests/new");
  const std::string form_id = HiddenValue(browser.page(), "KIRVSFormId");
  ASSERT_EQ(32u, form_id.size());
  const Fields fields = {
      {"KIRVSCommand", "Save Request"},
      {"KIRVSToken", browser.token()},
      {"KIRVSPage", HiddenValue(browser.page(), "KIRVSPage")},
      {"KIRVSFormId", form_id},
      {"requestno", "0"},
      {"Description", "Printer on fire"}};
  // A post that fails on its way (500, logged) leaves the form to be posted
  // again.
  Set(&throw_on_, "SAVE REQUEST");
  browser.PostFields(fields);
  EXPECT_EQ(500, browser.status());
  EXPECT_TRUE(browser.Shows("Something went wrong"));
  EXPECT_TRUE(Logged("error=\"test failure"));
  Set(&throw_on_, "");
  TakeCalls();
  // Two at once: the second waits for the first, then replays it.
  Set(&pause_on_, "SAVE REQUEST");
  Browser twin(port_);
  twin.set_cookie("kirvs_session", browser.cookie("kirvs_session"));
  std::thread second([&] { twin.PostFields(fields); });
  browser.PostFields(fields);
  second.join();
  Restart([](ServeOptions&) {});  // the ids are kept in the database
  browser.On(port_).PostFields(fields);
  for (Browser* b : {&browser, &twin}) {
    EXPECT_EQ(303, b->post_status());
    EXPECT_EQ("/", b->redirected_to());
  }
  EXPECT_EQ(std::to_string(std::stoi(before) + 1),
            QueryValue(db_path_, count_query));
  EXPECT_EQ(1u, Occurrences(TakeCommands(), "SAVE REQUEST"));
}

}  // namespace
}  // namespace kirvs::web
