// Two web servers on one help desk, as two nodes behind a balancer: they
// share nothing but the database, and a visitor may reach either of them
// with any request.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "web_test_support.h"

namespace kirvs::web {
namespace {

using ::kirvs::testing::Browser;

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
  const std::string list = "Outstanding Service Issues for: Ann Archer";
  Browser ann(a_->port());
  ann.Get();
  // The login form of one node is accepted by the other, and so is a form
  // shown by one node posted to the other.
  ann.On(b_->port()).LogIn("ann", "ann123");
  ann.On(a_->port()).Get();
  EXPECT_TRUE(ann.Shows(list));
  ann.On(b_->port()).Click("1017");
  EXPECT_TRUE(ann.Shows("<h1>Service Request 1017</h1>"));
  // A node started later knows the session too.
  Node c(options_);
  ann.On(c.port()).Get();
  EXPECT_TRUE(ann.Shows(list));

  // A new-request form posted to one node and again to the other registers
  // one request, and both posts go to the same page.
  const std::string count = "SELECT COUNT(*) FROM Current_Requests";
  const int before = std::stoi(testing::QueryValue(db_path_, count));
  ann.On(a_->port()).Get("/requests/new");
  const testing::Fields form = {
      {"KIRVSCommand", "Save Request"},
      {"KIRVSToken", ann.token()},
      {"KIRVSPage", testing::HiddenValue(ann.page(), "KIRVSPage")},
      {"KIRVSFormId", testing::HiddenValue(ann.page(), "KIRVSFormId")},
      {"requestno", "0"},
      {"Description", "Printer on fire"}};
  ASSERT_EQ(32u, form[3].second.size());
  ann.PostFields(form);
  const std::string first = ann.redirected_to();
  EXPECT_TRUE(ann.Shows("registered"));
  ann.On(b_->port()).PostFields(form);
  EXPECT_EQ(first, ann.redirected_to());
  EXPECT_TRUE(ann.Shows("registered"));
  EXPECT_EQ(before + 1, std::stoi(testing::QueryValue(db_path_, count)));

  ann.On(b_->port()).Click("Logout");
  EXPECT_TRUE(ann.Shows("You have logged out."));
  ann.On(a_->port()).Get();
  EXPECT_TRUE(ann.Shows("name='txtPassword'"));
}

TEST_P(WebNodesTest, FailedLoginsOnOneNodeSlowDownTheOthers) {
  Browser guesser(a_->port());
  for (int i = 0; i < options_.free_failures_per_user; ++i) {
    guesser.On(i % 2 ? a_->port() : b_->port()).LogIn("ann", "guess");
    EXPECT_EQ(200, guesser.status()) << i;
  }
  guesser.On(a_->port()).LogIn("ANN", "x");
  EXPECT_EQ(429, guesser.status());
  guesser.On(b_->port()).LogIn("ann", "x");
  EXPECT_EQ(429, guesser.status());
  clock_.Advance(options_.first_login_delay);
  guesser.LogIn("ann", "ann123");
  EXPECT_TRUE(guesser.Shows("Outstanding Service Issues"));
}

}  // namespace
}  // namespace kirvs::web
