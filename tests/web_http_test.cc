// The web server over HTTP: body limits, files and unknown paths, a port in
// use, the access log, internal errors and a clean stop.

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "web/serve.h"
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
  // Stopping ends the sessions and their login entries.
  EXPECT_EQ(0, LoginEntries("ann"));
}

}  // namespace
}  // namespace kirvs::web
