#include "web/routes/front.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>

#include "data/audit_trail.h"
#include "data/lookups.h"
#include "data/request_finder.h"
#include "data/settings.h"
#include "data/web_state_tables.h"
#include "kirvs/session.h"
#include "platform/ascii.h"
#include "platform/escape.h"
#include "web/identity/csrf.h"
#include "web/pages/code_page.h"
#include "web/pages/enhance.h"
#include "web/pages/page.h"
#include "web/pages/problem_pages.h"
#include "web/pages/visitor_messages.h"
#include "web/routes/form_checks.h"
#include "web/routes/notices.h"
#include "web/routes/plain_errors.h"

namespace kirvs::web {

namespace {

// The engine's words for a record it did not find, in the ErrorDescription
// of a page it still shows (the record source's message).
constexpr std::string_view kNoCurrentRow = "no current row";

// Shown when a signed-in session has no page to come back to.
constexpr char kFallbackFragment[] =
    "<input name=KIRVSCommand value='Show List' type=submit>"
    "<input name=KIRVSCommand value='Logout' type=submit>";

// The first value posted under `name` (the submitted form would join
// repeated values, and a token or caption must be taken as sent).
std::string FirstValue(const SubmittedForm& posted, std::string_view name) {
  for (const SubmittedForm::Field& field : posted.fields()) {
    if (field.first == name) return field.second;
  }
  return std::string();
}

uint64_t PostedPageNumber(const SubmittedForm& posted) {
  std::string text = FirstValue(posted, kPageField);
  uint64_t number = 0;
  std::from_chars(text.data(), text.data() + text.size(), number);
  return number;
}

std::string SignedInAs(const SessionView& session) {
  if (session.personnel_name.empty()) return session.user_id;
  return session.personnel_name + " (" + session.user_id + ")";
}

std::string ErrorOrGeneric(const std::string& error) {
  // Markup in which every value is escaped.
  return error.empty() ? "The help desk could not carry out this command."
                       : error;
}

// Holds one of the engine's slots for as long as it lives.
class EngineSlot {
 public:
  explicit EngineSlot(std::counting_semaphore<>* slots) : slots_(slots) {
    slots_->acquire();
  }
  ~EngineSlot() { slots_->release(); }
  EngineSlot(const EngineSlot&) = delete;
  EngineSlot& operator=(const EngineSlot&) = delete;

 private:
  std::counting_semaphore<>* slots_;
};

// Runs a function when the scope ends, however it ends.
template <typename F>
class OnExit {
 public:
  explicit OnExit(F f) : f_(std::move(f)) {}
  ~OnExit() { f_(); }
  OnExit(const OnExit&) = delete;
  OnExit& operator=(const OnExit&) = delete;

