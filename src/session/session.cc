#include "kirvs/session.h"

#include <exception>

#include "platform/settings_file.h"
#include "platform/utf8.h"
#include "session/command_table.h"

namespace kirvs {

KIRVSession::KIRVSession() : KIRVSession(DefaultSettingsPath()) {}

KIRVSession::KIRVSession(std::string settings_path)
    : state_(std::make_unique<SessionState>(std::move(settings_path))) {}

KIRVSession::~KIRVSession() = default;

namespace {

// Runs one step and stores its result in the status flag; a step from which
// an error escaped leaves the flag as it was.
void RunStep(CommandStep step, CommandCall& call) {
  std::optional<bool> result = step(call);
  if (result.has_value()) call.session->status = *result;
}

}  // namespace

bool KIRVSession::RunCommand(Variant& command, Variant& p1, Variant& p2,
                             Variant& /*p3: never read*/) {
  try {
    // A command of any other kind (a number, a Boolean) is looked up by its
    // text form; only null is no command at all.
    if (command.IsNull()) return state_->status;
    command = Variant(Utf8ToUpper(command.ToText()));
    const std::string command_text = command.text();
    const CommandRow* row = FindCommand(command_text);
    if (row == nullptr) return state_->status;
    CommandCall call{state_.get(), &p1, &p2, command_text};
    RunStep(row->handler, call);
    if (row->follow_up != nullptr &&
        (row->follow_up_always || state_->status)) {
      RunStep(row->follow_up, call);
    }
  } catch (const std::exception& e) {
    // Only resource exhaustion can get here; the command is abandoned as an
    // escaped error is, and the caller is told what happened.
    state_->error_text =
        std::string("The command could not be completed (") + e.what() + ").";
  }
  return state_->status;
}

Variant KIRVSession::UserId() const { return Variant(state_->user_id); }
Variant KIRVSession::HTMLString() const { return Variant(state_->page_text); }
// No command sets the request number: a page carries its request in its
// own fields, so the property always reads 0.
Variant KIRVSession::RequestNo() const { return Variant::Integer(0); }
Variant KIRVSession::PersonnelName() const {
  return Variant(state_->personnel_name);
}
Variant KIRVSession::ErrorDescription() const {
  return Variant(state_->error_text);
}

}  // namespace kirvs
