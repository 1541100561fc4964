// The second factor of HelpDeskFront: the step between a right password and
// the session, for users who have a second factor.
//
// The engine's LOGIN has written the login entry by the time the code is
// asked for; the session, and with it the help desk, comes only with a valid
// code. A login whose code never comes (too many wrong codes, or expired)
// loses its login entry as a logout would, unless the user is signed in
// elsewhere or waits for a code in another browser. Wrong codes count
// towards the login throttle like wrong passwords.

#include <chrono>
#include <mutex>
#include <shared_mutex>
#include <utility>

#include "data/second_factor.h"
#include "data/settings.h"
#include "platform/escape.h"
#include "web/pages/code_page.h"
#include "web/pages/visitor_messages.h"
#include "web/routes/front.h"

namespace kirvs::web {

namespace {

constexpr char kCommand[] = "SECOND FACTOR";

std::string WaitMessage(std::chrono::milliseconds wait, std::string* seconds) {
  long long whole = (wait.count() + 999) / 1000;
  *seconds = std::to_string(whole);
  return "Too many failed logins. Wait " + *seconds +
         (whole == 1 ? " second" : " seconds") + ", then try again.";
}

int64_t UnixNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::string HelpDeskFront::DbPath() const {
  return ReadSetting(options_.settings_path, "DBPath");
}

Status HelpDeskFront::NeedsCode(const std::string& user_id, bool* needs) {
  Status s = HasSecondFactor(DbPath(), user_id, needs);
  // A help desk of an older layout has nowhere to keep a second factor, so
  // none of its users has one.
  if (s.code() == Status::Code::kNotSupported) return Status();
  return s;
}

Reply HelpDeskFront::AskForCode(const Visit& visit, const EngineResult& result,
                                Status s,
                                std::shared_lock<std::shared_mutex> gate,
                                Reply reply) {
  if (!s.ok()) {
    gate.unlock();
    {
      std::unique_lock remove(login_gate_);
      LogOutIfUnused(result.user_id);
    }
    reply.result = "failed";
    reply.error = LoggedMessage(EscapeHtml(s.message()), DbPath());
    return LoginPage(visit, std::move(reply), StartupFragment(result.user_id),
                     "The help desk could not check the second factor of "
                     "this account. Please try again later.",
                     "");
  }
  // Started under the gate, so that no sweep removes the login entry
  // before the pending login is known.
  PendingLogin pending =
      second_factor_.Start(result.user_id, result.personnel_name);
  gate.unlock();
  reply.result = "pending";
  reply.set_cookies.push_back(Cookie(kPendingCookie, pending.id, false));
  return LoginPage(visit, std::move(reply), CodePageFragment(), "", "");
}

Reply HelpDeskFront::CodeAttempt(const Visit& visit, Reply reply) {
  reply.command = kCommand;
  std::shared_lock gate(login_gate_);
  std::optional<PendingLogin> pending =
      second_factor_.Find(visit.pending_cookie);
  if (!pending) {
    gate.unlock();
    reply.result = "refused";
    if (!visit.pending_cookie.empty()) {
      reply.set_cookies.push_back(Cookie(kPendingCookie, "", true));
    }
    return LoginPage(visit, std::move(reply), StartupFragment(""), "",
                     "Your login has expired. Please log in again.");
  }
  if (auto wait = throttle_.Begin(pending->user_id, visit.address)) {
    reply.status = 429;
    reply.result = "throttled";
    std::string error = WaitMessage(*wait, &reply.retry_after);
    return LoginPage(visit, std::move(reply), CodePageFragment(),
                     std::move(error), "");
  }

  // Room for the session comes first, as at a login: with none, the code
  // is not used up and stays good for a later try.
  SessionStore::Place place = sessions_.Reserve(pending->user_id);
  if (place == SessionStore::Place::kNone) {
    throttle_.Abandoned(pending->user_id, visit.address);
    reply.status = 503;
    reply.result = "refused";
    reply.retry_after = "60";
    return LoginPage(visit, std::move(reply), CodePageFragment(),
                     "The help desk has too many people signed in; try "
                     "again in a few minutes.",
                     "");
  }

  bool ok = false;
  Status s = VerifySecondFactor(DbPath(), pending->user_id,
                                visit.posted.Get(kCodeField), UnixNow(), &ok);
  if (!ok) {
    sessions_.Release(place);
    throttle_.Failed(pending->user_id, visit.address);
    reply.result = "failed";
    if (!s.ok()) reply.error = LoggedMessage(EscapeHtml(s.message()), DbPath());
    if (!second_factor_.Fail(pending->id)) {
      return LoginPage(visit, std::move(reply), CodePageFragment(),
                       "The code is not correct, or it has been used "
                       "already. Enter the next code that your "
                       "authenticator app shows.",
                       "");
    }
    gate.unlock();
    {
      std::unique_lock remove(login_gate_);
      LogOutIfUnused(pending->user_id);
    }
    reply.set_cookies.push_back(Cookie(kPendingCookie, "", true));
    return LoginPage(visit, std::move(reply), StartupFragment(pending->user_id),
                     "Too many wrong codes. Please log in again.", "");
  }

  throttle_.Succeeded(pending->user_id, visit.address);
  second_factor_.Finish(pending->id);
  // A new session id, as at every login.
  if (auto current = sessions_.Find(visit.session_cookie)) {
    sessions_.End(current->id);
  }
  SessionView session =
      sessions_.Create(place, pending->user_id, pending->personnel_name);
  gate.unlock();
  reply.set_cookies.push_back(Cookie(kPendingCookie, "", true));
  reply.set_cookies.push_back(Cookie(kSessionCookie, session.id, false));
  reply.user = session.user_id;
  // His list, as a login shows it; nothing of the code page goes with it.
  Visit list = visit;
  list.posted = SubmittedForm();
  Reply shown =
      SignedIn(session, *FindButton("Show List"), list, std::move(reply));
  shown.command = kCommand;
  return shown;
}

void HelpDeskFront::LogOutIfUnused(const std::string& user_id) {
  if (sessions_.HasUser(user_id) || second_factor_.HasUser(user_id)) return;
  Run("LOGOUT", Variant(user_id), Variant());
}

}  // namespace kirvs::web
