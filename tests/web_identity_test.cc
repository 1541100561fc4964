// The web front's identity over HTTP: sessions and their cookies, CSRF
// tokens, failed logins, the second factor, logout on every node, idle
// sessions, the login throttle and the session caps.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "data/second_factor.h"
#include "platform/totp.h"
#include "web/identity/second_factor_step.h"
#include "web/options/serve_options.h"
#include "web_test_support.h"

namespace kirvs::web {
namespace {

using ::kirvs::testing::Browser;
using ::kirvs::testing::ExecSql;
using ::kirvs::testing::WebServerTest;

TEST_P(WebServerTest, LoginStartsASessionWithSafeCookies) {
  const std::string kAttributes = "; Path=/; HttpOnly; SameSite=Strict";
  // The only cookie an answer sets, with its attributes.
  auto only_cookie = [&](const Browser& browser, const std::string& name) {
    return std::vector<std::string>{name + "=" + browser.cookie(name) +
                                    kAttributes};
  };
  Browser browser(port_);
  browser.Get();
  EXPECT_EQ(only_cookie(browser, "kirvs_browser"), browser.set_cookies());
  std::string login_token = browser.token();
  browser.set_cookie("kirvs_session", "planted-by-someone-else");
  browser.LogIn("ann", "ann123");
  ASSERT_TRUE(browser.Shows("Outstanding Service Issues for: Ann Archer"));
  EXPECT_EQ(only_cookie(browser, "kirvs_session"), browser.set_cookies());
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
  EXPECT_TRUE(thief.Shows("Your session has ended."));
  EXPECT_EQ("STARTUP", TakeCommands());
}

// A post runs only with its session's token, a login only with the token
// of this browser's own login page; without a session nothing else runs,
// and the login page asks for one.
TEST_P(WebServerTest, PostsWithoutTheirTokenRunNothing) {
  Browser ann = SignIn("ann");
  Browser bob = SignIn("bob");
  Browser mallory(port_), victim(port_), no_cookie(port_);
  mallory.Get();
  victim.Get();
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
  for (Browser* browser : {&victim, &no_cookie}) {
    browser->set_token(mallory.token());
    browser->Click("Login", {{"txtUserID", "ann"}, {"txtPassword", "ann123"}});
    EXPECT_EQ(403, browser->status());
  }
  EXPECT_EQ("", TakeCommands());
  EXPECT_EQ("x1120", Telephone1017());
  victim.Click("Show List");
  EXPECT_TRUE(victim.Shows("Please log in first."));
  EXPECT_EQ("STARTUP", TakeCommands());
  // The session itself is untouched: the right token works.
  ann.set_token(ann_token);
  ann.Click("Show List");
  EXPECT_EQ(200, ann.status());
}

// An unknown id, a wrong password, a null password and a missing profile
// look alike to the visitor: one message, one status, one page (apart from
// the token and the id he typed). The access log keeps the engine's message
// (each one's text: LoginTest), without the database path.
TEST_P(WebServerTest, FailedLoginsAllLookAlike) {
  ExecSql(db_path_,
          "UPDATE System_Users SET Password=NULL WHERE UserId='bob';"
          "DELETE FROM Personnel WHERE UserId='carol';");
  // user, password
  const std::pair<std::string, std::string> cases[] = {
      {"nobody", "no-such-user-pw"},
      {"ann", "wrong"},
      {"bob", "bob123"},
      {"carol", "carol123"},
  };
  std::string first_page;
  for (const auto& [user, password] : cases) {
    Browser browser(port_);
    browser.LogIn(user, password);
    EXPECT_EQ(200, browser.status()) << user;
    EXPECT_TRUE(browser.Shows("The user ID or password is not correct."));
    EXPECT_EQ("", browser.cookie("kirvs_session"));
    EXPECT_FALSE(browser.Shows(password)) << user;
    std::string page = browser.page();
    page.replace(page.find(browser.token()), browser.token().size(), "TOKEN");
    std::string typed = "name='txtUserID' value='" + user + "'";
    ASSERT_NE(std::string::npos, page.find(typed)) << user;
    page.replace(page.find(typed), typed.size(), "TYPED");
    if (first_page.empty()) first_page = page;
    EXPECT_EQ(first_page, page) << user;
  }
  EXPECT_EQ(4,
            CountLogged(8, {" command=\"LOGIN\" result=failed ", "error=\""}));
  EXPECT_EQ(1, CountLogged(8, {"carol in database: <database>"}));
  EXPECT_EQ(0, CountLogged(8, {db_path_}));
}

// A user with a second factor gets his session only with a valid code, each
// code once; wrong codes count towards the login throttle, and too many of
// them take away the login entry the password had made, as does a code step
// left unfinished.
TEST_P(WebServerTest, SecondFactorGuardsTheSession) {
  std::string secret_base32;
  ASSERT_TRUE(EnrolSecondFactor(db_path_, "ann", &secret_base32).ok());
  const std::string secret = *Base32Decode(secret_base32);
  auto code_now = [&] {
    return TotpCode(secret, TotpStep(std::time(nullptr)));
  };
  // Six digits that are no code of the steps around now.
  auto wrong_code = [&] {
    int64_t step = TotpStep(std::time(nullptr));
    for (char digit = '0';; ++digit) {
      std::string code(6, digit);
      bool valid = false;
      for (int64_t s = step - 2; s <= step + 2; ++s) {
        valid = valid || TotpCode(secret, s) == code;
      }
      if (!valid) return code;
    }
  };

  Browser browser = SignIn("ann");
  EXPECT_TRUE(browser.Shows(">Code from your authenticator app</label>"));
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
  }
  browser.Click("Verify Code", {{"txtCode", code_now()}});
  EXPECT_EQ(429, browser.status());
  EXPECT_EQ("", browser.cookie("kirvs_session"));
  clock_.Advance(std::chrono::milliseconds(850));
  browser.Click("Verify Code", {{"txtCode", code_now()}});
  EXPECT_TRUE(browser.Shows("Outstanding Service Issues for: Ann Archer"));
  EXPECT_EQ(64u, browser.cookie("kirvs_session").size());
  EXPECT_EQ("", browser.cookie("kirvs_pending"));

