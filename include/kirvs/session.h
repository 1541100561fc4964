// KIRVSession: one help-desk session object. A front (the web server, the
// command-line tool) creates one, calls RunCommand with the caption of the
// button the user clicked and the posted form, and then reads HTMLString (the
// page fragment to show) or ErrorDescription (what went wrong).
//
// Thread safety: a session object is used by one thread at a time; separate
// objects may run at once and meet only in the settings file and the
// database.

#ifndef KIRVS_INCLUDE_KIRVS_SESSION_H_
#define KIRVS_INCLUDE_KIRVS_SESSION_H_

#include <cstdint>
#include <memory>
#include <string>

#include "kirvs/submitted_form.h"
#include "kirvs/variant.h"

namespace kirvs {

struct SessionState;

class KIRVSession {
 public:
  // A session that reads the settings file named by the environment variable
  // KIRVS_INI, else KIRVS.INI in the working directory.
  KIRVSession();
  // A session that reads the settings file at `settings_path`.
  explicit KIRVSession(std::string settings_path);
  ~KIRVSession();
  KIRVSession(const KIRVSession&) = delete;
  KIRVSession& operator=(const KIRVSession&) = delete;

  // Runs one command. `command` is replaced by its text form in upper case
  // (a number or Boolean too; null stays null and runs nothing); after a
  // successful "LOGIN", `p1` is replaced by the personnel name. `p3` is never
  // read. Returns the status flag that the command's handlers left (for an
  // unknown command, the flag of the previous command). Never throws.
  bool RunCommand(Variant& command, Variant& p1, Variant& p2, Variant& p3);

  // The user id of the last successful login on this object.
  Variant UserId() const;
  // The page fragment of the last command that produced one.
  Variant HTMLString() const;
  // No command sets it: always 0.
  Variant RequestNo() const;
  // The personnel name found at the last successful login check.
  Variant PersonnelName() const;
  // The error text (or trace text) left by the last command.
  Variant ErrorDescription() const;

 private:
  std::unique_ptr<SessionState> state_;
};

}  // namespace kirvs

#endif  // KIRVS_INCLUDE_KIRVS_SESSION_H_
