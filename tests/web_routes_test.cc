// The web front's routes over HTTP: what each kind of button passes to the
// engine, the pages' addresses and the 303s to them, the notices, plain
// errors and required fields, sorting, search, the find box and queues, and
// the new-request form's one-time id.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/init_command.h"
#include "platform/settings_file.h"
#include "web/options/serve_options.h"
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

// A button of each kind of match and parameter, from a session signed in as
// ann, posting a page's worth of fields and forged identity fields: the
// engine must get the command and parameters of the button, and forms with
// ann's identity. (That every caption maps to a known command is checked on
// the golden pages.)
TEST_F(WebServerTest, ButtonsOfEachKindPassTheirParameters) {
  struct Row {
    std::string caption;
    std::string command;
    std::string p1;
    std::string p2;
  };
  const std::string person = "\"Ann Archer\"";
  const Row rows[] = {
      {"Show List", "SHOW LIST", person, "\"\""},
      {"show list", "SHOW LIST", person, "\"\""},
      {"Sort List Now", "SORT LIST NOW", person, "\"Priority\""},
      {"1017", "SHOW REQUEST", "\"1017\"", person},
      {"Register New Request", "REGISTER NEW REQUEST", "<form>", "<empty>"},
      {"Close", "CLOSE", "\"1017\"", person},
      {"Activities", "ACTIVITIES", "\"1017\"", "<empty>"},
      {"#3", "SHOW ACTIVITY", "<form>", "\"3\""},
      {"Add Activity", "ADD ACTIVITY", "\"1017\"", person},
      {"Save Activity", "SAVE ACTIVITY", "<form>", "\"1017\""},
      {"Search Inventory", "SEARCH INVENTORY", "<empty>", "<empty>"},
      {"Search Inventory Now", "SEARCH INVENTORY NOW", "<form>", "<empty>"},
      {"*LT-0001", "SHOW ITEM", "\"LT-0001\"", "<empty>"},
  };
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  ASSERT_EQ(200, browser.status());
  for (const Row& row : rows) {
    TakeCalls();
    browser.Click(row.caption, {{"requestno", "1017"},
                                {"sortrequests", "Priority"},
                                {"Bogus", "x"},
                                {"KIRVSCurrentUser", "bob"},
                                {"KIRVSCurrentPerson", "Bob Baker"}});
    std::vector<SeenCall> calls = TakeCalls();
    ASSERT_FALSE(calls.empty()) << row.caption << ": nothing ran";
    const SeenCall& call = calls.front();
    EXPECT_EQ(row.command, call.command) << row.caption;
    EXPECT_EQ(row.p1, call.p1) << row.caption;
    EXPECT_EQ(row.p2, call.p2) << row.caption;
    // (The searches' criteria are rewritten: SearchFindsWhatContainsTheWords.)
    if (row.p1 == "<form>" && !row.command.starts_with("SEARCH")) {
      Fields expected = {
          {"KIRVSCommand", row.caption}, {"requestno", "1017"},
          {"sortrequests", "Priority"},  {"Bogus", "x"},
          {"KIRVSCurrentUser", "ann"},   {"KIRVSCurrentPerson", "Ann Archer"}};
      EXPECT_EQ(expected, call.form) << row.caption;
    }
    // A failed save or close keeps the user where he was; either way he is
    // still signed in.
    EXPECT_TRUE(browser.Shows("Signed in as Ann Archer")) << row.caption;
  }
}

TEST_F(WebServerTest, CaptionsNoPageOffersRunNothing) {
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  for (const std::string caption :
       {"Delete Everything", "", "#", "#x3", "*", "12345678901", "17a",
        " Show List", "STARTUP"}) {
    TakeCalls();
    browser.Click(caption);
    EXPECT_EQ(400, browser.status()) << "'" << caption << "'";
    EXPECT_TRUE(browser.Shows("kv-alert-error")) << caption;
    EXPECT_TRUE(TakeCalls().empty()) << caption;
  }
}

