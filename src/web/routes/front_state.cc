#include "web/routes/front_state.h"

#include <utility>

#include "data/settings.h"
#include "data/web_forms.h"
#include "data/web_sessions.h"
#include "web/identity/csrf.h"

namespace kirvs::web {

namespace {

StoredNotice ToStored(const Notice& notice) {
  return StoredNotice{notice.text, notice.link_href, notice.link_text};
}

Notice FromStored(StoredNotice notice) {
  return Notice{std::move(notice.text), std::move(notice.link_href),
                std::move(notice.link_text)};
}

}  // namespace

FrontState::FrontState(const ServeOptions& options)
    : options_(options),
      db_path_(ReadSetting(options.settings_path, "DBPath")) {}

void FrontState::SetNotice(std::string_view session_id, const Notice& notice) {
  // A notice that could not be kept is not shown; what it tells of is done.
  (void)SetWebNotice(db_path_, session_id, ToStored(notice));
}

std::optional<Notice> FrontState::TakeNotice(std::string_view session_id) {
  std::optional<StoredNotice> stored;
  if (!TakeWebNotice(db_path_, session_id, &stored).ok() || !stored) {
    return std::nullopt;
  }
  return FromStored(std::move(*stored));
}

void FrontState::SetOrder(std::string_view session_id, const ListOrder& order,
                          ListKind list) {
  // An order that could not be kept leaves the list in its former order.
  (void)SetWebOrder(db_path_, session_id, list, order.column, order.descending);
}

std::string FrontState::IssueFormId(std::string_view session_id) {
  std::string id = RandomHex(16);
  // An id that could not be stored is unknown when its form is posted: the
  // post runs as one without an id would.
  (void)IssueWebForm(db_path_, session_id, id, kFormIds);
  return id;
}

FormClaim FrontState::ClaimForm(std::string_view session_id,
                                std::string_view form_id) {
  for (;;) {
    SteadyClock::TimePoint now = options_.clock->Now();
    bool claimed = false;
    StoredForm found;
    if (!ClaimWebForm(db_path_, session_id, form_id, ToMillis(now),
                      ToMillis(now - kAbandonedPost), &claimed, &found)
             .ok()) {
      return FormClaim{};
    }
    if (claimed) return FormClaim{FormClaim::kRun, "", {}};
    switch (found.state) {
      case StoredForm::kUsed:
        return FormClaim{FormClaim::kReplay, std::move(found.location),
                         FromStored(std::move(found.notice))};
      case StoredForm::kBusy:
        // A double click sends the second post while the first still runs:
        // it waits for the first, so that only one of them stores anything.
        {
          std::unique_lock lock(mu_);
          form_done_.wait_for(lock, std::chrono::milliseconds(50));
        }
        break;
      case StoredForm::kIssued:  // released between the two reads
        break;
      case StoredForm::kMissing:
        return FormClaim{};
    }
  }
}

void FrontState::FinishForm(std::string_view session_id,
                            std::string_view form_id, std::string location,
                            Notice notice) {
  // A post whose end could not be written stays busy until kAbandonedPost,
  // after which the id runs again.
  (void)FinishWebForm(db_path_, session_id, form_id, location,
                      ToStored(notice));
  form_done_.notify_all();
}

void FrontState::ReleaseForm(std::string_view session_id,
                             std::string_view form_id) {
  // As for FinishForm.
  (void)ReleaseWebForm(db_path_, session_id, form_id);
  form_done_.notify_all();
}

ClaimedForm::ClaimedForm(FrontState* state, std::string session_id,
                         std::string form_id, bool claimed)
    : state_(state),
      session_id_(std::move(session_id)),
      form_id_(std::move(form_id)),
      claimed_(claimed) {}

ClaimedForm::~ClaimedForm() {
  if (claimed_) state_->ReleaseForm(session_id_, form_id_);
}

void ClaimedForm::Finish(std::string location, Notice notice) {
  if (!claimed_) return;
  claimed_ = false;
  state_->FinishForm(session_id_, form_id_, std::move(location),
                     std::move(notice));
}

}  // namespace kirvs::web
