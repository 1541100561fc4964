// Two web servers on one help desk, as two nodes behind a balancer: they
// share nothing but the database, and a visitor may reach either of them
// with any request.

#include <gtest/gtest.h>
#include <httplib.h>

#include <map>
#include <memory>
#include <string>
#include <thread>

#include "test_support.h"
#include "web/web_server.h"

namespace kirvs::web {
namespace {

// A running server on a port of its own.
class Node {
 public:
  explicit Node(const ServeOptions& options) : server_(options) {
    port_ = server_.Bind();
    listener_ = std::thread([this] { server_.Listen(); });
  }
  ~Node() {
    server_.Stop();
    listener_.join();
  }
  int port() const { return port_; }

 private:
  WebServer server_;
  int port_ = 0;
  std::thread listener_;
};

// A browser whose every request may go to another node: its cookies and the
// token of the last page go with it.
class Visitor {
 public:
  int Get(int port, const std::string& path = "/") {
    httplib::Client client("127.0.0.1", port);
    return Remember(client.Get(path.c_str(), Cookies()));
  }
  // Posts a click with the page's token, following a 303 on the same node.
  int Click(int port, const std::string& caption, httplib::Params fields = {}) {
    fields.emplace("KIRVSCommand", caption);
    fields.emplace("KIRVSToken", token_);
    httplib::Client client("127.0.0.1", port);
    int status = Remember(client.Post("/", Cookies(), fields));
    redirected_to_ = status == 303 ? location_ : "";
    if (status == 303) return Get(port, location_);
    return status;
  }
  bool Shows(const std::string& text) const {
    return page_.find(text) != std::string::npos;
  }
  // Where the last click's 303 sent the browser; empty: nowhere.
  const std::string& redirected_to() const { return redirected_to_; }
  // The value of a hidden field of the page.
  std::string Hidden(const std::string& name) const {
    const std::string marker = "name=\"" + name + "\" value=\"";
    size_t at = page_.find(marker);
    if (at == std::string::npos) return "";
    at += marker.size();
    return page_.substr(at, page_.find('"', at) - at);
  }

 private:
  httplib::Headers Cookies() const {
    std::string header;
    for (const auto& [name, value] : cookies_) {
      header += (header.empty() ? "" : "; ") + name + "=" + value;
    }
    return {{"Cookie", header}};
  }
  int Remember(const httplib::Result& result) {
    if (!result) return 0;
    page_ = result->body;
    location_ = result->get_header_value("Location");
    for (const auto& [name, value] : result->headers) {
      if (name != "Set-Cookie") continue;
      std::string pair = value.substr(0, value.find(';'));
      cookies_[pair.substr(0, pair.find('='))] =
          pair.substr(pair.find('=') + 1);
    }
    if (std::string token = Hidden("KIRVSToken"); !token.empty()) {
      token_ = token;
    }
    return result->status;
  }

  std::map<std::string, std::string> cookies_;
  std::string token_;
  std::string page_;
  std::string location_;
  std::string redirected_to_;
};

// Two nodes on a demo desk of each store.
class WebNodesTest : public ::testing::TestWithParam<Store> {
 protected:
  void SetUp() override {
    if (!desk_.available()) GTEST_SKIP() << testing::kNoPostgres;
    options_.settings_path = desk_.ini_path();
    db_path_ = desk_.db_path();
    options_.port = 0;
    options_.threads = 2;
    options_.clock = &clock_;
    options_.access_log = [](std::string_view) {};
    a_ = std::make_unique<Node>(options_);
    b_ = std::make_unique<Node>(options_);
  }

  testing::DemoDesk desk_{GetParam()};
  testing::ManualClock clock_;
  std::string db_path_;
  ServeOptions options_;
  std::unique_ptr<Node> a_;
  std::unique_ptr<Node> b_;
};

INSTANTIATE_TEST_SUITE_P(Stores, WebNodesTest,
                         ::testing::ValuesIn(testing::kStores),
                         testing::StoreName);

TEST_P(WebNodesTest, ASessionAndItsLogoutReachEveryNode) {
  Visitor ann;
  // The login form of one node is accepted by the other.
  ASSERT_EQ(200, ann.Get(a_->port()));
  ASSERT_EQ(200, ann.Click(b_->port(), "Login",
                           {{"txtUserID", "ann"}, {"txtPassword", "ann123"}}));
  ASSERT_EQ(200, ann.Get(a_->port()));
  EXPECT_TRUE(ann.Shows("Outstanding Service Issues"));
  // A form shown by one node is posted to the other.
  EXPECT_EQ(200, ann.Click(b_->port(), "1017"));
  EXPECT_TRUE(ann.Shows("1017"));
  // A node started later knows the session too.
  Node c(options_);
  EXPECT_EQ(200, ann.Get(c.port()));
  EXPECT_TRUE(ann.Shows("Outstanding Service Issues"));

  // A new-request form posted to one node and again to the other registers
  // one request, and both posts go to the same page.
  const std::string count = "SELECT COUNT(*) FROM Current_Requests";
  const int before = std::stoi(testing::QueryValue(db_path_, count));
  ann.Get(a_->port(), "/requests/new");
  const httplib::Params form = {{"KIRVSFormId", ann.Hidden("KIRVSFormId")},
                                {"KIRVSPage", ann.Hidden("KIRVSPage")},
                                {"requestno", "0"},
                                {"Description", "Printer on fire"}};
  ASSERT_EQ(32u, form.find("KIRVSFormId")->second.size());
  EXPECT_EQ(200, ann.Click(a_->port(), "Save Request", form));
  const std::string first = ann.redirected_to();
  EXPECT_TRUE(ann.Shows("registered"));
  EXPECT_EQ(200, ann.Click(b_->port(), "Save Request", form));
  EXPECT_EQ(first, ann.redirected_to());
  EXPECT_TRUE(ann.Shows("registered"));
  EXPECT_EQ(before + 1, std::stoi(testing::QueryValue(db_path_, count)));

  ann.Click(b_->port(), "Logout");
  EXPECT_TRUE(ann.Shows("You have logged out."));
  ann.Get(a_->port());
  EXPECT_FALSE(ann.Shows("Outstanding Service Issues"));
  EXPECT_TRUE(ann.Shows("txtPassword"));
}

TEST_P(WebNodesTest, FailedLoginsOnOneNodeSlowDownTheOthers) {
  Visitor guesser;
  guesser.Get(a_->port());
  for (int i = 0; i < options_.free_failures_per_user; ++i) {
    int node = i % 2 ? a_->port() : b_->port();
    EXPECT_EQ(200,
              guesser.Click(node, "Login",
                            {{"txtUserID", "ann"}, {"txtPassword", "guess"}}))
        << i;
  }
  EXPECT_EQ(429, guesser.Click(a_->port(), "Login",
                               {{"txtUserID", "ANN"}, {"txtPassword", "x"}}));
  EXPECT_EQ(429, guesser.Click(b_->port(), "Login",
                               {{"txtUserID", "ann"}, {"txtPassword", "x"}}));
  clock_.Advance(options_.first_login_delay);
  EXPECT_EQ(200,
            guesser.Click(b_->port(), "Login",
                          {{"txtUserID", "ann"}, {"txtPassword", "ann123"}}));
  EXPECT_TRUE(guesser.Shows("Outstanding Service Issues"));
}

}  // namespace
}  // namespace kirvs::web