// A failed command shows, above the page posted from and with what he had
// typed, a sentence that names the field to correct; the engine's own text
// (queries and all) goes to the access log only.
TEST_F(WebServerTest, FailedCommandShowsAPlainErrorAboveThePagePostedFrom) {
  struct Row {
    std::string caption;
    Fields fields;
    std::string said;
    std::string field;  // the field marked, if any
    std::string logged;
  };
  const Row rows[] = {
      {"Save Allocation",
       {{"requestno", "1017"},
        {"Telephone", "x9 <new>"},
        {"Allocated", "tomorrow"}},
       "Allocated: enter a date such as 2026-12-07 09:00.",
       "Allocated",
       "strQuery: SELECT * FROM [Current_Requests]"},
      {"Save Request",
       {{"requestno", "1017"}, {"DownTime", "abc"}},
       "DownTime: enter a number such as 1.5.",
       "DownTime",
       "DownTime=abc"},
      {"Close Now",
       {{"requestno", "99"}, {"ResolutionCode", "FIXED"}, {"Resolution", "x"}},
       "Request 99 is no longer outstanding: it may have been closed "
       "meanwhile.",
       "",
       "Unable to locate request: 99"},
      {"Search Inventory Now",
       {{"Bad]", "x"}},
       "Bad]: the help desk cannot search by this field.",
       "Bad]",
       "unknown column: Bad]"},
  };
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  browser.Click("1017");
  ASSERT_TRUE(browser.Shows("Service Request 1017"));
  for (const Row& row : rows) {
    browser.Click(row.caption, row.fields);
    EXPECT_EQ(200, browser.post_status()) << row.caption;
    EXPECT_TRUE(browser.Shows("<div class=\"kv-alert-body\">" + row.said))
        << row.caption << "\n"
        << browser.page();
    EXPECT_TRUE(browser.Shows("level=\"1\">Service Request 1017</strong>"))
        << row.caption;
    EXPECT_FALSE(browser.Shows("strQuery")) << row.caption;
    EXPECT_FALSE(browser.Shows("An error occurred")) << row.caption;
    if (!row.field.empty()) {
      EXPECT_TRUE(browser.Shows("id=\"kv-invalid\">[\"" + row.field + "\"]"))
          << row.caption;
    }
    EXPECT_TRUE(Logged(row.logged)) << row.caption;
  }
  // A trace that quotes a password field stays out of the log.
  browser.Click(
      "Save Request",
      {{"requestno", "1017"}, {"DownTime", "abc"}, {"txtPassword", "hunter2"}});
  EXPECT_TRUE(Logged("error=\"(withheld"));
  EXPECT_FALSE(Logged("hunter2"));
  // What he typed comes back, escaped so that it cannot end the element.
  browser.Click(
      "Save Request",
      {{"requestno", "1017"}, {"Telephone", "x9 <new>"}, {"DownTime", "abc"}});
  EXPECT_TRUE(browser.Shows("[\"Telephone\",\"x9 \\u003cnew\\u003e\"]"));
  EXPECT_EQ("x1120", QueryValue(db_path_,
                                "SELECT Telephone FROM "
                                "Current_Requests WHERE "
                                "RequestNo=1017"));
}

TEST_F(WebServerTest, SavingAndClosingChangeWhatTheListShows) {
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  ASSERT_TRUE(browser.Shows("value=1021 type=submit"));
  browser.Click("1021");
  browser.Click("Close", {{"requestno", "1021"}});
  ASSERT_TRUE(browser.Shows("Close Service Request 1021"));
  browser.Click("Close Now", {{"requestno", "1021"},
                              {"Completed", "2025-03-01 10:00:00"},
                              {"ResolutionCode", "FIXED"},
                              {"Resolution", "Moved the extension."}});
  ASSERT_EQ(200, browser.status());
  EXPECT_FALSE(browser.Shows("kv-alert-error")) << browser.page();
  EXPECT_TRUE(browser.Shows("Outstanding Service Issues for: Ann Archer"));
  EXPECT_FALSE(browser.Shows("value=1021 type=submit"));
  EXPECT_TRUE(browser.Shows("5 allocated requests in current list."));
}

