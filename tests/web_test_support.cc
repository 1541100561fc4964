#include "web_test_support.h"

#include <chrono>
#include <sstream>
#include <utility>

#include "cli/init_command.h"
#include "platform/settings_file.h"
#include "web/routes/page_addresses.h"

namespace kirvs::testing {
namespace {

std::string FormBody(const Fields& fields) {
  std::string body;
  for (const auto& [name, value] : fields) {
    if (!body.empty()) body += '&';
    body += web::UrlEncode(name) + "=" + web::UrlEncode(value);
  }
  return body;
}

std::string DescribeParameter(const Variant& value, Fields* form) {
  if (value.IsEmpty()) return "<empty>";
  if (value.IsForm()) {
    *form = value.form()->fields();
    return "<form>";
  }
  return "\"" + value.ToText() + "\"";
}

}  // namespace

std::string HiddenValue(const std::string& page, const std::string& name) {
  std::string marker = "name=\"" + name + "\" value=\"";
  size_t start = page.find(marker);
  if (start == std::string::npos) return "";
  start += marker.size();
  return page.substr(start, page.find('"', start) - start);
}

Browser::Browser(int port) : client_("127.0.0.1", port) {
  client_.set_read_timeout(10, 0);
}

void Browser::Get(const std::string& path) {
  set_cookies_.clear();
  Remember(client_.Get(path.c_str(), CookieHeaders()));
}

void Browser::Click(const std::string& caption, Fields fields) {
  fields.insert(fields.begin(), {"KIRVSCommand", caption});
  fields.emplace_back("KIRVSToken", token_);
  if (!page_number_.empty()) fields.emplace_back("KIRVSPage", page_number_);
  PostRaw(FormBody(fields));
}

void Browser::PostFields(const Fields& fields) { PostRaw(FormBody(fields)); }

void Browser::PostRaw(const std::string& body, const std::string& type) {
  set_cookies_.clear();
  Remember(client_.Post("/", CookieHeaders(), body, type.c_str()));
  post_status_ = status_;
  redirected_to_.clear();
  if (status_ != 303) return;
  redirected_to_ = header("Location");
  Remember(client_.Get(redirected_to_.c_str(), CookieHeaders()));
}

void Browser::LogIn(const std::string& user, const std::string& password) {
  if (token_.empty()) Get();
  Click("Login", {{"txtUserID", user}, {"txtPassword", password}});
}

std::string Browser::header(const std::string& name) const {
  auto it = headers_.find(name);
  return it == headers_.end() ? "" : it->second;
}

std::string Browser::cookie(const std::string& name) const {
  auto it = cookies_.find(name);
  return it == cookies_.end() ? "" : it->second;
}

httplib::Headers Browser::CookieHeaders() const {
  std::string header;
  for (const auto& [name, value] : cookies_) {
    if (!header.empty()) header += "; ";
    header += name + "=" + value;
  }
  if (header.empty()) return {};
  return {{"Cookie", header}};
}

void Browser::Remember(const httplib::Result& result) {
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

void WebServerTest::SetUp() {
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

void WebServerTest::Start() {
  server_ = std::make_unique<web::WebServer>(options_);
  port_ = server_->Bind();
  ASSERT_NE(0, port_);
  listener_ = std::thread([this] { listened_ok_ = server_->Listen(); });
}

void WebServerTest::Stop() {
  if (!server_) return;
  server_->Stop();
  listener_.join();
  server_.reset();
}

std::vector<SeenCall> WebServerTest::TakeCalls() {
  std::lock_guard lock(mu_);
  return std::exchange(calls_, {});
}

std::vector<std::string> WebServerTest::Log(size_t lines) {
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

bool WebServerTest::Logged(const std::string& text) {
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

void WebServerTest::Set(std::string* field, std::string value) {
  std::lock_guard lock(mu_);
  *field = std::move(value);
}

int WebServerTest::LoginEntries(const std::string& user) {
  return std::stoi(QueryValue(
      db_path_, "SELECT COUNT(*) FROM Logins WHERE UserName='" + user + "'"));
}

}  // namespace kirvs::testing
