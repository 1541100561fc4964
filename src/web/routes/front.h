// HelpDeskFront: the page script around the engine, and what a web
// application must do besides. For each request it finds the signed-in
// session, checks the form's CSRF token, maps the clicked button to a
// RunCommand call on a new KIRVSession, and wraps the page that comes back
// (or the page the user posted from, under the error) in a whole document.
//
// The identity lives only in the server's session: posted KIRVSCurrentUser
// and KIRVSCurrentPerson are replaced by the session's. Only "Login" runs
// without a session; every other post then shows the login page.
//
// It knows nothing of HTTP beyond what Visit and Reply carry; the routes
// (addresses.h) translate.
//
// Thread safety: every member may be called from any thread at once.

#ifndef KIRVS_SRC_WEB_ROUTES_FRONT_H_
#define KIRVS_SRC_WEB_ROUTES_FRONT_H_

#include <semaphore>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "kirvs/submitted_form.h"
#include "kirvs/variant.h"
#include "web/identity/login_throttle.h"
#include "web/identity/session_store.h"
#include "web/options/serve_options.h"
#include "web/routes/button_map.h"

namespace kirvs::web {

// What the front needs of one request.
struct Visit {
  std::string session_cookie;  // the session id cookie; empty when absent
  std::string browser_cookie;  // the login form's nonce cookie
  std::string address;         // the client's address (login throttle)
  SubmittedForm posted;        // the posted fields; empty for GET
};

// The answer, and what the access log says about it.
struct Reply {
  int status = 200;
  std::string body;                      // a whole HTML document
  std::vector<std::string> set_cookies;  // Set-Cookie header values
  std::string retry_after;               // seconds, for 429
  std::string command = "-";             // the CommandString run
  std::string result = "-";              // ok, failed, refused, throttled
  std::string user = "-";                // the signed-in user id
};

class HelpDeskFront {
 public:
  static constexpr char kSessionCookie[] = "kirvs_session";
  static constexpr char kBrowserCookie[] = "kirvs_browser";

  explicit HelpDeskFront(const ServeOptions& options);

  // GET /: the login page, or for a signed-in session his request list.
  Reply Home(const Visit& visit);

  // POST /: the button the user clicked.
  Reply Post(const Visit& visit);

  // Ends idle sessions and removes the login entries of the users who have
  // no session left, as their logout would.
  void Sweep();

  // Ends every session and removes their login entries (at shutdown).
  void EndAllSessions();

 private:
  struct EngineResult {
    bool ok = false;
    std::string html;
    std::string error;
    std::string user_id;
    std::string personnel_name;
  };

  EngineResult Run(std::string_view command, Variant p1, Variant p2);

  Reply SignedIn(const SessionView& session, const Button& button,
                 const Visit& visit, Reply reply);
  Reply LoginAttempt(const Visit& visit, const SessionView* current,
                     Reply reply);
  Reply LoginPage(const Visit& visit, Reply reply, std::string fragment,
                  std::string error_html, std::string notice);
  Reply UnknownButton(const SessionView& session, std::string_view caption,
                      const Visit& visit, Reply reply);
  Reply Forbidden(Reply reply);

  // A new page in the session: kept, so that it can come back under an
  // error box.
  Reply ShowNewPage(const SessionView& session, std::string fragment,
                    Reply reply);
  // The page the user posted from, with an error and his values.
  Reply ShowPostedFromPage(const SessionView& session, const Visit& visit,
                           std::string error_html, Reply reply);

  std::string StartupFragment(std::string_view user_id);
  std::string Cookie(std::string_view name, std::string_view value,
                     bool expire) const;

  const ServeOptions& options_;
  const std::string secret_;  // keys the login forms' tokens
  SessionStore sessions_;
  LoginThrottle throttle_;
  // Logins hold it shared, the removal of login entries for idle sessions
  // exclusively: a user who logs in again meanwhile keeps his entry.
  std::shared_mutex login_gate_;
  // Engine calls running at once: options.threads. Connections have
  // threads of their own, many of them only waiting for their clients; the
  // engine's work (and its memory) stays within this many.
  std::counting_semaphore<> engine_slots_;
};

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_ROUTES_FRONT_H_