// Every page has an address that a GET shows again; an address of no page
// is not found.
TEST_F(WebServerTest, EveryPageHasAnAddress) {
  const std::pair<std::string, std::string> pages[] = {
      {"/", "level=\"1\">Outstanding Service Issues for: Ann Archer</strong>"},
      {"/?sort=Priority", "<option selected value='Priority'>"},
      {"/requests/1017", "level=\"1\">Service Request 1017</strong>"},
      {"/requests/1017/allocate", "level=\"1\">Allocate Service Request 1017"},
      {"/requests/1017/schedule", "level=\"1\">Schedule Service Request 1017"},
      {"/requests/1017/close", "level=\"1\">Close Service Request 1017"},
      {"/requests/1017/activities", "Activity Log for Service Request: 1017"},
      {"/requests/1017/activities/new", "New Activity Details for Service"},
      {"/requests/new", "level=\"1\">Register New Service Request"},
      {"/inventory", "level=\"1\">Search Inventory Database"},
      {"/inventory?Manufacturer=Cisco", "*SW-0007"},
      {"/items/RT-0006", "level=\"1\">Inventory Item Details: RT-0006"},
      {"/items/RT-0006/configuration", "Configuration Details for Item: RT"},
      {"/solutions", "level=\"1\">Search Solutions Database"},
      {"/solutions?Description=%25printer%25", "Duplex jams on laser"},
  };
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  for (const auto& [path, shown] : pages) {
    browser.Get(path);
    EXPECT_EQ(200, browser.status()) << path;
    EXPECT_TRUE(browser.Shows(shown)) << path;
    EXPECT_FALSE(browser.Shows("kv-alert-error")) << path;
  }
  for (const char* path : {"/requests/x", "/requests/1017/bogus",
                           "/requests/1017/activities/x", "/items/"}) {
    browser.Get(path);
    EXPECT_EQ(404, browser.status()) << path;
  }
}

// A click that worked answers 303 to the address of the page that follows,
// so that Back and Reload never post it again.
TEST_F(WebServerTest, PostsThatWorkAnswer303ToThePageThatFollows) {
  struct Row {
    std::string caption;
    Fields fields;
    std::string location;
  };
  const Row rows[] = {
      {"Show List", {}, "/"},
      {"Sort List Now", {{"sortrequests", "Priority"}}, "/?sort=Priority"},
      {"1017", {}, "/requests/1017"},
      {"Schedule", {{"requestno", "1017"}}, "/requests/1017/schedule"},
      {"Activities", {{"requestno", "1017"}}, "/requests/1017/activities"},
      {"Add Activity",
       {{"requestno", "1017"}},
       "/requests/1017/activities/new"},
      {"Register New Request", {}, "/requests/new"},
      {"Search Inventory Now",
       {{"ItemId", ""}, {"Manufacturer", "Cisco"}, {"Location", " "}},
       "/inventory?Manufacturer=Cisco"},
      {"Search Solutions Now",
       {{"Description", ""}},
       "/solutions?Description="},
      {"*RT-0006", {}, "/items/RT-0006"},
      {"Show Configuration",
       {{"itemid", "RT-0006"}, {"ItemId", "RT-0006"}},
       "/items/RT-0006/configuration"},
      {"Save Request", {{"requestno", "1017"}, {"Telephone", "x77"}}, "/"},
  };
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  EXPECT_EQ(303, browser.post_status());
  EXPECT_EQ("/", browser.redirected_to());
  for (const Row& row : rows) {
    browser.Click(row.caption, row.fields);
    EXPECT_EQ(303, browser.post_status()) << row.caption;
    EXPECT_EQ(row.location, browser.redirected_to()) << row.caption;
    EXPECT_EQ(200, browser.status()) << row.caption;
    EXPECT_FALSE(browser.Shows("kv-alert-error")) << row.caption;
  }
  EXPECT_EQ("x77", QueryValue(db_path_,
                              "SELECT Telephone FROM Current_Requests WHERE "
                              "RequestNo=1017"));
}

