// The web front's HTTP test fixture: a server on a free loopback port over a
// demo help desk, a manual clock, an access log and a record of every call
// the front makes into the engine; and a Browser that keeps its cookies and
// posts back the token and page number of the page it shows.
//
// Thread safety: a Browser belongs to one thread; the fixture's call record,
// access log and fault switches (Set) may be used from any thread.

#ifndef KIRVS_TESTS_WEB_TEST_SUPPORT_H_
#define KIRVS_TESTS_WEB_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "web/options/serve_options.h"
#include "web/web_server.h"

namespace kirvs::testing {

// The value of a hidden field the front adds to its form ("" when none).
std::string HiddenValue(const std::string& page, const std::string& name);

// One browser: its cookies, and the token and page number of the page it
// shows, which it posts back with every click as the page's form would.
class Browser {
 public:
  explicit Browser(int port);

  void Get(const std::string& path = "/");
  // Clicks a button of the current page, posting `fields` with it.
  void Click(const std::string& caption, Fields fields = {});
  // Posts exactly these fields: no token or page number added.
  void PostFields(const Fields& fields);
  // Posts as a browser does: a 303 answer is followed by a GET of its
  // Location, and status() is then the status of that GET.
  void PostRaw(const std::string& body,
               const std::string& type = "application/x-www-form-urlencoded");
  void LogIn(const std::string& user, const std::string& password);

  int status() const { return status_; }
  // The status the last post itself was answered with, and where a 303
  // sent the browser (empty: nowhere).
  int post_status() const { return post_status_; }
  const std::string& redirected_to() const { return redirected_to_; }
  const std::string& page() const { return page_; }
  const std::string& token() const { return token_; }
  std::string header(const std::string& name) const;
  const std::vector<std::string>& set_cookies() const { return set_cookies_; }
  std::string cookie(const std::string& name) const;
  void set_cookie(const std::string& name, const std::string& value) {
    cookies_[name] = value;
  }
  void set_token(const std::string& token) { token_ = token; }

  bool Shows(const std::string& text) const {
    return page_.find(text) != std::string::npos;
  }

 private:
  httplib::Headers CookieHeaders() const;
  void Remember(const httplib::Result& result);

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

// A RunCommand call as the engine received it: each parameter as "<empty>",
// "<form>" or its text in quotes.
struct SeenCall {
  std::string command;
  std::string p1;
  std::string p2;
  Fields form;  // the fields of the form parameter, if one was passed
};

// A server on the demo help desk, started for each test. The engine calls
// are recorded; `throw_on_` makes the named command throw, `pause_on_`
// holds it up a moment.
class WebServerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override { Stop(); }

  void Start();
  void Stop();
  // Restarts the server with changed options (a fresh server: no sessions).
  template <typename Change>
  void Restart(Change change) {
    Stop();
    change(options_);
    Start();
  }

  std::vector<SeenCall> TakeCalls();
  // The access log once it has `lines` lines: the server writes a line
  // just after it has sent the answer.
  std::vector<std::string> Log(size_t lines);
  // Whether a line of the access log holds `text`, waiting a little for it.
  bool Logged(const std::string& text);
  void Set(std::string* field, std::string value);
  int LoginEntries(const std::string& user);

  TempDir dir_;
  std::string db_path_;
  ManualClock clock_;
  web::ServeOptions options_;
  std::unique_ptr<web::WebServer> server_;
  int port_ = 0;
  std::thread listener_;
  std::atomic<bool> listened_ok_{false};
  std::mutex mu_;
  std::vector<SeenCall> calls_;
  std::vector<std::string> log_;
  std::string throw_on_;
  std::string pause_on_;
};

}  // namespace kirvs::testing

#endif  // KIRVS_TESTS_WEB_TEST_SUPPORT_H_
