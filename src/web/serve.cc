#include "web/serve.h"

#include <pthread.h>
#include <signal.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "data/accounts.h"
#include "data/demo_data.h"
#include "data/system_users.h"
#include "web/http/http_server.h"
#include "web/readable_files.h"
#include "web/web_server.h"

namespace kirvs::web {

namespace {

// The demo accounts that still log in with their demo passwords; nothing
// when the help desk is not the demo one or they were changed.
std::vector<const DemoStaff*> WorkingDemoLogins(const std::string& settings) {
  std::vector<const DemoStaff*> working;
  for (const DemoStaff& staff : kDemoStaff) {
    std::optional<UserEntry> entry;
    if (!FindUserEntry(settings, staff.user_id, &entry).ok()) break;
    if (entry && entry->user_id == staff.user_id && entry->password &&
        StoredPasswordMatches(Variant(*entry->password), staff.password)) {
      working.push_back(&staff);
    }
  }
  return working;
}

}  // namespace

int Serve(const ServeOptions& options, std::ostream& out,
          std::ostream& errors) {
  if (!std::filesystem::is_regular_file(options.settings_path)) {
    errors << "kirvs serve: no settings file " << options.settings_path << "\n";
    return 1;
  }

  // Block the stop signals before any thread starts, so that every thread
  // inherits the mask and only the watcher below receives them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &stop_signals, &previous);
  signal(SIGPIPE, SIG_IGN);

  WebServer server(options);
  int port = server.Bind();
  if (port == 0) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (PortInUse(options.host, options.port)) {
      errors << "kirvs serve: port " << options.port
             << " is in use; choose another with --port\n";
    } else {
      errors << "kirvs serve: cannot listen on " << options.host << ":"
             << options.port << "\n";
    }
    return 1;
  }

  WarnAboutReadableFiles(options.settings_path, errors);

  std::thread watcher([&] {
    int received = 0;
    sigwait(&stop_signals, &received);
    server.Stop();
  });

  out << "Serving the help desk at http://" << options.host << ":" << port
      << "/  (Ctrl-C stops it)\n";
  auto logins = WorkingDemoLogins(options.settings_path);
  if (!logins.empty()) {
    out << "Demo logins (user id / password):";
    for (const DemoStaff* staff : logins) {
      out << "  " << staff->user_id << " / " << staff->password;
    }
    out << "\n";
  }
  out.flush();

  bool ok = server.Listen();
  // Listen also returns when the socket fails; wake the watcher then.
  if (!ok) kill(getpid(), SIGTERM);
  watcher.join();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  out << "Stopped.\n";
  return ok ? 0 : 1;
}

}  // namespace kirvs::web