// After every change the next page says what happened, once, with a link
// to the request while it is outstanding.
TEST_F(WebServerTest, ChangesSayWhatHappenedOnTheNextPage) {
  struct Row {
    std::string caption;
    Fields fields;
    std::string notice;
  };
  const std::string link = " <a href=\"/requests/1017\">Open request 1017</a>";
  const Row rows[] = {
      {"Save Request",
       {{"requestno", "1017"}, {"Telephone", "x1"}},
       "Request 1017 saved." + link},
      {"Save Allocation",
       {{"requestno", "1025"}, {"Personnel", "Bob Baker"}},
       "Request 1025 allocated to Bob Baker. <a href=\"/requests/1025\">"},
      {"Save Schedule",
       {{"requestno", "1017"}, {"Scheduled", "2026-12-08 09:00"}},
       "Request 1017 scheduled for 2026-12-08 09:00." + link},
      {"Save Close Details",
       {{"requestno", "1017"}, {"Resolution", "Waiting for a part."}},
       "Close details of request 1017 saved." + link},
      {"Close Now",
       {{"requestno", "1021"},
        {"Completed", "2025-03-01 10:00:00"},
        {"ResolutionCode", "FIXED"},
        {"Resolution", "Moved the extension."}},
       "Request 1021 closed.</div>"},
  };
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  EXPECT_FALSE(browser.Shows("role=\"status\""));
  for (const Row& row : rows) {
    browser.Click(row.caption, row.fields);
    EXPECT_EQ("/", browser.redirected_to()) << row.caption;
    EXPECT_TRUE(browser.Shows("role=\"status\">" + row.notice))
        << row.caption << "\n"
        << browser.page();
    browser.Get("/");
    EXPECT_FALSE(browser.Shows("role=\"status\"")) << row.caption;
  }

  browser.Get("/requests/new");
  browser.Click("Save Request", {{"requestno", "0"},
                                 {"Description", "Headset crackles."},
                                 {"Personnel", "Ann Archer"}});
  std::string number =
      QueryValue(db_path_,
                 "SELECT RequestNo FROM Current_Requests WHERE Description = "
                 "'Headset crackles.'");
  EXPECT_TRUE(browser.Shows("role=\"status\">Request " + number +
                            " registered. <a href=\"/requests/" + number +
                            "\">"))
      << browser.page();
}

// The required fields of [Web] in the settings file: a post that leaves
// one empty never reaches the engine, and the page says which field.
TEST_F(WebServerTest, RequiredFieldsAreAskedForBeforeTheEngineRuns) {
  struct Row {
    std::string caption;
    Fields fields;
    std::vector<std::string> refused;  // empty: it goes ahead
  };
  const Row defaults[] = {
      {"Save Request",
       {{"requestno", "1017"}, {"Description", " "}, {"Priority", ""}},
       {"Description", "Priority"}},
      {"Save Allocation",
       {{"requestno", "1017"}, {"Personnel", " "}, {"WorkGroup", ""}},
       {"Personnel"}},
      {"Close Now",
       {{"requestno", "1021"}, {"ResolutionCode", " "}, {"Resolution", "x"}},
       {"ResolutionCode"}},
      // Fields the page does not show are not asked for.
      {"Save Request", {{"requestno", "1017"}, {"Telephone", ""}}, {}},
  };
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  auto check = [&](const Row& row) {
    TakeCalls();
    browser.Click(row.caption, row.fields);
    std::vector<SeenCall> calls = TakeCalls();
    if (row.refused.empty()) {
      EXPECT_EQ(303, browser.post_status()) << row.caption;
      return;
    }
    EXPECT_TRUE(calls.empty()) << row.caption;
    EXPECT_EQ(200, browser.post_status()) << row.caption;
    std::string json;
    for (const std::string& field : row.refused) {
      EXPECT_TRUE(browser.Shows("<li>" + field + ": fill this in;"))
          << row.caption << " " << field;
      json += (json.empty() ? "[\"" : ",\"") + field + "\"";
    }
    EXPECT_TRUE(browser.Shows("id=\"kv-invalid\">" + json + "]</script>"))
        << row.caption;
  };
  for (const Row& row : defaults) check(row);
  EXPECT_EQ("1021", QueryValue(db_path_,
                               "SELECT RequestNo FROM Current_Requests "
                               "WHERE RequestNo=1021"));

  ASSERT_TRUE(WriteIniString(options_.settings_path, "Web", "RequiredToSave",
                             "Telephone")
                  .ok());
  check({"Save Request",
         {{"requestno", "1017"}, {"Telephone", ""}, {"Description", ""}},
         {"Telephone"}});
  check({"Save Request",
         {{"requestno", "1017"}, {"Telephone", "x1"}, {"Description", ""}},
         {}});
}

// The numbers of the requests a list page shows, in its order.
std::vector<std::string> ListedNumbers(const std::string& page) {
  std::vector<std::string> numbers;
  const std::string marker = "<tr><td><input name=KIRVSCommand value=";
  for (size_t at = page.find(marker); at != std::string::npos;
       at = page.find(marker, at + 1)) {
    size_t start = at + marker.size();
    numbers.push_back(page.substr(start, page.find(' ', start) - start));
  }
  return numbers;
}

