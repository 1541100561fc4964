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
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "web/options/serve_options.h"
#include "web/routes/page_addresses.h"
#include "web/web_server.h"

namespace kirvs::testing {

// The value of a hidden field the front adds to its form ("" when none).
inline std::string HiddenValue(const std::string& page,
                               const std::string& name) {
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
  explicit Browser(int port) { On(port); }

  // Sends this and the later requests to the server on `port` (another
  // node of the same help desk, say).
  Browser& On(int port) {
    client_.emplace("127.0.0.1", port);
    client_->set_read_timeout(10, 0);
    return *this;
  }
  void Get(const std::string& path = "/") {
    set_cookies_.clear();
    Remember(client_->Get(path.c_str(), CookieHeaders()));
  }
  // Clicks a button of the current page, posting `fields` with it.
  void Click(const std::string& caption, const Fields& fields = {}) {
    ClickWith(caption, FormBody(fields));
  }
  // Clicks as Click does, the fields given form-encoded ("a=1&b=2").
  void ClickWith(const std::string& caption, const std::string& fields) {
    std::string body = FormBody({{"KIRVSCommand", caption}});
    if (!fields.empty()) body += "&" + fields;
    body += "&" + FormBody({{"KIRVSToken", token_}});
    if (!page_number_.empty()) body += "&KIRVSPage=" + page_number_;
    PostRaw(body);
  }
  // Posts exactly these fields: no token or page number added.
  void PostFields(const Fields& fields) { PostRaw(FormBody(fields)); }
  // Posts as a browser does: a 303 answer is followed by a GET of its
  // Location, and status() is then the status of that GET.
  void PostRaw(const std::string& body,
               const std::string& type = "application/x-www-form-urlencoded") {
    set_cookies_.clear();
    Remember(client_->Post("/", CookieHeaders(), body, type.c_str()));
    post_status_ = status_;
    redirected_to_.clear();
    if (status_ != 303) return;
    redirected_to_ = header("Location");
    Remember(client_->Get(redirected_to_.c_str(), CookieHeaders()));
  }
  void LogIn(const std::string& user, const std::string& password) {
    if (token_.empty()) Get();
    Click("Login", {{"txtUserID", user}, {"txtPassword", password}});
  }

  int status() const { return status_; }
  // The status the last post itself was answered with, and where a 303
  // sent the browser (empty: nowhere; the client library decodes it).
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
  static std::string FormBody(const Fields& fields) {
    std::string body;
    for (const auto& [name, value] : fields) {
      if (!body.empty()) body += '&';
      body += web::UrlEncode(name) + "=" + web::UrlEncode(value);
    }
    return body;
  }

  httplib::Headers CookieHeaders() const {
    std::string header;
    for (const auto& [name, value] : cookies_) {
      header += (header.empty() ? "" : "; ") + name + "=" + value;
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

  std::optional<httplib::Client> client_;
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

// A server on a help desk, bound to a free loopback port at once and
// listening on a thread of its own until stopped or destroyed.
class RunningServer {
 public:
  explicit RunningServer(const web::ServeOptions& options) : server_(options) {
    port_ = server_.Bind();
    listener_ = std::thread([this] { listened_ok_ = server_.Listen(); });
  }
  ~RunningServer() { Stop(); }

  // The port, 0 when binding failed.
  int port() const { return port_; }
  // Stops the server and waits for its listener; whether listening ended
  // cleanly.
  bool Stop() {
    if (listener_.joinable()) {
      server_.Stop();
      listener_.join();
    }
    return listened_ok_;
  }

 private:
  web::WebServer server_;
  int port_ = 0;
  std::atomic<bool> listened_ok_{false};
  std::thread listener_;
};

// A RunCommand call as the engine received it: each parameter as "<empty>",
// "<form>" or its text in quotes.
struct SeenCall {
  std::string command;
  std::string p1;
  std::string p2;
  Fields form;  // the fields of the form parameter, if one was passed
};

// A server on the demo help desk of each store, started for each test. The
// engine calls are recorded; `throw_on_` makes the named command throw,
// `pause_on_` holds it up a moment.
class WebServerTest : public ::testing::TestWithParam<Store> {
 protected:
  void SetUp() override;
  void TearDown() override { Stop(); }

  // Makes a demo help desk of the test's store, `scale` times the usual
  // size, in the folder `name` of the test's own (on PostgreSQL, its tables
  // in a schema of their own); returns the path of its settings file, and
  // sets db_path_.
  std::string MakeDesk(const std::string& name, int scale);
  void Start();
  void Stop();
  // Restarts the server with changed options (sessions, form ids and the
  // login throttle stay in the database).
  template <typename Change>
  void Restart(Change change) {
    Stop();
    change(options_);
    Start();
  }

  // A browser signed in as `user` (whose password is the demo's).
  Browser SignIn(const std::string& user);
  std::vector<SeenCall> TakeCalls();
  // The commands of TakeCalls(), joined with commas.
  std::string TakeCommands();
  // The access log once it has `lines` lines: the server writes a line
  // just after it has sent the answer.
  std::vector<std::string> Log(size_t lines);
  // How many lines of Log(lines) hold every one of `texts`.
  int CountLogged(size_t lines, std::initializer_list<std::string> texts);
  // Whether a line of the access log holds `text`, waiting a little for it.
  bool Logged(const std::string& text);
  void Set(std::string* field, std::string value);
  int LoginEntries(const std::string& user);
  // Whether the user's login entries go within two seconds (the
  // housekeeper removes them, a quarter of the idle timeout apart).
  bool LoginEntryGoes(const std::string& user);
  // The telephone of request 1017 as stored (the demo's is "x1120").
  std::string Telephone1017();

  TempDir dir_;
  std::vector<std::unique_ptr<PostgresSchema>> schemas_;
  std::string db_path_;
  ManualClock clock_;
  web::ServeOptions options_;
  std::unique_ptr<RunningServer> server_;
  int port_ = 0;
  bool listened_ok_ = false;  // how the last stopped server ended
  std::mutex mu_;
  std::vector<SeenCall> calls_;
  std::vector<std::string> log_;
  std::string throw_on_;
  std::string pause_on_;
};

}  // namespace kirvs::testing

#endif  // KIRVS_TESTS_WEB_TEST_SUPPORT_H_
