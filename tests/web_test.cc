// The web front over HTTP, against a server on a free loopback port with a
// demo help desk: what each kind of button passes, the identity kept on the
// server, CSRF tokens, cookies, logout, idle sessions, the login throttle,
// the limits, the access log and a clean stop.

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/init_command.h"
#include "data/second_factor.h"
#include "kirvs/submitted_form.h"
#include "platform/clock.h"
#include "platform/settings_file.h"
#include "platform/totp.h"
#include "test_support.h"
#include "web/identity/second_factor_step.h"
#include "web/pages/enhance.h"
#include "web/pages/page.h"
#include "web/pages/visitor_messages.h"
#include "web/routes/plain_errors.h"
#include "web/serve.h"
#include "web/web_server.h"

namespace kirvs::web {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;
using ::kirvs::testing::ExecSql;
using ::kirvs::testing::ManualClock;
using ::kirvs::testing::QueryValue;
using ::kirvs::testing::TempDir;

std::string UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string FormBody(const Fields& fields) {
  std::string body;
  for (const auto& [name, value] : fields) {
    if (!body.empty()) body += '&';
    body += UrlEncode(name) + "=" + UrlEncode(value);
  }
  return body;
}

// The value of a hidden field the front adds to its form.
std::string HiddenValue(const std::string& page, const std::string& name) {
  std::string marker = "name=\"" + name + "\" value=\"";
  size_t start = page.find(marker);
  if (start == std::string::npos) return "";
  start += marker.size();
  return page.substr(start, page.find('"', start) - start);
}

// One browser: its cookies, and the token and page number of the page it
// shows, which it posts back with every click as the page's form would.
class Browser {
 public:
  explicit Browser(int port) : client_("127.0.0.1", port) {
    client_.set_read_timeout(10, 0);
  }

  void Get(const std::string& path = "/") {
    set_cookies_.clear();
    Remember(client_.Get(path.c_str(), CookieHeaders()));
  }

  // Clicks a button of the current page, posting `fields` with it.
  void Click(const std::string& caption, Fields fields = {}) {
    fields.insert(fields.begin(), {"KIRVSCommand", caption});
    fields.emplace_back("KIRVSToken", token_);
    if (!page_number_.empty()) fields.emplace_back("KIRVSPage", page_number_);
    PostRaw(FormBody(fields));
  }

  // Posts exactly these fields: no token or page number added.
  void PostFields(const Fields& fields) { PostRaw(FormBody(fields)); }

  // Posts as a browser does: a 303 answer is followed by a GET of its
  // Location, and status() is then the status of that GET.
  void PostRaw(const std::string& body,
               const std::string& type = "application/x-www-form-urlencoded") {
    set_cookies_.clear();
    Remember(client_.Post("/", CookieHeaders(), body, type.c_str()));
    post_status_ = status_;
    redirected_to_.clear();
    if (status_ != 303) return;
    redirected_to_ = header("Location");
    Remember(client_.Get(redirected_to_.c_str(), CookieHeaders()));
  }

  void LogIn(const std::string& user, const std::string& password) {
    if (token_.empty()) Get();
    Click("Login", {{"txtUserID", user}, {"txtPassword", password}});
  }

  int status() const { return status_; }
  // The status the last post itself was answered with, and where a 303
  // sent the browser (empty: nowhere).
  int post_status() const { return post_status_; }
  const std::string& redirected_to() const { return redirected_to_; }
  const std::string& page() const { return page_; }
  const std::string& token() const { return token_; }
  std::string header(const std::string& name) const {
    auto it = headers_.find(name);
    return it == headers_.end() ? "" : it->second;
  }
  const std::vector<std::string>& set_cookies() const { return set_cookies_; }
  std::string cookie(const std::string& name) const {
    auto it = cookies_.find(name);
    return it == cookies_.end() ? "" : it->second;
  }
  void set_cookie(const std::string& name, const std::string& value) {
    cookies_[name] = value;
  }
  void set_token(const std::string& token) { token_ = token; }

  bool Shows(const std::string& text) const {
    return page_.find(text) != std::string::npos;
  }

 private:
  httplib::Headers CookieHeaders() const {
    std::string header;
    for (const auto& [name, value] : cookies_) {
      if (!header.empty()) header += "; ";
      header += name + "=" + value;
    }
    if (header.empty()) return {};
    return {{"Cookie", header}};
  }

