#include "web_test_support.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "cli/init_command.h"
#include "platform/settings_file.h"

namespace kirvs::testing {
namespace {

std::string DescribeParameter(const Variant& value, Fields* form) {
  if (value.IsEmpty()) return "<empty>";
  if (value.IsForm()) {
    *form = value.form()->fields();
    return "<form>";
  }
  return "\"" + value.ToText() + "\"";
}

// Whether `done` holds within two seconds, asking every 5 ms.
template <typename Done>
bool Soon(Done done) {
  for (int i = 0; i < 400 && !done(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

}  // namespace

KIRVS_ON_EVERY_STORE(WebServerTest);

void WebServerTest::SetUp() {
  if (GetParam() == Store::kPostgres &&
      getenv("KIRVS_TEST_POSTGRES") == nullptr) {
    GTEST_SKIP() << kNoPostgres;
  }
  options_.settings_path = MakeDesk("desk", 1);
  options_.port = 0;
  options_.threads = 4;
  options_.first_login_delay = std::chrono::milliseconds(800);
  options_.clock = &clock_;
  options_.access_log = [this](std::string_view line) {
    std::lock_guard lock(mu_);
    log_.emplace_back(line);
  };
  options_.observe_call = [this](const web::EngineCall& call) {
    SeenCall seen{call.command, "", "", {}};
    seen.p1 = DescribeParameter(*call.p1, &seen.form);
    seen.p2 = DescribeParameter(*call.p2, &seen.form);
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

std::string WebServerTest::MakeDesk(const std::string& name, int scale) {
  InitOptions init;
  init.dir = dir_.File(name);
  init.demo = true;
  init.scale = scale;
  db_path_ = init.dir + "/" + kDatabaseFileName;
  if (GetParam() == Store::kPostgres) {
    schemas_.push_back(std::make_unique<PostgresSchema>());
    init.database = db_path_ = schemas_.back()->uri();
  }
  std::ostringstream out, errors;
  EXPECT_EQ(0, RunInit(init, out, errors)) << errors.str();
  return init.dir + "/" + kSettingsFileName;
}

void WebServerTest::Start() {
  server_ = std::make_unique<RunningServer>(options_);
  port_ = server_->port();
  ASSERT_NE(0, port_);
}

void WebServerTest::Stop() {
  if (!server_) return;
  listened_ok_ = server_->Stop();
  server_.reset();
}

Browser WebServerTest::SignIn(const std::string& user) {
  Browser browser(port_);
  browser.LogIn(user, user + "123");
  return browser;
}

std::vector<SeenCall> WebServerTest::TakeCalls() {
  std::lock_guard lock(mu_);
  return std::exchange(calls_, {});
}

std::string WebServerTest::TakeCommands() {
  std::string commands;
  for (const SeenCall& call : TakeCalls()) {
    commands += (commands.empty() ? "" : ",") + call.command;
  }
  return commands;
}

std::vector<std::string> WebServerTest::Log(size_t lines) {
  Soon([&] {
    std::lock_guard lock(mu_);
    return log_.size() >= lines;
  });
  std::lock_guard lock(mu_);
  return log_;
}

int WebServerTest::CountLogged(size_t lines,
                               std::initializer_list<std::string> texts) {
  std::vector<std::string> log = Log(lines);
  return std::count_if(log.begin(), log.end(), [&](const std::string& line) {
    return std::all_of(texts.begin(), texts.end(), [&](const auto& text) {
      return line.find(text) != std::string::npos;
    });
  });
}

bool WebServerTest::Logged(const std::string& text) {
  return Soon([&] { return CountLogged(0, {text}) > 0; });
}

void WebServerTest::Set(std::string* field, std::string value) {
  std::lock_guard lock(mu_);
  *field = std::move(value);
}

int WebServerTest::LoginEntries(const std::string& user) {
  return std::stoi(QueryValue(
      db_path_, "SELECT COUNT(*) FROM Logins WHERE UserName='" + user + "'"));
}

bool WebServerTest::LoginEntryGoes(const std::string& user) {
  return Soon([&] { return LoginEntries(user) == 0; });
}

std::string WebServerTest::Telephone1017() {
  return QueryValue(db_path_,
                    "SELECT Telephone FROM Current_Requests WHERE "
                    "RequestNo=1017");
}

}  // namespace kirvs::testing
