// HelpDeskFront: the page script around the engine, and what a web
// application must do besides. For each request it finds the signed-in
// session, checks the form's CSRF token, maps the clicked button to a
// RunCommand call on a new KIRVSession, and wraps the page that comes back
// (or the page the user posted from, under the error) in a whole document.
//
// The identity lives only in the server's session: posted KIRVSCurrentUser
// and KIRVSCurrentPerson are replaced by the session's. Only "Login" (and
// the code of a second factor after it) runs without a session; every other
// post then shows the login page.
//
// A user with a second factor gets his session only once he has also sent a
// valid code from his authenticator app (second_factor_step.h).
//
// Every page has an address that a GET shows (page_addresses.h); a post
// that worked answers 303 to the next page's address, which then opens with
// a notice of what happened (front_state.h, notices.h). Before the engine
// runs the front checks the required fields (form_checks.h); a failure is
// shown in plain words at its field (plain_errors.h).
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
#include "platform/status.h"
#include "web/identity/login_throttle.h"
#include "web/identity/second_factor_step.h"
#include "web/identity/session_store.h"
#include "web/options/serve_options.h"
#include "web/pages/page.h"
#include "web/routes/button_map.h"
#include "web/routes/front_state.h"
#include "web/routes/page_addresses.h"

namespace kirvs::web {

// What the front needs of one request.
struct Visit {
  std::string session_cookie;  // the session id cookie; empty when absent
  std::string browser_cookie;  // the login form's nonce cookie
  std::string pending_cookie;  // a login waiting for its code; or empty
  std::string address;         // the client's address (login throttle)
  SubmittedForm posted;        // the posted fields; empty for GET
};

// The answer, and what the access log says about it.
struct Reply {
  int status = 200;
  std::string body;                      // a whole HTML document
  std::vector<std::string> set_cookies;  // Set-Cookie header values
  std::string retry_after;               // seconds, for 429
  std::string location;                  // where a 303 sends the browser
  std::string command = "-";             // the CommandString run
  std::string result = "-";  // ok, failed, refused, throttled, pending
  std::string user = "-";    // the signed-in user id
  std::string error;         // the engine's text of a failure, for the log
};

class HelpDeskFront {
 public:
  static constexpr char kSessionCookie[] = "kirvs_session";
  static constexpr char kBrowserCookie[] = "kirvs_browser";
  static constexpr char kPendingCookie[] = "kirvs_pending";

  explicit HelpDeskFront(const ServeOptions& options);

  // GET of a page's address: the login page without a session, else the
  // page, run as the click that shows it. An address whose record is not
  // there answers 404 with that said above the latest page.
  Reply Show(const Visit& visit, const AddressedPage& page);

  // GET of the lists the front makes itself: /queues/NAME (unassigned,
  // workgroup, open, closed) and /find?q=, each "&page=N" 50 at a time.
  // A number in the find box opens that request.
  Reply ShowRequests(const Visit& visit, std::string_view path,
                     std::string_view query);

  // POST /: the button the user clicked. A click that worked is answered
  // with 303 to the address of the page that follows, so that neither Back
  // nor Reload posts it again; one that failed shows the page posted from.
  Reply Post(const Visit& visit);

  // Ends idle sessions and removes the login entries of the users who have
  // no session left, as their logout would.
  void Sweep();

 private:
  struct EngineResult {
    bool ok = false;
    std::string html;
    std::string error;
    std::string user_id;
    std::string personnel_name;
  };

  EngineResult Run(std::string_view command, Variant p1, Variant p2);

  EngineResult RunButton(const SessionView& session, const Button& button,
                         const SubmittedForm& posted, Reply* reply);
  Reply SignedIn(const SessionView& session, const Button& button,
                 const Visit& visit, Reply reply);
  Reply Redirect(std::string location, Reply reply);
  Reply NoSession(const Visit& visit, Reply reply);
  Reply LoginAttempt(const Visit& visit, const SessionView* current,
                     Reply reply);
  Reply LoginPage(const Visit& visit, Reply reply, std::string fragment,
                  std::string error_html, std::string notice);
  Reply UnknownButton(const SessionView& session, std::string_view caption,
                      const Visit& visit, Reply reply);
  Reply Forbidden(Reply reply);

  // The second factor (front_second_factor.cc). Whether the user who just
  // gave his password must also send a code.
  Status NeedsCode(const std::string& user_id, bool* needs);
  // After a right password: the code page, or when his second factor could
  // not be looked up, the login page and no login entry. `gate` holds
  // login_gate_ shared.
  Reply AskForCode(const Visit& visit, const EngineResult& result, Status s,
                   std::shared_lock<std::shared_mutex> gate, Reply reply);
  // The code sent from the code page.
  Reply CodeAttempt(const Visit& visit, Reply reply);
  // Removes the user's login entry, as his logout would, unless he has a
  // session or another login waiting for its code. REQUIRES: login_gate_
  // held exclusively.
  void LogOutIfUnused(const std::string& user_id);
  std::string DbPath() const;

  // A new page in the session: kept, so that it can come back under an
  // error box.
  Reply ShowNewPage(const SessionView& session, std::string fragment,
                    std::string form_id, Reply reply);
  // The page the user posted from, with an error and his values.
  Reply ShowPostedFromPage(const SessionView& session, const Visit& visit,
                           std::string error_html, Reply reply,
                           std::vector<std::string> invalid_fields = {});
  // The page posted from (or the latest one), under the engine's failure in
  // words a person understands; the engine's own text goes to the log.
  Reply ShowFailure(const SessionView& session, const Visit& visit,
                    const EngineResult& result, Reply reply);
  // The document of `view`, with the help desk's captions and the current
  // moment, as the reply's body.
  Reply Render(PageView view, Reply reply);
  // What the front adds to a page that `caption` showed.
  void Enhance(const SessionView& session, std::string_view caption,
               std::string* fragment);

  std::string StartupFragment(std::string_view user_id);
  std::string Cookie(std::string_view name, std::string_view value,
                     bool expire) const;

  const ServeOptions& options_;
  // Keys the login forms' tokens; every node of the help desk shares it.
  const std::string secret_;
  SessionStore sessions_;
  FrontState state_;
  LoginThrottle throttle_;
  SecondFactorStep second_factor_;
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