  // (That a code serves once is the second factor's own: SecondFactorTest.)
  browser.Click("Logout");
  browser.LogIn("ann", "ann123");
  for (int i = 0; i < SecondFactorStep::kMaxWrongCodes; ++i) {
    clock_.Advance(std::chrono::seconds(13));
    browser.Click("Verify Code", {{"txtCode", wrong_code()}});
    ASSERT_EQ(200, browser.status()) << i;
  }
  EXPECT_TRUE(browser.Shows("Too many wrong codes."));
  EXPECT_TRUE(browser.Shows("name='txtPassword'"));
  EXPECT_EQ("", browser.cookie("kirvs_pending"));
  EXPECT_EQ(0, LoginEntries("ann"));

  Restart([](ServeOptions& options) {
    options.idle_timeout = std::chrono::milliseconds(100);
  });
  // The wrong codes above still count: the throttle outlives the server.
  clock_.Advance(options_.max_login_delay);
  Browser later = SignIn("ann");
  ASSERT_EQ(1, LoginEntries("ann"));
  clock_.Advance(SecondFactorStep::kLifetime + std::chrono::seconds(1));
  EXPECT_TRUE(LoginEntryGoes("ann"));
  later.Click("Verify Code", {{"txtCode", code_now()}});
  EXPECT_TRUE(later.Shows("Your login has expired."));
  EXPECT_EQ("", later.cookie("kirvs_session"));
}

// Logging out ends every session of the user, on every node. (A node started
// later knows the sessions: StopLetsRequestsInFlightFinish; failed logins on
// one node slow down the others: LoginThrottleTest.NodesCountTogether; a form
// posted to two nodes registers once:
// ANewRequestFormPostedTwiceRegistersOneRequest.)
TEST_P(WebServerTest, LogoutEndsEverySessionOfTheUser) {
  // A second node, as behind a balancer, sharing only the database.
  testing::RunningServer node(options_);
  Browser office = SignIn("ann");
  // The login form of one node is accepted by the other, and so is a form
  // shown by one node posted to the other.
  Browser laptop(port_);
  laptop.Get();
  laptop.On(node.port()).LogIn("ann", "ann123");
  laptop.On(port_).Click("1017");
  EXPECT_TRUE(laptop.Shows("<h1>Service Request 1017</h1>"));
  laptop.On(node.port()).Click("Show List");
  EXPECT_TRUE(laptop.Shows("Outstanding Service Issues for: Ann Archer"));
  std::string old_id = office.cookie("kirvs_session");
  std::string old_token = office.token();
  ASSERT_EQ(1, LoginEntries("ann"));

  office.Click("Logout");
  EXPECT_EQ(200, office.status());
  EXPECT_TRUE(office.Shows("You have logged out."));
  EXPECT_TRUE(office.Shows("name='txtUserID' value='ann'"));
  EXPECT_EQ("", office.cookie("kirvs_session"));
  EXPECT_EQ(0, LoginEntries("ann"));

  // Neither the old cookie nor the other browser reaches the list any more.
  TakeCalls();
  office.set_cookie("kirvs_session", old_id);
  office.set_token(old_token);
  office.Click("Show List");
  EXPECT_TRUE(office.Shows("Your session has ended."));
  laptop.Click("Show List");
  EXPECT_TRUE(laptop.Shows("Your session has ended."));
  EXPECT_EQ("STARTUP,STARTUP", TakeCommands());
}

TEST_P(WebServerTest, IdleSessionsEndAndLoseTheirLoginEntry) {
  Restart([](ServeOptions& options) {
    options.idle_timeout = std::chrono::milliseconds(100);
  });
  Browser browser = SignIn("ann");
  for (int i = 0; i < 2; ++i) {
    clock_.Advance(std::chrono::milliseconds(60));
    browser.Click("Show List");  // activity keeps it alive
    EXPECT_TRUE(browser.Shows("Outstanding Service Issues")) << i;
  }
  ASSERT_EQ(1, LoginEntries("ann"));
  clock_.Advance(std::chrono::milliseconds(160));
  EXPECT_TRUE(LoginEntryGoes("ann"));
  browser.Click("Show List");
  EXPECT_TRUE(browser.Shows("Your session has ended. Please log in again."));
}

// Failed logins slow down the next ones of the same user, not those of
// another user (how the wait grows: LoginThrottleTest), and so do many from
// one address.
TEST_P(WebServerTest, FailedLoginsAreSlowedDownPerUserAndAddress) {
  Browser browser(port_);
  for (int i = 0; i < 3; ++i) {
    browser.LogIn("bob", "guess" + std::to_string(i));
    ASSERT_EQ(200, browser.status());
  }
  TakeCalls();
  browser.LogIn("bob", "bob123");  // right, but too soon
  EXPECT_EQ(429, browser.status());
  EXPECT_EQ("1", browser.header("Retry-After"));
  EXPECT_TRUE(browser.Shows("Too many failed logins. Wait 1 second,"));
  EXPECT_EQ("", browser.cookie("kirvs_session"));
  EXPECT_EQ("STARTUP", TakeCommands());

  Browser colleague = SignIn("carol");
  EXPECT_EQ(200, colleague.status());

  clock_.Advance(std::chrono::milliseconds(850));
  browser.LogIn("bob", "bob123");
  EXPECT_TRUE(browser.Shows("Outstanding Service Issues for: Bob Baker"));

  Browser stranger(port_);
  for (int i = 3; i < 10; ++i) {
    stranger.LogIn("nobody" + std::to_string(i), "x");
    ASSERT_EQ(200, stranger.status()) << i;
  }
  stranger.LogIn("dave", "dave123");
  EXPECT_EQ(429, stranger.status());
}

// A store full of active sessions refuses the next login and runs nothing
// (which of his own sessions a login ends: SessionStoreTest).
TEST_P(WebServerTest, AFullSessionStoreRefusesLogins) {
  Restart([](ServeOptions& options) { options.max_sessions = 2; });
  Browser ann = SignIn("ann");
  Browser bob = SignIn("bob");
  Browser carol(port_);
  carol.Get();
  TakeCalls();
  carol.LogIn("carol", "carol123");
  EXPECT_EQ(503, carol.status());
  EXPECT_TRUE(carol.Shows("The help desk has too many people signed in"));
  EXPECT_EQ("STARTUP", TakeCommands());
  ann.Click("Show List");
  EXPECT_TRUE(ann.Shows("Outstanding Service Issues for: Ann Archer"));
  EXPECT_EQ(1, LoginEntries("ann"));
}

}  // namespace
}  // namespace kirvs::web
