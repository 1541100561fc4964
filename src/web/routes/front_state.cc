#include "web/routes/front_state.h"

#include <utility>

#include "platform/ascii.h"
#include "web/identity/csrf.h"

namespace kirvs::web {

FrontState::FrontState(const ServeOptions& options) : options_(options) {}

FrontState::Entry& FrontState::Touch(std::string_view session_id,
                                     std::string_view user_id) {
  Entry& entry = entries_[std::string(session_id)];
  if (!user_id.empty()) entry.user_id = std::string(user_id);
  entry.last_seen = options_.clock->Now();
  return entry;
}

void FrontState::SetNotice(std::string_view session_id,
                           std::string_view user_id, Notice notice) {
  std::lock_guard lock(mu_);
  Touch(session_id, user_id).notice = std::move(notice);
}

std::optional<Notice> FrontState::TakeNotice(std::string_view session_id) {
  std::lock_guard lock(mu_);
  auto it = entries_.find(std::string(session_id));
  if (it == entries_.end()) return std::nullopt;
  it->second.last_seen = options_.clock->Now();
  return std::exchange(it->second.notice, std::nullopt);
}

void FrontState::SetOrder(std::string_view session_id, std::string_view user_id,
                          ListOrder order, ListKind list) {
  std::lock_guard lock(mu_);
  Touch(session_id, user_id).orders[static_cast<int>(list)] = std::move(order);
}

ListOrder FrontState::Order(std::string_view session_id, ListKind list) const {
  std::lock_guard lock(mu_);
  auto it = entries_.find(std::string(session_id));
  return it == entries_.end() ? ListOrder()
                              : it->second.orders[static_cast<int>(list)];
}

std::string FrontState::IssueFormId(std::string_view session_id,
                                    std::string_view user_id) {
  std::string id = RandomHex(16);
  std::lock_guard lock(mu_);
  std::deque<FormId>& forms = Touch(session_id, user_id).forms;
  FormId form;
  form.id = id;
  forms.push_back(std::move(form));
  // The oldest ids go first, but never one whose post is running.
  while (forms.size() > kFormIds && !forms.front().busy) forms.pop_front();
  return id;
}

FrontState::FormId* FrontState::FindForm(std::string_view session_id,
                                         std::string_view form_id) {
  auto it = entries_.find(std::string(session_id));
  if (it == entries_.end() || form_id.empty()) return nullptr;
  for (FormId& form : it->second.forms) {
    if (form.id == form_id) return &form;
  }
  return nullptr;
}

FormClaim FrontState::ClaimForm(std::string_view session_id,
                                std::string_view form_id) {
  std::unique_lock lock(mu_);
  FormId* form = FindForm(session_id, form_id);
  // A double click sends the second post while the first still runs: it
  // waits for the first, so that only one of them stores anything.
  while (form != nullptr && form->busy) {
    form_done_.wait(lock);
    form = FindForm(session_id, form_id);
  }
  if (form == nullptr) return FormClaim{};
  if (form->used) {
    return FormClaim{FormClaim::kReplay, form->location, form->notice};
  }
  form->busy = true;
  return FormClaim{FormClaim::kRun, "", {}};
}

void FrontState::FinishForm(std::string_view session_id,
                            std::string_view form_id, std::string location,
                            Notice notice) {
  {
    std::lock_guard lock(mu_);
    if (FormId* form = FindForm(session_id, form_id)) {
      form->busy = false;
      form->used = true;
      form->location = std::move(location);
      form->notice = std::move(notice);
    }
  }
  form_done_.notify_all();
}

void FrontState::ReleaseForm(std::string_view session_id,
                             std::string_view form_id) {
  {
    std::lock_guard lock(mu_);
    if (FormId* form = FindForm(session_id, form_id)) form->busy = false;
  }
  form_done_.notify_all();
}

void FrontState::EndUser(std::string_view user_id) {
  std::lock_guard lock(mu_);
  std::erase_if(entries_, [&](const auto& item) {
    return EqualsIgnoringCase(item.second.user_id, user_id);
  });
}

void FrontState::Sweep() {
  SteadyClock::TimePoint now = options_.clock->Now();
  std::lock_guard lock(mu_);
  std::erase_if(entries_, [&](const auto& item) {
    bool busy = false;
    for (const FormId& form : item.second.forms) busy = busy || form.busy;
    return !busy && now - item.second.last_seen > options_.idle_timeout;
  });
}

void FrontState::Clear() {
  std::lock_guard lock(mu_);
  std::erase_if(entries_, [](const auto& item) {
    for (const FormId& form : item.second.forms) {
      if (form.busy) return false;
    }
    return true;
  });
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