// The bar on every signed-in page, and a list sorted by clicking a column's
// header (again: the other way round), kept for the session.
TEST_F(WebServerTest, TopBarAndSortingByColumnHeaders) {
  Browser browser(port_);
  browser.Get();
  EXPECT_FALSE(browser.Shows("<nav"));
  browser.LogIn("ann", "ann123");
  for (const char* link :
       {"<a href=\"/\">My requests</a>", "<a href=\"/requests/new\">",
        "<a href=\"/solutions\">", "<a href=\"/inventory\">",
        "value=\"Logout\">Sign out</button>"}) {
    EXPECT_TRUE(browser.Shows(link)) << link;
  }
  // Sorted by its number at first: the number's header turns it round.
  EXPECT_TRUE(browser.Shows("href=\"/?sort=RequestNo&amp;dir=desc\""));
  std::vector<std::string> ascending = ListedNumbers(browser.page());
  ASSERT_EQ(6u, ascending.size());

  browser.Get("/?sort=Priority");
  EXPECT_TRUE(browser.Shows("href=\"/?sort=Priority&amp;dir=desc\""));
  EXPECT_TRUE(browser.Shows("href=\"/?sort=RequestNo\""));
  std::vector<std::string> by_priority = ListedNumbers(browser.page());
  EXPECT_NE(ascending, by_priority);

  browser.Get("/?sort=Priority&dir=desc");
  EXPECT_TRUE(browser.Shows("href=\"/?sort=Priority\""));
  std::vector<std::string> reversed(by_priority.rbegin(), by_priority.rend());
  EXPECT_EQ(reversed, ListedNumbers(browser.page()));
  // Each request keeps its description row under it.
  size_t first = browser.page().find("value=" + reversed[0] + " type=submit");
  size_t description = browser.page().find("colspan=5", first);
  EXPECT_LT(description, browser.page().find("value=" + reversed[1] + " "));

  // The order stays for the session: the list comes back in it.
  browser.Click("Show List");
  EXPECT_EQ(reversed, ListedNumbers(browser.page()));
  Browser other(port_);
  other.LogIn("ann", "ann123");
  EXPECT_EQ(ascending, ListedNumbers(other.page()));
}

// The web's search forms: a word finds the rows that contain it, in any
// case; an operator or wildcard is taken as typed; the query is not shown,
// the items' buttons show their ids, and an empty result says so.
TEST_F(WebServerTest, SearchFindsWhatContainsTheWords) {
  const std::pair<std::string, std::string> typed[] = {
      {"cisco", "%cisco%"},   {" Cisco ", "%Cisco%"}, {"=Cisco", "=Cisco"},
      {"<>Cisco", "<>Cisco"}, {"Cis%", "Cis%"},       {">=C", ">=C"},
  };
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  for (const auto& [value, sent] : typed) {
    TakeCalls();
    browser.Click("Search Inventory Now",
                  {{"Manufacturer", value}, {"Location", " "}});
    std::vector<SeenCall> calls = TakeCalls();
    ASSERT_FALSE(calls.empty()) << value;
    Fields expected = {{"KIRVSCommand", "Search Inventory Now"},
                       {"Manufacturer", sent},
                       {"Location", " "},
                       {"KIRVSCurrentUser", "ann"},
                       {"KIRVSCurrentPerson", "Ann Archer"}};
    EXPECT_EQ(expected, calls.front().form) << value;
  }
  browser.Get("/inventory?Manufacturer=cisco");
  EXPECT_TRUE(browser.Shows(
      "<button name=KIRVSCommand value=\"*RT-0006\" type=submit>RT-0006"
      "</button>"));
  EXPECT_FALSE(browser.Shows("SELECT"));
  EXPECT_FALSE(browser.Shows("role=\"status\""));
  browser.Get("/solutions?Description=no+such+words");
  EXPECT_TRUE(browser.Shows("role=\"status\">Nothing matches these criteria."));
  EXPECT_FALSE(browser.Shows("SELECT"));
}