 private:
  F f_;
};

// Makes the tables of the web front's state (a help desk made by an earlier
// release has none) and returns the login forms' key that every node
// shares. Without a database the front still serves its error pages, with
// a key of its own.
std::string PrepareSharedState(const ServeOptions& options) {
  const std::string db_path = ReadSetting(options.settings_path, "DBPath");
  std::string secret;
  Status s = EnsureWebStateTables(db_path);
  if (s.ok()) s = SharedSecret(db_path, "login_form", NewSecret(), &secret);
  return s.ok() ? secret : NewSecret();
}

}  // namespace

HelpDeskFront::HelpDeskFront(const ServeOptions& options)
    : options_(options),
      secret_(PrepareSharedState(options)),
      sessions_(options),
      state_(options),
      throttle_(options),
      second_factor_(options),
      engine_slots_(std::max<std::ptrdiff_t>(1, options.threads)) {
  // The find box's index of words; a database without it (none at all, or
  // read-only) answers the find box with an error and serves the rest, so
  // a failure here is not the server's to refuse.
  (void)EnsureRequestWords(options_.settings_path);
}

Reply HelpDeskFront::Show(const Visit& visit, const AddressedPage& page) {
  Reply reply;
  auto session = sessions_.Find(visit.session_cookie);
  if (!session) return NoSession(visit, std::move(reply));
  reply.user = session->user_id;
  std::string caption = page.caption;
  std::vector<SubmittedForm::Field> fields = {{kCommandField, caption}};
  fields.insert(fields.end(), page.fields.begin(), page.fields.end());
  ListOrder order;
  if (page.is_list) {
    // The list keeps the order he chose last, for the whole session.
    if (caption == "Sort List Now") {
      order = ListOrder{page.fields.front().second, page.descending};
      state_.SetOrder(session->id, order);
    } else {
      order = ListOrder{session->order_column, session->order_descending};
      if (!order.column.empty()) {
        caption = "Sort List Now";
        fields = {{kCommandField, caption}, {"sortrequests", order.column}};
      }
    }
  }
  SubmittedForm asked(std::move(fields));
  std::optional<Button> button = FindButton(caption);
  if (!button) {
    reply.status = 404;
    reply.result = "refused";
    reply.body = RenderStatusPage(404);
    return reply;
  }
  EngineResult result = RunButton(*session, *button, asked, &reply);
  if (result.ok && result.error == kNoCurrentRow) {
    // The record is not there (a number typed in, a request closed since):
    // the engine shows an empty page of its kind, which is no page at all.
    reply.status = 404;
    reply.result = "failed";
    return ShowPostedFromPage(
        *session, Visit(),
        "Not found: " + PageTitle(result.html) +
            ". It may have been closed or removed; closed requests are listed "
            "under Queues, Recently closed.",
        std::move(reply));
  }
  if (result.ok && !result.html.empty()) {
    Enhance(*session, page.caption, &result.html);
    if (page.is_list) {
      if (order.descending) ReverseListRows(&result.html);
      LinkListHeaders(&result.html, order.descending,
                      Captions(options_.settings_path));
    }
    std::string form_id;
    if (page.one_time_form) {
      form_id = state_.IssueFormId(session->id);
    }
    return ShowNewPage(*session, std::move(result.html), std::move(form_id),
                       std::move(reply));
  }
  // An address typed in or kept as a bookmark that no longer shows a page
  // (a request closed since): the error above the latest page.
  return ShowFailure(*session, Visit(), result, std::move(reply));
}

Reply HelpDeskFront::NoSession(const Visit& visit, Reply reply) {
  std::string notice;
  if (!visit.session_cookie.empty()) {
    notice = "Your session has ended. Please log in again.";
    reply.set_cookies.push_back(Cookie(kSessionCookie, "", true));
  }
  return LoginPage(visit, std::move(reply), StartupFragment(""), "",
                   std::move(notice));
}

Reply HelpDeskFront::Post(const Visit& visit) {
  Reply reply;
  std::string caption = FirstValue(visit.posted, kCommandField);
  std::string token = FirstValue(visit.posted, kTokenField);
  std::optional<Button> button = FindButton(caption);
  bool is_login = button && button->row->effect == Effect::kLogin;

  std::string browser_token = visit.browser_cookie.empty()
                                  ? std::string()
                                  : BrowserToken(secret_, visit.browser_cookie);

  // The code page is a login page: it carries the browser's token.
  if (caption == kCodeCaption) {
    if (!SameToken(token, browser_token)) return Forbidden(std::move(reply));
    return CodeAttempt(visit, std::move(reply));
  }

  if (auto session = sessions_.Find(visit.session_cookie)) {
    reply.user = session->user_id;
    // A login page left open in another tab carries the browser's token.
    bool valid = SameToken(token, session->token) ||
                 (is_login && SameToken(token, browser_token));
    if (!valid) return Forbidden(std::move(reply));
    if (!button) {
      return UnknownButton(*session, caption, visit, std::move(reply));
    }
    if (is_login) return LoginAttempt(visit, &*session, std::move(reply));
    return SignedIn(*session, *button, visit, std::move(reply));
  }

  if (is_login) {
    if (!SameToken(token, browser_token)) return Forbidden(std::move(reply));
    return LoginAttempt(visit, nullptr, std::move(reply));
  }

  // Nothing but a login runs without a session.
  std::string notice = "Please log in first.";
  if (!visit.session_cookie.empty()) {
    notice = "Your session has ended. Please log in again.";
    reply.set_cookies.push_back(Cookie(kSessionCookie, "", true));
  }
  return LoginPage(visit, std::move(reply), StartupFragment(""), "",
                   std::move(notice));
}

HelpDeskFront::EngineResult HelpDeskFront::RunButton(
    const SessionView& session, const Button& button,
    const SubmittedForm& posted, Reply* reply) {
  const ButtonRow& row = *button.row;
  Identity identity{session.user_id, session.personnel_name};
  bool search = row.command == "SEARCH INVENTORY NOW" ||
                row.command == "SEARCH SOLUTIONS NOW";
  Variant form = Variant::Form(std::make_shared<const SubmittedForm>(
      EngineForm(search ? ContainsCriteria(posted) : posted, &identity)));
  Variant p1 = Argument(row.p1, button, posted, form, &identity);
  Variant p2 = Argument(row.p2, button, posted, form, &identity);
  reply->command = std::string(row.command);
  EngineResult result = Run(row.command, std::move(p1), std::move(p2));
  reply->result = result.ok ? "ok" : "failed";
  return result;
}

Reply HelpDeskFront::SignedIn(const SessionView& session, const Button& button,
                              const Visit& visit, Reply reply) {
  const ButtonRow& row = *button.row;
  // The front's own checks come first: a post they refuse never reaches
  // the engine.
  std::vector<FieldProblem> missing =
      MissingRequiredFields(row.command, visit.posted, options_.settings_path);
  if (!missing.empty()) {
    reply.command = std::string(row.command);
    reply.result = "refused";
    std::string error = "<ul class=\"kv-problems\">";
    std::vector<std::string> fields;
    for (const FieldProblem& problem : missing) {
      error += "<li>";
      AppendHtml(&error, problem.message);
      error += "</li>";
      fields.push_back(problem.field);
    }
    error += "</ul>";
    return ShowPostedFromPage(session, visit, std::move(error),
                              std::move(reply), std::move(fields));
  }
  std::string form_id = FirstValue(visit.posted, kFormIdField);
  FormClaim claim = state_.ClaimForm(session.id, form_id);
  if (claim.kind == FormClaim::kReplay) {
    // The same form posted again (a double click, a retry after a lost
    // answer): it stored what it had to the first time.
    reply.command = std::string(row.command);
    reply.result = "replayed";
    if (!claim.notice.text.empty()) {
      state_.SetNotice(session.id, claim.notice);
    }
    return Redirect(std::move(claim.location), std::move(reply));
  }
  ClaimedForm held(&state_, session.id, form_id, claim.kind == FormClaim::kRun);
  // A request save registers a new request when its number is not
  // outstanding; the audit trail then names the number it got.
  int32_t logged_before = 0;
  if (row.command == "SAVE REQUEST") {
    logged_before =
        LastRequestLoggedBy(options_.settings_path, session.user_id);
  }
  EngineResult result = RunButton(session, button, visit.posted, &reply);

  if (row.effect == Effect::kLogout) {
    // The engine has removed every login entry of the user, so every
    // session of his ends with it.
    sessions_.EndUser(session.user_id);
    reply.set_cookies.push_back(Cookie(kSessionCookie, "", true));
    std::string fragment = result.html.empty()
                               ? StartupFragment(session.user_id)
                               : std::move(result.html);
    return LoginPage(visit, std::move(reply), std::move(fragment), "",
                     "You have logged out.");
  }
  bool shown = result.ok && !result.html.empty();
  std::string location = shown ? AddressAfter(button, visit.posted) : "";
  if (location.empty()) {
    if (shown) {
      return ShowNewPage(session, std::move(result.html), "", std::move(reply));
    }
    return ShowFailure(session, visit, result, std::move(reply));
  }
  int32_t new_request_no = 0;
  if (row.command == "SAVE REQUEST") {
    int32_t last = LastRequestLoggedBy(options_.settings_path, session.user_id);
    if (last != logged_before) new_request_no = last;
  }
  Notice notice;
  if (auto said = NoticeAfter(button, visit.posted, new_request_no)) {
    notice = std::move(*said);
    state_.SetNotice(session.id, notice);
  }
  held.Finish(location, std::move(notice));
  return Redirect(std::move(location), std::move(reply));
}

Reply HelpDeskFront::Redirect(std::string location, Reply reply) {
  reply.status = 303;
  reply.body =
      RenderProblemPage("Done", "The help desk moves on to the next page.");
  reply.location = std::move(location);
  return reply;
}

Reply HelpDeskFront::LoginAttempt(const Visit& visit,
                                  const SessionView* current, Reply reply) {
  std::string user_id = visit.posted.Get("txtUserId");
  reply.command = "LOGIN";
  // Room for the session comes first: a login that could not be kept must
  // not run, nor count as a guess.
  SessionStore::Place place = sessions_.Reserve(user_id);
  if (place == SessionStore::Place::kNone) {
    reply.status = 503;
    reply.result = "refused";
    reply.retry_after = "60";
    return LoginPage(visit, std::move(reply), StartupFragment(user_id),
                     "The help desk has too many people signed in; try "
                     "again in a few minutes.",
                     "");
  }
  if (auto wait = throttle_.Begin(user_id, visit.address)) {
    sessions_.Release(place);
    long long seconds = (wait->count() + 999) / 1000;
    reply.status = 429;
    reply.result = "throttled";
    reply.retry_after = std::to_string(seconds);
    std::string error =
        "Too many failed logins. Wait " + std::to_string(seconds) +
        (seconds == 1 ? " second" : " seconds") + ", then try again.";
    return LoginPage(visit, std::move(reply), StartupFragment(user_id),
                     std::move(error), "");
  }

  std::shared_lock gate(login_gate_);
  Variant form = Variant::Form(
      std::make_shared<const SubmittedForm>(EngineForm(visit.posted, nullptr)));
  // Should the login throw, its place and its turn are given back.
  bool settled = false;
  OnExit give_back([&] {
    if (settled) return;
    sessions_.Release(place);
    throttle_.Abandoned(user_id, visit.address);
  });
  EngineResult result = Run("LOGIN", std::move(form), Variant());
  settled = true;
  // UserId is set by a successful login only; the list that follows it may
  // still fail, and then the user is signed in and sees why.
  if (result.user_id.empty()) {
    sessions_.Release(place);
    throttle_.Failed(user_id, visit.address);
    reply.result = "failed";
    // Whether the id exists, has a password or a profile is the operator's
    // business, not the visitor's.
    reply.error = LoggedMessage(result.error, DbPath());
    return LoginPage(visit, std::move(reply), StartupFragment(user_id),
                     kLoginFailedMessage, "");
  }
  bool needs_code = false;
  Status s = NeedsCode(result.user_id, &needs_code);
  if (!s.ok() || needs_code) {
    // The password was right, so it is no failed guess; the code that must
    // follow takes a turn of its own, and the session a place of its own.
    sessions_.Release(place);
    throttle_.Abandoned(user_id, visit.address);
    return AskForCode(visit, result, std::move(s), std::move(gate),
                      std::move(reply));
  }
  throttle_.Succeeded(user_id, visit.address);
  // A new session id at every login: an id someone planted or saw before
  // the login is worth nothing after it.
  if (current != nullptr) sessions_.End(current->id);
  SessionView session =
      sessions_.Create(place, result.user_id, result.personnel_name);
  reply.set_cookies.push_back(Cookie(kSessionCookie, session.id, false));
  reply.user = session.user_id;
  reply.result = result.ok ? "ok" : "failed";
  if (result.ok && !result.html.empty()) return Redirect("/", std::move(reply));
  return ShowFailure(session, visit, result, std::move(reply));
}

Reply HelpDeskFront::LoginPage(const Visit& visit, Reply reply,
                               std::string fragment, std::string error_html,
                               std::string notice) {
  std::string nonce = visit.browser_cookie;
  if (nonce.empty()) {
    nonce = NewSecret();
    reply.set_cookies.push_back(Cookie(kBrowserCookie, nonce, false));
  }
  if (reply.command == "-") {
    reply.command = "STARTUP";
    reply.result = "ok";
  }
  PageView view;
  view.fragment = std::move(fragment);
  view.token = BrowserToken(secret_, nonce);
  view.error_html = std::move(error_html);
  view.notice = std::move(notice);
  return Render(std::move(view), std::move(reply));
}

Reply HelpDeskFront::UnknownButton(const SessionView& session,
                                   std::string_view caption, const Visit& visit,
                                   Reply reply) {
  reply.status = 400;
  reply.result = "refused";
  std::string error;
  if (caption.empty()) {
    error = "No command was sent with the form.";
  } else {
    error = "The help desk has no command &quot;";
    AppendHtml(&error, caption);
    error += "&quot;.";
  }
  return ShowPostedFromPage(session, visit, std::move(error), std::move(reply));
}

Reply HelpDeskFront::Forbidden(Reply reply) {
  reply.status = 403;
  reply.result = "refused";
  reply.body = RenderProblemPage(
      "This form has expired",
      "The form did not carry this session's security token, so nothing was "
      "done. This happens when a page was open from an earlier session or "
      "came from another site. Go back to the help desk and try again.");
  return reply;
}

Reply HelpDeskFront::ShowNewPage(const SessionView& session,
                                 std::string fragment, std::string form_id,
                                 Reply reply) {
  PageView view;
  view.form_id = std::move(form_id);
  if (auto notice = state_.TakeNotice(session.id)) {
    view.notice = std::move(notice->text);
    view.notice_link_href = std::move(notice->link_href);
    view.notice_link_text = std::move(notice->link_text);
  }
  view.page_number = sessions_.KeepPage(session.id, fragment);
  view.fragment = std::move(fragment);
  view.token = session.token;
  view.signed_in_as = SignedInAs(session);
  return Render(std::move(view), std::move(reply));
}

Reply HelpDeskFront::ShowPostedFromPage(
    const SessionView& session, const Visit& visit, std::string error_html,
    Reply reply, std::vector<std::string> invalid_fields) {
  uint64_t posted_from = PostedPageNumber(visit.posted);
  PageView view;
  view.invalid_fields = std::move(invalid_fields);
  view.token = session.token;
  view.signed_in_as = SignedInAs(session);
  // The visitor learns neither where the database lies nor the query,
  // whatever a plain error left of the engine's words.
  std::string db_path = DbPath();
  if (!reply.error.empty()) reply.error = LoggedMessage(reply.error, db_path);
  view.error_html = ShownMessage(error_html, db_path);
  if (auto kept = sessions_.Page(session.id, posted_from)) {
    view.fragment = std::move(kept->fragment);
    view.page_number = kept->number;
    // His values belong on the page he typed them into, on no other.
    if (kept->number == posted_from) {
      view.refill = RefillFields(visit.posted);
      view.form_id = FirstValue(visit.posted, kFormIdField);
    }
  } else {
    view.fragment = kFallbackFragment;
  }
  return Render(std::move(view), std::move(reply));
}

Reply HelpDeskFront::ShowFailure(const SessionView& session, const Visit& visit,
                                 const EngineResult& result, Reply reply) {
  reply.error = LoggedError(result.error);
  if (result.error.empty()) {
    return ShowPostedFromPage(session, visit, ErrorOrGeneric(""),
                              std::move(reply));
  }
  PlainError plain = PlainErrorOf(result.error, visit.posted,
                                  Captions(options_.settings_path));
  return ShowPostedFromPage(session, visit, EscapeHtml(plain.text),
                            std::move(reply), std::move(plain.fields));
}

void HelpDeskFront::Enhance(const SessionView& session,
                            std::string_view caption, std::string* fragment) {
  if (EqualsIgnoringCase(caption, "Register New Request")) {
    // Most requests are taken by the person who registers them.
    PreselectOption(fragment, "Personnel", session.personnel_name);
    PreselectOption(fragment, "WorkGroup",
                    LookupValue(options_.settings_path, "Personnel",
                                session.personnel_name, 1));
  } else if (caption.starts_with("*")) {
    MakeInputsReadOnly(fragment);
  } else if (EqualsIgnoringCase(caption, "Search Inventory Now") ||
             EqualsIgnoringCase(caption, "Search Solutions Now")) {
    RemoveQueryEcho(fragment);
    ShowItemIds(fragment);
    if (IsEmptyResult(*fragment)) {
      state_.SetNotice(session.id,
                       Notice{"Nothing matches these criteria. Fewer or "
                              "shorter ones find more.",
                              "", ""});
    }
  }
}

Reply HelpDeskFront::Render(PageView view, Reply reply) {
  Captions captions(options_.settings_path);
  view.captions = &captions;
  view.now = options_.clock->Moment();
  reply.body = RenderPage(view);
  return reply;
}

HelpDeskFront::EngineResult HelpDeskFront::Run(std::string_view command,
                                               Variant p1, Variant p2) {
  EngineSlot slot(&engine_slots_);
  // A new session object per call: the engine keeps nothing between calls
  // that matters, and an object must not serve two threads at once.
  KIRVSession session(options_.settings_path);
  Variant command_value{std::string(command)};
  Variant p3;
  if (options_.observe_call) {
    options_.observe_call(EngineCall{std::string(command), &p1, &p2});
  }
  EngineResult result;
  result.ok = session.RunCommand(command_value, p1, p2, p3);
  result.html = session.HTMLString().ToText();
  result.error = session.ErrorDescription().ToText();
  result.user_id = session.UserId().ToText();
  result.personnel_name = session.PersonnelName().ToText();
  return result;
}

std::string HelpDeskFront::StartupFragment(std::string_view user_id) {
  return Run("STARTUP", Variant(std::string(user_id)), Variant()).html;
}

void HelpDeskFront::Sweep() {
  throttle_.Sweep();
  std::unique_lock gate(login_gate_);
  for (const std::string& user : sessions_.Sweep()) LogOutIfUnused(user);
  for (const std::string& user : second_factor_.Sweep()) LogOutIfUnused(user);
}

std::string HelpDeskFront::Cookie(std::string_view name, std::string_view value,
                                  bool expire) const {
  std::string cookie(name);
  cookie += '=';
  cookie += value;
  cookie += "; Path=/; HttpOnly; SameSite=Strict";
  if (options_.secure_cookies) cookie += "; Secure";
  if (expire) cookie += "; Max-Age=0";
  return cookie;
}

}  // namespace kirvs::web