  void Remember(const httplib::Result& result) {
    ASSERT_TRUE(result) << "no answer: " << httplib::to_string(result.error());
    status_ = result->status;
    page_ = result->body;
    headers_.clear();
    for (const auto& [name, value] : result->headers) {
      headers_.emplace(name, value);
      if (name != "Set-Cookie") continue;
      set_cookies_.push_back(value);
      std::string pair = value.substr(0, value.find(';'));
      std::string cookie_name = pair.substr(0, pair.find('='));
      if (value.find("Max-Age=0") != std::string::npos) {
        cookies_.erase(cookie_name);
      } else {
        cookies_[cookie_name] = pair.substr(pair.find('=') + 1);
      }
    }
    if (std::string token = HiddenValue(page_, "KIRVSToken"); !token.empty()) {
      token_ = token;
    }
    page_number_ = HiddenValue(page_, "KIRVSPage");
  }

  httplib::Client client_;
  std::map<std::string, std::string> cookies_;
  std::multimap<std::string, std::string> headers_;
  std::vector<std::string> set_cookies_;
  std::string token_;
  std::string page_number_;
  std::string page_;
  std::string redirected_to_;
  int status_ = 0;
  int post_status_ = 0;
};

// A RunCommand call as the engine received it, for comparison.
struct SeenCall {
  std::string command;
  std::string p1;
  std::string p2;
  Fields form;  // the fields of the form parameter, if one was passed
};

std::string Describe(const Variant& value, Fields* form) {
  if (value.IsEmpty()) return "<empty>";
  if (value.IsForm()) {
    *form = value.form()->fields();
    return "<form>";
  }
  return "\"" + value.ToText() + "\"";
}

class WebServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitOptions init;
    init.dir = dir_.File("desk");
    init.demo = true;
    std::ostringstream out, errors;
    ASSERT_EQ(0, RunInit(init, out, errors)) << errors.str();
    db_path_ = init.dir + "/" + kDatabaseFileName;
    options_.settings_path = init.dir + "/" + kSettingsFileName;
    options_.port = 0;
    options_.threads = 4;
    options_.first_login_delay = std::chrono::milliseconds(800);
    options_.clock = &clock_;
    options_.access_log = [this](std::string_view line) {
      std::lock_guard lock(mu_);
      log_.emplace_back(line);
    };
    options_.observe_call = [this](const EngineCall& call) {
      SeenCall seen{call.command, "", "", {}};
      seen.p1 = Describe(*call.p1, &seen.form);
      seen.p2 = Describe(*call.p2, &seen.form);
      std::unique_lock lock(mu_);
      calls_.push_back(std::move(seen));
      if (throw_on_ == call.command) throw std::runtime_error("test failure");
      if (pause_on_ == call.command) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
      }
    };
    Start();
  }

  void TearDown() override { Stop(); }

  void Start() {
    server_ = std::make_unique<WebServer>(options_);
    port_ = server_->Bind();
    ASSERT_NE(0, port_);
    listener_ = std::thread([this] { listened_ok_ = server_->Listen(); });
  }

  void Stop() {
    if (!server_) return;
    server_->Stop();
    listener_.join();
    server_.reset();
  }

  // Restarts the server with changed options (sessions, form ids and the
  // login throttle stay in the database).
  template <typename Change>
  void Restart(Change change) {
    Stop();
    change(options_);
    Start();
  }

  std::vector<SeenCall> TakeCalls() {
    std::lock_guard lock(mu_);
    return std::exchange(calls_, {});
  }
  // The access log once it has `lines` lines: the server writes a line
  // just after it has sent the answer.
  std::vector<std::string> Log(size_t lines) {
    for (int i = 0; i < 200; ++i) {
      {
        std::lock_guard lock(mu_);
        if (log_.size() >= lines) return log_;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::lock_guard lock(mu_);
    return log_;
  }
  // Whether a line of the access log holds `text`, waiting a little for it.
  bool Logged(const std::string& text) {
    for (int i = 0; i < 200; ++i) {
      {
        std::lock_guard lock(mu_);
        for (const std::string& line : log_) {
          if (line.find(text) != std::string::npos) return true;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  void Set(std::string* field, std::string value) {
    std::lock_guard lock(mu_);
    *field = std::move(value);
  }
  int LoginEntries(const std::string& user) {
    return std::stoi(QueryValue(
        db_path_, "SELECT COUNT(*) FROM Logins WHERE UserName='" + user + "'"));
  }

  TempDir dir_;
  std::string db_path_;
  ManualClock clock_;
  ServeOptions options_;
  std::unique_ptr<WebServer> server_;
  int port_ = 0;
  std::thread listener_;
  std::atomic<bool> listened_ok_{false};
  std::mutex mu_;
  std::vector<SeenCall> calls_;
  std::vector<std::string> log_;
  std::string throw_on_;
  std::string pause_on_;
};

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

TEST_F(WebServerTest, LoginStartsASessionWithSafeCookies) {
  Browser browser(port_);
  browser.Get();
  ASSERT_EQ(200, browser.status());
  ASSERT_EQ(1u, browser.set_cookies().size());
  EXPECT_EQ(0u, browser.set_cookies()[0].find("kirvs_browser="));
  EXPECT_NE(std::string::npos, browser.set_cookies()[0].find(
                                   "; Path=/; HttpOnly; SameSite=Strict"));

  std::string login_token = browser.token();
  browser.set_cookie("kirvs_session", "planted-by-someone-else");
  browser.LogIn("ann", "ann123");
  ASSERT_EQ(200, browser.status());
  EXPECT_TRUE(browser.Shows("Outstanding Service Issues for: Ann Archer"));
  ASSERT_EQ(1u, browser.set_cookies().size());
  const std::string& cookie = browser.set_cookies()[0];
  EXPECT_EQ(0u, cookie.find("kirvs_session="));
  EXPECT_NE(std::string::npos, cookie.find("HttpOnly"));
  EXPECT_NE(std::string::npos, cookie.find("SameSite=Strict"));
  EXPECT_EQ(std::string::npos, cookie.find("Max-Age"));
  std::string first_id = browser.cookie("kirvs_session");
  EXPECT_EQ(64u, first_id.size());

  // The login page's token does nothing else in a signed-in session.
  std::string first_token = browser.token();
  browser.set_token(login_token);
  browser.Click("Show List");
  EXPECT_EQ(403, browser.status());

  // Logging in again from that login page (still open in another tab) gives
  // a new id; the old one is worth nothing afterwards.
  browser.Click("Login", {{"txtUserID", "ann"}, {"txtPassword", "ann123"}});
  ASSERT_EQ(200, browser.status());
  EXPECT_NE(first_id, browser.cookie("kirvs_session"));
  Browser thief(port_);
  thief.set_cookie("kirvs_session", first_id);
  thief.set_token(first_token);
  TakeCalls();
  thief.Click("Show List");
  EXPECT_TRUE(thief.Shows("name='txtPassword'"));
  std::vector<SeenCall> calls = TakeCalls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ("STARTUP", calls[0].command);
}

TEST_F(WebServerTest, PagesAreWholeDocumentsThatAreNotStored) {
  // The documents around the login page and the list, token and page
  // number (taken from the clock) masked.
  auto masked = [](const Browser& browser) {
    std::string page = browser.page();
    const std::string& token = browser.token();
    size_t at = token.empty() ? std::string::npos : page.find(token);
    if (at == std::string::npos) ADD_FAILURE() << "no token in the page";
    for (; at != std::string::npos; at = page.find(token, at)) {
      page.replace(at, token.size(), "{TOKEN}");
    }
    const std::string field = "name=\"KIRVSPage\" value=\"";
    const std::string number = field + HiddenValue(page, "KIRVSPage") + "\"";
    if (size_t at = page.find(number); at != std::string::npos) {
      page.replace(at, number.size(), field + "{PAGE}\"");
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

// The identity is the session's: a forged KIRVSCurrentUser or
// KIRVSCurrentPerson changes nothing the engine does.
TEST_F(WebServerTest, ForgedIdentityFieldsAreIgnored) {
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  // carol has no login entry: a save in her name would be refused, a save
  // from ann's session goes through whatever it claims.
  ASSERT_EQ(0, LoginEntries("carol"));
  browser.Click("1017");
  browser.Click("Save Request", {{"requestno", "1017"},
                                 {"Telephone", "x4242"},
                                 {"KIRVSCurrentUser", "carol"}});
  ASSERT_EQ(200, browser.status());
  EXPECT_FALSE(browser.Shows("kv-alert-error")) << browser.page();
  EXPECT_EQ("x4242", QueryValue(db_path_,
                                "SELECT Telephone FROM "
                                "Current_Requests WHERE "
                                "RequestNo=1017"));
}

TEST_F(WebServerTest, PostsWithoutTheSessionsTokenRunNothing) {
  Browser ann(port_);
  ann.LogIn("ann", "ann123");
  Browser bob(port_);
  bob.LogIn("bob", "bob123");
  std::string ann_token = ann.token();
  TakeCalls();

  for (const std::string& token :
       {std::string(""), std::string("0"), bob.token(), ann_token + "0"}) {
    ann.set_token(token);
    ann.Click("Save Request", {{"requestno", "1017"}, {"Telephone", "x1"}});
    EXPECT_EQ(403, ann.status()) << token;
    EXPECT_TRUE(ann.Shows("This form has expired")) << token;
  }
  ann.PostFields({{"KIRVSCommand", "Show List"}});
  EXPECT_EQ(403, ann.status());
  EXPECT_TRUE(TakeCalls().empty());
  EXPECT_EQ("x1120", QueryValue(db_path_,
                                "SELECT Telephone FROM "
                                "Current_Requests WHERE "
                                "RequestNo=1017"));

  // The session itself is untouched: the right token works.
  ann.set_token(ann_token);
  ann.Click("Show List");
  EXPECT_EQ(200, ann.status());
}

TEST_F(WebServerTest, LoginNeedsTheTokenOfThisBrowsersLoginPage) {
  Browser mallory(port_);
  mallory.Get();
  std::string foreign_token = mallory.token();

  Browser victim(port_);
  victim.Get();
  TakeCalls();
  victim.set_token(foreign_token);
  victim.Click("Login", {{"txtUserID", "ann"}, {"txtPassword", "ann123"}});
  EXPECT_EQ(403, victim.status());

  Browser no_cookie(port_);
  no_cookie.set_token(foreign_token);
  no_cookie.Click("Login", {{"txtUserID", "ann"}, {"txtPassword", "ann123"}});
  EXPECT_EQ(403, no_cookie.status());
  EXPECT_TRUE(TakeCalls().empty());
  EXPECT_EQ(0, LoginEntries("ann"));
}

TEST_F(WebServerTest, WithoutASessionEveryPostShowsTheLoginPage) {
  Browser browser(port_);
  browser.Get();
  TakeCalls();
  browser.Click("Show List");
  EXPECT_EQ(200, browser.status());
  EXPECT_TRUE(browser.Shows("name='txtPassword'"));
  EXPECT_TRUE(browser.Shows("Please log in first."));
  std::vector<SeenCall> calls = TakeCalls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ("STARTUP", calls[0].command);
}

// An unknown id, a wrong password, a null password and a missing profile
// look alike to the visitor: one message, one status, one page (apart from
// the token and the id he typed). The access log keeps the engine's message,
// without the database path.
TEST_F(WebServerTest, FailedLoginsAllLookAlike) {
  ExecSql(db_path_,
          "UPDATE System_Users SET Password=NULL WHERE UserId='bob';"
          "DELETE FROM Personnel WHERE UserId='carol';");
  struct Case {
    std::string user, password, logged;
  };
  const std::vector<Case> cases = {
      {"nobody", "no-such-user-pw",
       "Unable to locate user: nobody in database: <database>"},
      {"ann", "wrong", "Supplied password is incorrect."},
      {"bob", "bob123", "Supplied password is incorrect."},
      {"carol", "carol123",
       "personnel profile for user: carol in database: <database>"},
  };
  std::string first_page;
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    Browser browser(port_);
    browser.LogIn(c.user, c.password);
    EXPECT_EQ(200, browser.status()) << c.user;
    EXPECT_TRUE(browser.Shows("The user ID or password is not correct."));
    EXPECT_EQ("", browser.cookie("kirvs_session"));
    EXPECT_FALSE(browser.Shows(c.password)) << c.user;
    std::string page = browser.page();
    page.replace(page.find(browser.token()), browser.token().size(), "TOKEN");
    std::string typed = "name='txtUserID' value='" + c.user + "'";
    ASSERT_NE(std::string::npos, page.find(typed)) << c.user;
    page.replace(page.find(typed), typed.size(), "TYPED");
    if (i == 0) first_page = page;
    EXPECT_EQ(first_page, page) << c.user;
  }
  // Each line is written once its answer is out, so lines of neighbouring
  // requests may come in either order.
  std::vector<std::string> lines = Log(2 * cases.size());
  for (const Case& c : cases) {
    EXPECT_LE(1, std::count_if(
                     lines.begin(), lines.end(),
                     [&](auto& line) {
                       return line.find(" command=\"LOGIN\" result=failed ") !=
                                  std::string::npos &&
                              line.find(c.logged) != std::string::npos;
                     }))
        << c.user;
  }
  for (const std::string& line : lines) {
    EXPECT_EQ(std::string::npos, line.find(db_path_)) << line;
  }
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
}

// A user with a second factor gets his session only with a valid code, each
// code once; wrong codes count towards the login throttle, and too many of
// them take away the login entry the password had made.
TEST_F(WebServerTest, SecondFactorGuardsTheSession) {
  std::string secret_base32;
  ASSERT_TRUE(EnrolSecondFactor(db_path_, "ann", &secret_base32).ok());
  const std::string secret = *Base32Decode(secret_base32);
  auto code_now = [&] {
    return TotpCode(secret, TotpStep(std::time(nullptr)));
  };
  // Six digits that are no code of the steps around now.
  auto wrong_code = [&] {
    int64_t step = TotpStep(std::time(nullptr));
    for (std::string code : {"000000", "111111", "222222", "333333"}) {
      bool valid = false;
      for (int64_t s = step - 2; s <= step + 2; ++s) {
        valid = valid || TotpCode(secret, s) == code;
      }
      if (!valid) return code;
    }
    return std::string("444444");
  };

  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  EXPECT_EQ(200, browser.status());
  EXPECT_TRUE(browser.Shows(">Code from your authenticator app</label>"));
  EXPECT_TRUE(browser.Shows("autocomplete='one-time-code'"));
  EXPECT_TRUE(browser.Shows("inputmode='numeric'"));
  EXPECT_FALSE(browser.Shows("ann123"));
  EXPECT_EQ("", browser.cookie("kirvs_session"));
  EXPECT_EQ(64u, browser.cookie("kirvs_pending").size());
  EXPECT_EQ(1, LoginEntries("ann"));
  browser.Get();
  EXPECT_TRUE(browser.Shows("name='txtPassword'"));

  for (int i = 0; i < 3; ++i) {
    browser.Click("Verify Code", {{"txtCode", wrong_code()}});
    EXPECT_EQ(200, browser.status());
    EXPECT_TRUE(browser.Shows("The code is not correct"));
    EXPECT_EQ("", browser.cookie("kirvs_session"));
  }
  browser.Click("Verify Code", {{"txtCode", code_now()}});
  EXPECT_EQ(429, browser.status());
  clock_.Advance(std::chrono::milliseconds(850));
  std::string code = code_now();
  browser.Click("Verify Code", {{"txtCode", code}});
  EXPECT_EQ(200, browser.status());
  EXPECT_TRUE(browser.Shows("Outstanding Service Issues for: Ann Archer"));
  EXPECT_EQ(64u, browser.cookie("kirvs_session").size());
  EXPECT_EQ("", browser.cookie("kirvs_pending"));

  // The same code does not serve twice.
  browser.Click("Logout");
  browser.LogIn("ann", "ann123");
  browser.Click("Verify Code", {{"txtCode", code}});
  EXPECT_TRUE(browser.Shows("The code is not correct"));
  EXPECT_EQ("", browser.cookie("kirvs_session"));

  for (int i = 1; i < SecondFactorStep::kMaxWrongCodes; ++i) {
    clock_.Advance(std::chrono::seconds(13));
    browser.Click("Verify Code", {{"txtCode", wrong_code()}});
    ASSERT_EQ(200, browser.status()) << i;
  }
  EXPECT_TRUE(browser.Shows("Too many wrong codes."));
  EXPECT_TRUE(browser.Shows("name='txtPassword'"));
  EXPECT_EQ("", browser.cookie("kirvs_pending"));
  EXPECT_EQ(0, LoginEntries("ann"));

  // A code step left unfinished expires and takes its login entry with it
  // (the housekeeper looks every 25 ms).
  Restart([](ServeOptions& options) {
    options.idle_timeout = std::chrono::milliseconds(100);
  });
  // The wrong codes above still count: the throttle outlives the server.
  clock_.Advance(options_.max_login_delay);
  Browser later(port_);
  later.LogIn("ann", "ann123");
  ASSERT_EQ(1, LoginEntries("ann"));
  clock_.Advance(SecondFactorStep::kLifetime + std::chrono::seconds(1));
  for (int i = 0; i < 400 && LoginEntries("ann") != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(0, LoginEntries("ann"));
  later.Click("Verify Code", {{"txtCode", code_now()}});
  EXPECT_TRUE(later.Shows("Your login has expired."));
  EXPECT_EQ("", later.cookie("kirvs_session"));
}

TEST_F(WebServerTest, LogoutEndsEverySessionOfTheUser) {
  Browser office(port_);
  office.LogIn("ann", "ann123");
  Browser laptop(port_);
  laptop.LogIn("ann", "ann123");
  std::string old_id = office.cookie("kirvs_session");
  std::string old_token = office.token();
  ASSERT_EQ(1, LoginEntries("ann"));

  office.Click("Logout");
  EXPECT_EQ(200, office.status());
  EXPECT_TRUE(office.Shows("You have logged out."));
  EXPECT_TRUE(office.Shows("name='txtUserID' value='ann'"));
  EXPECT_FALSE(office.Shows("Signed in as"));
  EXPECT_EQ("", office.cookie("kirvs_session"));
  EXPECT_EQ(0, LoginEntries("ann"));

  // Neither the old cookie nor the other browser reaches the list any more.
  TakeCalls();
  office.set_cookie("kirvs_session", old_id);
  office.set_token(old_token);
  office.Click("Show List");
  EXPECT_TRUE(office.Shows("Your session has ended."));
  laptop.Click("Show List");
  EXPECT_TRUE(laptop.Shows("name='txtPassword'"));
  for (const SeenCall& call : TakeCalls()) EXPECT_EQ("STARTUP", call.command);
}

TEST_F(WebServerTest, IdleSessionsEndAndLoseTheirLoginEntry) {
  // The housekeeper looks every 25 ms (a quarter of the timeout).
  Restart([](ServeOptions& options) {
    options.idle_timeout = std::chrono::milliseconds(100);
  });
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  ASSERT_EQ(1, LoginEntries("ann"));
  clock_.Advance(std::chrono::milliseconds(60));
  browser.Click("Show List");  // activity keeps it alive
  EXPECT_TRUE(browser.Shows("Outstanding Service Issues"));
  clock_.Advance(std::chrono::milliseconds(60));
  browser.Click("Show List");
  EXPECT_TRUE(browser.Shows("Outstanding Service Issues"));
  clock_.Advance(std::chrono::milliseconds(160));
  for (int i = 0; i < 400 && LoginEntries("ann") != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(0, LoginEntries("ann"));
  browser.Click("Show List");
  EXPECT_TRUE(browser.Shows("Your session has ended. Please log in again."));
  EXPECT_FALSE(browser.Shows("Outstanding Service Issues"));
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
    EXPECT_TRUE(browser.Shows("<h1>Service Request 1017</h1>")) << row.caption;
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
      {"/", "<h1>Outstanding Service Issues for: Ann Archer</h1>"},
      {"/?sort=Priority", "<option selected value='Priority'>"},
      {"/requests/1017", "<h1>Service Request 1017</h1>"},
      {"/requests/1017/allocate", "<h1>Allocate Service Request 1017"},
      {"/requests/1017/schedule", "<h1>Schedule Service Request 1017"},
      {"/requests/1017/close", "<h1>Close Service Request 1017"},
      {"/requests/1017/activities", "Activity Log for Service Request: 1017"},
      {"/requests/1017/activities/new", "New Activity Details for Service"},
      {"/requests/new", "<h1>Register New Service Request"},
      {"/inventory", "<h1>Search Inventory Database"},
      {"/inventory?Manufacturer=Cisco", "*SW-0007"},
      {"/items/RT-0006", "<h1>Inventory Item Details: RT-0006"},
      {"/items/RT-0006/configuration", "Configuration Details for Item: RT"},
      {"/solutions", "<h1>Search Solutions Database"},
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
      EXPECT_TRUE(
          browser.Shows("<li>" + Captions().Of(field) + ": fill this in;"))
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
       {"<input type='Text' name='ItemId' aria-label=\"Item ID\">"}},
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
    for (size_t at = browser.page().find("<h1"); at != std::string::npos;
         at = browser.page().find("<h1", at + 1)) {
      ++headings;
    }
    EXPECT_EQ(1u, headings) << path;
  }
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

TEST_F(WebServerTest, FailedLoginsAreSlowedDownPerUser) {
  Browser browser(port_);
  for (int i = 0; i < 3; ++i) {
    browser.LogIn("bob", "guess" + std::to_string(i));
    ASSERT_EQ(200, browser.status());
  }
  TakeCalls();
  browser.LogIn("bob", "bob123");  // right, but too soon
  EXPECT_EQ(429, browser.status());
  EXPECT_EQ("1", browser.header("Retry-After"));
  EXPECT_TRUE(browser.Shows("Too many failed logins."));
  EXPECT_EQ("", browser.cookie("kirvs_session"));
  for (const SeenCall& call : TakeCalls()) EXPECT_EQ("STARTUP", call.command);

  // Another user from the same address is not held up by bob's failures.
  Browser colleague(port_);
  colleague.LogIn("carol", "carol123");
  EXPECT_EQ(200, colleague.status());

  clock_.Advance(std::chrono::milliseconds(850));
  browser.LogIn("BOB", "wrong again");  // ids count without regard to case
  EXPECT_EQ(200, browser.status());
  clock_.Advance(std::chrono::milliseconds(850));
  browser.LogIn("bob", "bob123");
  EXPECT_EQ(429, browser.status());  // the wait has doubled
  clock_.Advance(std::chrono::milliseconds(850));
  browser.LogIn("bob", "bob123");
  EXPECT_EQ(200, browser.status());
  EXPECT_TRUE(browser.Shows("Outstanding Service Issues for: Bob Baker"));
}

// Logging in over and over ends only the user's own oldest sessions; a
// store full of active sessions refuses the next login and runs nothing.
TEST_F(WebServerTest, LoginsNeverEndOtherUsersSessions) {
  Restart([](ServeOptions& options) {
    options.max_sessions = 3;
    options.max_sessions_per_user = 2;
  });
  Browser ann(port_);
  ann.LogIn("ann", "ann123");
  std::vector<std::unique_ptr<Browser>> bobs;
  for (int i = 0; i < 5; ++i) {
    bobs.push_back(std::make_unique<Browser>(port_));
    bobs.back()->LogIn("bob", "bob123");
    ASSERT_EQ(200, bobs.back()->status()) << i;
  }
  bobs.front()->Click("Show List");
  EXPECT_TRUE(bobs.front()->Shows("Your session has ended."));
  bobs.back()->Click("Show List");
  EXPECT_TRUE(bobs.back()->Shows("Outstanding Service Issues for: Bob"));
  Browser carol(port_);
  carol.Get();
  TakeCalls();
  carol.LogIn("carol", "carol123");
  EXPECT_EQ(503, carol.status());
  EXPECT_TRUE(
      carol.Shows("The help desk has too many people signed in; try "
                  "again in a few minutes."));
  for (const SeenCall& call : TakeCalls()) EXPECT_EQ("STARTUP", call.command);
  ann.Click("Show List");
  EXPECT_TRUE(ann.Shows("Outstanding Service Issues for: Ann Archer"));
  EXPECT_EQ(1, LoginEntries("ann"));
  EXPECT_EQ(1, LoginEntries("bob"));
}

TEST_F(WebServerTest, FailedLoginsAreSlowedDownPerAddress) {
  Browser browser(port_);
  for (int i = 0; i < 10; ++i) {
    browser.LogIn("nobody" + std::to_string(i), "x");
    ASSERT_EQ(200, browser.status()) << i;
  }
  browser.LogIn("dave", "dave123");
  EXPECT_EQ(429, browser.status());
}

TEST_F(WebServerTest, BodiesOverTheLimitAreRefused) {
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  TakeCalls();
  std::string huge = "KIRVSCommand=Show+List&KIRVSToken=" + browser.token() +
                     "&Description=" + std::string(1 << 20, 'a');
  browser.PostRaw(huge);
  EXPECT_EQ(413, browser.status());
  EXPECT_TRUE(browser.Shows("Too much data"));
  EXPECT_TRUE(TakeCalls().empty());

  // A long form well past the library's own form limit still goes through.
  browser.Click("Show List", {{"Description", std::string(100000, 'b')}});
  EXPECT_EQ(200, browser.status());
  EXPECT_TRUE(browser.Shows("Outstanding Service Issues"));

  browser.PostRaw("--x\r\n", "multipart/form-data; boundary=x");
  EXPECT_EQ(415, browser.status());

  // Too many fields, or a NUL in any name or value, and nothing runs.
  std::string head = "KIRVSCommand=Show+List&KIRVSToken=" + browser.token();
  std::string fields = head;
  for (int i = 0; i < 998; ++i) fields += "&f" + std::to_string(i) + "=";
  TakeCalls();
  browser.PostRaw(fields + "&last=");
  EXPECT_EQ(413, browser.status());
  EXPECT_TRUE(browser.Shows("The form has too many fields."));
  for (const char* nul : {"&Description=a%00b", "&a%00=b"}) {
    browser.PostRaw(head + nul);
    EXPECT_EQ(400, browser.status()) << nul;
  }
  EXPECT_TRUE(TakeCalls().empty());
  browser.PostRaw(fields);  // 1,000 fields are fine
  EXPECT_EQ(200, browser.status());
}

TEST_F(WebServerTest, FilesAndUnknownPaths) {
  httplib::Client client("127.0.0.1", port_);
  auto logo = client.Get("/kvlogo.gif");
  ASSERT_TRUE(logo);
  EXPECT_EQ(200, logo->status);
  EXPECT_EQ("image/gif", logo->get_header_value("Content-Type"));
  ASSERT_GT(logo->body.size(), 10u);
  EXPECT_EQ("GIF89a", logo->body.substr(0, 6));
  auto u16 = [&](size_t at) {
    return static_cast<unsigned char>(logo->body[at]) |
           static_cast<unsigned char>(logo->body[at + 1]) << 8;
  };
  EXPECT_EQ(80, u16(6));
  EXPECT_EQ(69, u16(8));
  EXPECT_EQ(';', logo->body.back());

  for (const char* path : {"/kirvs.css", "/kirvs.js"}) {
    auto asset = client.Get(path);
    ASSERT_TRUE(asset);
    EXPECT_EQ(200, asset->status) << path;
    EXPECT_FALSE(asset->body.empty()) << path;
  }
  for (const char* path : {"/admin", "/KIRVS.INI", "/helpdesk.db"}) {
    auto missing = client.Get(path);
    ASSERT_TRUE(missing);
    EXPECT_EQ(404, missing->status) << path;
    EXPECT_EQ(0u, missing->body.find("<!DOCTYPE html>")) << path;
    EXPECT_NE(std::string::npos, missing->body.find("Page not found"));
  }
  auto post =
      client.Post("/elsewhere", "a=b", "application/x-www-form-urlencoded");
  ASSERT_TRUE(post);
  EXPECT_EQ(404, post->status);
}

TEST_F(WebServerTest, APortInUseIsNotSharedAndServeSaysSo) {
  ServeOptions second = options_;
  second.port = port_;
  WebServer other(second);
  EXPECT_EQ(0, other.Bind());

  std::ostringstream out, errors;
  EXPECT_EQ(1, Serve(second, out, errors));
  EXPECT_EQ("kirvs serve: port " + std::to_string(port_) +
                " is in use; choose another with --port\n",
            errors.str());
  EXPECT_EQ("", out.str());
}

// A stop that comes while Listen is still starting up is not lost (the
// listener thread would never end).
TEST_F(WebServerTest, StopRightAfterStartIsNotLost) {
  for (int i = 0; i < 20; ++i) {
    Stop();
    Start();
  }
  EXPECT_TRUE(listened_ok_);
}

TEST_F(WebServerTest, AccessLogHasOneLinePerRequestAndNoSecrets) {
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  browser.Click("1017");
  httplib::Client client("127.0.0.1", port_);
  client.Get("/nowhere");
  // The library decodes the path: line ends in it must not split the line.
  client.Get("/a%0D%0Ab%0Ac");
  std::string session_id = browser.cookie("kirvs_session");

  // Lines are written after each answer has gone out, so the last ones
  // (from two connections) may come in any order.
  std::vector<std::string> lines = Log(7);
  ASSERT_EQ(7u, lines.size());
  auto count = [&](const std::string& a, const std::string& b = "") {
    return std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
      return line.find(a) != std::string::npos &&
             line.find(b) != std::string::npos;
    });
  };
  EXPECT_EQ(1, count(" GET / command=\"STARTUP\" result=ok status=200 "));
  EXPECT_EQ(1, count(" POST / command=\"LOGIN\" result=ok status=303 ",
                     " user=\"ann\""));
  EXPECT_EQ(1, count(" GET / command=\"SHOW LIST\" result=ok status=200 "));
  EXPECT_EQ(1, count(" POST / command=\"SHOW REQUEST\" result=ok status=303"));
  EXPECT_EQ(1, count(" GET /requests/1017 command=\"SHOW REQUEST\" result=ok "
                     "status=200"));
  EXPECT_EQ(1, count(" GET /nowhere command=\"-\" result=- status=404 "));
  EXPECT_EQ(1, count(" GET /a%0D%0Ab%0Ac command=\"-\" result=- status=404 "));
  for (const std::string& line : lines) {
    EXPECT_EQ(std::string::npos, line.find_first_of("\r\n")) << line;
    EXPECT_EQ(std::string::npos, line.find("ann123")) << line;
    EXPECT_EQ(std::string::npos, line.find(browser.token())) << line;
    EXPECT_EQ(std::string::npos, line.find(session_id)) << line;
    EXPECT_NE(std::string::npos, line.find(" ms=")) << line;
  }
}

TEST_F(WebServerTest, AnInternalErrorAnswers500AndIsLogged) {
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  Set(&throw_on_, "SEARCH SOLUTIONS");
  browser.Click("Search Solutions");
  EXPECT_EQ(500, browser.status());
  EXPECT_TRUE(browser.Shows("Something went wrong"));
  // Each line is written after its answer: they may come in any order.
  std::vector<std::string> lines = Log(4);
  EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(), [](const auto& line) {
              return line.find("error=\"test") != std::string::npos;
            }));
  Set(&throw_on_, "");
  browser.Get();
  EXPECT_EQ(200, browser.status());
}

TEST_F(WebServerTest, StopLetsRequestsInFlightFinish) {
  Browser browser(port_);
  browser.LogIn("ann", "ann123");
  Set(&pause_on_, "SHOW LIST");
  TakeCalls();
  std::thread slow([&] { browser.Get("/"); });
  // Stop while the engine is busy with it.
  for (int i = 0; i < 500 && TakeCalls().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Stop();
  slow.join();
  EXPECT_EQ(200, browser.status());
  EXPECT_TRUE(browser.Shows("Outstanding Service Issues"));
  EXPECT_TRUE(listened_ok_);
  // The session and its login entry outlive the server: it goes on when
  // the server starts again.
  EXPECT_EQ(1, LoginEntries("ann"));
  Start();
  Browser again(port_);
  again.set_cookie("kirvs_session", browser.cookie("kirvs_session"));
  again.Get();
  EXPECT_TRUE(again.Shows("Outstanding Service Issues"));
}

}  // namespace
}  // namespace kirvs::web