// The find box: a number opens its request; words find open and closed
// requests through the index the request tables' triggers keep in step.
// The queues list 50 requests a page.
TEST_F(WebServerTest, FindBoxAndQueues) {
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  EXPECT_TRUE(browser.Shows("<form method=\"get\" action=\"/find\""));
  browser.Get("/find?q=1017");
  EXPECT_EQ(303, browser.status());
  EXPECT_EQ("/requests/1017", browser.header("Location"));

  browser.Get("/find?q=PRINT");
  EXPECT_TRUE(browser.Shows("href=\"/requests/1017\">1017</a>"));
  browser.Click("Save Request", {{"requestno", "1017"},
                                 {"Description", "Toner smudges on every page"},
                                 {"Priority", "3-Normal"}});
  browser.Get("/find?q=toner+smudge");
  EXPECT_TRUE(browser.Shows("href=\"/requests/1017\">1017</a>"));
  browser.Get("/find?q=label+printer");
  EXPECT_TRUE(browser.Shows("No requests here."));
  browser.Click("Close Now", {{"requestno", "1021"},
                              {"Completed", "2025-03-01 10:00:00"},
                              {"ResolutionCode", "FIXED"},
                              {"Resolution", "Moved the extension."}});
  browser.Get("/find?q=extension");
  EXPECT_TRUE(browser.Shows("1021 (closed)"));
  EXPECT_FALSE(browser.Shows("href=\"/requests/1021\""));
  browser.Get("/find?q=%22%27%29+OR+*");  // the index's syntax is not read
  EXPECT_EQ(200, browser.status());
  EXPECT_FALSE(browser.Shows("kv-alert-error"));

  const std::pair<std::string, std::string> queues[] = {
      {"/queues/open", "href=\"/requests/1017\""},
      {"/queues/workgroup", "Open requests of Service Desk"},
      {"/queues/closed", "1021 (closed)"},
      {"/queues/unassigned", "Unassigned requests"},
      {"/queues/open?page=2", "<a href=\"/queues/open?page=1\">Previous"},
  };
  for (const auto& [path, shown] : queues) {
    browser.Get(path);
    EXPECT_EQ(200, browser.status()) << path;
    EXPECT_TRUE(browser.Shows(shown)) << path;
  }
  browser.Get("/queues/bogus");
  EXPECT_EQ(404, browser.status());
}

TEST_F(WebServerTest, QueuesListFiftyRequestsAPage) {
  InitOptions init;
  init.dir = dir_.File("big");
  init.demo = true;
  init.scale = 3;  // 72 open requests
  std::ostringstream out, errors;
  ASSERT_EQ(0, RunInit(init, out, errors)) << errors.str();
  Restart([&](ServeOptions& options) {
    options.settings_path = init.dir + "/" + kSettingsFileName;
  });
  auto listed = [](const std::string& page) {
    size_t count = 0;
    for (size_t at = page.find("class=\"kv-request\""); at != std::string::npos;
         at = page.find("class=\"kv-request\"", at + 1)) {
      ++count;
    }
    return count;
  };
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  browser.Get("/queues/open");
  EXPECT_EQ(50u, listed(browser.page()));
  EXPECT_TRUE(browser.Shows("<a href=\"/queues/open?page=2\">Next page</a>"));
  EXPECT_FALSE(browser.Shows("Previous page"));
  browser.Get("/queues/open?page=2");
  EXPECT_EQ(22u, listed(browser.page()));
  EXPECT_TRUE(browser.Shows("Requests 51 to 72."));
  EXPECT_FALSE(browser.Shows("Next page"));
}

// A new-request form carries a one-time id: posted again (a double click, a
// retry), it stores nothing new and goes where the first post went.
TEST_F(WebServerTest, ANewRequestFormPostedTwiceRegistersOneRequest) {
  const std::string count_query = "SELECT COUNT(*) FROM Current_Requests";
  const std::string before = QueryValue(db_path_, count_query);
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
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
  // A post that fails on its way (500) leaves the form to be posted again.
  Set(&throw_on_, "SAVE REQUEST");
  browser.PostFields(fields);
  EXPECT_EQ(500, browser.status());
  Set(&throw_on_, "");
  TakeCalls();
  // Two at once: the second waits for the first, then replays it.
  Set(&pause_on_, "SAVE REQUEST");
  Browser twin(port_);
  twin.set_cookie("kirvs_session", browser.cookie("kirvs_session"));
  std::thread second([&] { twin.PostFields(fields); });
  browser.PostFields(fields);
  second.join();
  browser.PostFields(fields);
  for (Browser* b : {&browser, &twin}) {
    EXPECT_EQ(303, b->post_status());
    EXPECT_EQ("/", b->redirected_to());
  }
  EXPECT_EQ(std::to_string(std::stoi(before) + 1),
            QueryValue(db_path_, count_query));
  int saves = 0;
  for (const SeenCall& call : TakeCalls()) {
    saves += call.command == "SAVE REQUEST";
  }
  EXPECT_EQ(1, saves);
}

}  // namespace
}  // namespace kirvs::web
