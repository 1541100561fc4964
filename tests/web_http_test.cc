// The web server over HTTP: whole documents that are not stored, body
// limits, files and unknown paths, a port in use, the access log and a clean
// stop. (An internal error: ANewRequestFormPostedTwiceRegistersOneRequest.)

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "web/serve.h"
#include "web_test_support.h"

namespace kirvs::web {
namespace {

using ::kirvs::testing::Browser;
using ::kirvs::testing::WebServerTest;

TEST_P(WebServerTest, PagesAreWholeDocumentsThatAreNotStored) {
  // The documents around the login page and the list, token and page
  // number (taken from the clock) masked.
  auto masked = [](const Browser& browser) {
    std::string page = std::regex_replace(
        browser.page(), std::regex(browser.token()), "{TOKEN}");
    return std::regex_replace(
        page, std::regex("(name=\"KIRVSPage\" value=\")[^\"]*"), "$1{PAGE}");
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

TEST_P(WebServerTest, BodiesOverTheLimitAreRefused) {
  Browser browser = SignIn("ann");
  TakeCalls();
  const std::string head =
      "KIRVSCommand=Show+List&KIRVSToken=" + browser.token();
  browser.PostRaw(head + "&Description=" + std::string(1 << 20, 'a'));
  EXPECT_EQ(413, browser.status());
  EXPECT_TRUE(browser.Shows("Too much data"));
  browser.PostRaw("--x\r\n", "multipart/form-data; boundary=x");
  EXPECT_EQ(415, browser.status());
  // Too many fields, or a NUL in any name or value, and nothing runs.
  std::string fields = head;
  for (int i = 0; i < 998; ++i) fields += "&f" + std::to_string(i) + "=";
  browser.PostRaw(fields + "&last=");
  EXPECT_EQ(413, browser.status());
  EXPECT_TRUE(browser.Shows("The form has too many fields."));
  for (const char* nul : {"&Description=a%00b", "&a%00=b"}) {
    browser.PostRaw(head + nul);
    EXPECT_EQ(400, browser.status()) << nul;
  }
  EXPECT_EQ("", TakeCommands());

  // A long form well past the library's own form limit still goes through,
  // and so do 1,000 fields.
  browser.Click("Show List", {{"Description", std::string(100000, 'b')}});
  EXPECT_TRUE(browser.Shows("Outstanding Service Issues"));
  browser.PostRaw(fields);
  EXPECT_EQ(200, browser.status());
}

TEST_P(WebServerTest, FilesAndUnknownPaths) {
  httplib::Client client("127.0.0.1", port_);
  // path, status, type, start of the body
  const std::vector<std::vector<std::string>> rows = {
      {"/kvlogo.gif", "200", "image/gif", "GIF89a"},
      {"/kirvs.css", "200", "text/css", ""},
      {"/kirvs.js", "200", "text/javascript", ""},
      {"/KIRVS.INI", "404", "text/html", "<!DOCTYPE html>"},
      {"/helpdesk.db", "404", "text/html", "<!DOCTYPE html>"},
  };
  for (const std::vector<std::string>& row : rows) {
    auto answer = client.Get(row[0]);
    ASSERT_TRUE(answer) << row[0];
    EXPECT_EQ(row[1], std::to_string(answer->status)) << row[0];
    EXPECT_EQ(0u, answer->get_header_value("Content-Type").find(row[2]))
        << row[0];
    EXPECT_FALSE(answer->body.empty()) << row[0];
    EXPECT_EQ(0u, answer->body.find(row[3])) << row[0];
  }
  auto post =
      client.Post("/elsewhere", "a=b", "application/x-www-form-urlencoded");
  ASSERT_TRUE(post);
  EXPECT_EQ(404, post->status);
}

TEST_P(WebServerTest, APortInUseIsNotSharedAndServeSaysSo) {
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

  // An address this machine does not have is no port in use (unless the
  // system lets anyone bind any address, when the server would serve).
  if (testing::ReadFile("/proc/sys/net/ipv4/ip_nonlocal_bind") == "1\n") {
    GTEST_SKIP() << "ip_nonlocal_bind is on";
  }
  second.host = "192.0.2.1";
  errors.str("");
  EXPECT_EQ(1, Serve(second, out, errors));
  EXPECT_EQ(
      "kirvs serve: cannot listen on 192.0.2.1:" + std::to_string(port_) + "\n",
      errors.str());
}

TEST_P(WebServerTest, AccessLogHasOneLinePerRequestAndNoSecrets) {
  Browser browser = SignIn("ann");
  browser.Click("1017");
  httplib::Client client("127.0.0.1", port_);
  client.Get("/nowhere");
  // The library decodes the path: line ends in it must not split the line.
  client.Get("/a%0D%0Ab%0Ac");
  const std::vector<std::string> lines = {
      " GET / command=\"STARTUP\" result=ok status=200 ",
      " POST / command=\"LOGIN\" result=ok status=303 ",
      " GET / command=\"SHOW LIST\" result=ok status=200 ",
      " POST / command=\"SHOW REQUEST\" result=ok status=303",
      " GET /requests/1017 command=\"SHOW REQUEST\" result=ok status=200",
      " GET /nowhere command=\"-\" result=- status=404 ",
      " GET /a%0D%0Ab%0Ac command=\"-\" result=- status=404 ",
  };
  ASSERT_EQ(lines.size(), Log(lines.size()).size());
  // Lines are written after each answer has gone out, so the last ones
  // (from two connections) may come in any order.
  for (const std::string& line : lines) {
    EXPECT_EQ(1, CountLogged(lines.size(), {line, " ms="})) << line;
  }
  EXPECT_EQ(1, CountLogged(lines.size(), {"LOGIN", " user=\"ann\""}));
  for (const std::string& secret :
       {std::string("\r"), std::string("\n"), std::string("ann123"),
        browser.token(), browser.cookie("kirvs_session")}) {
    EXPECT_EQ(0, CountLogged(lines.size(), {secret})) << secret;
  }
}

// A stop lets the requests in flight finish, and one that comes while Listen
// is still starting up is not lost (the listener thread would never end).
TEST_P(WebServerTest, StopLetsRequestsInFlightFinish) {
  for (int i = 0; i < 20; ++i) {
    Stop();
    EXPECT_TRUE(listened_ok_) << i;
    Start();
  }
  Browser browser = SignIn("ann");
  Set(&pause_on_, "SHOW LIST");
  TakeCalls();
  std::thread slow([&] { browser.Get("/"); });
  // Stop while the engine is busy with it.
  for (int i = 0; i < 500 && TakeCalls().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Stop();
  slow.join();
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
