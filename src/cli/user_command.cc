#include "cli/user_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>
#include <vector>

#include "cli/password_prompt.h"
#include "cli/qr_code.h"
#include "cli/run_command.h"
#include "data/accounts.h"
#include "data/second_factor.h"
#include "data/settings.h"
#include "platform/settings_file.h"

namespace kirvs {

namespace {

constexpr char kIniHelp[] =
    "The settings file (default: $KIRVS_INI, else ./KIRVS.INI)";

CLI::App* AddAction(CLI::App* user, UserOptions* options, std::string name,
                    std::string description) {
  CLI::App* action = user->add_subcommand(name, description);
  action->add_option("--ini", options->ini, kIniHelp);
  action->callback([options, name] { options->action = name; });
  return action;
}

void AddUserId(CLI::App* action, UserOptions* options) {
  action->add_option("USERID", options->user_id, "The user id")->required();
}

void AddPasswordStdin(CLI::App* action, UserOptions* options) {
  action->add_flag("--password-stdin", options->password_stdin,
                   "Read the password as one line of standard input instead "
                   "of asking twice on the terminal");
}

Status NewPassword(const UserOptions& options, std::istream& input,
                   std::string* password) {
  Status s = options.password_stdin ? ReadPasswordLine(input, password)
                                    : AskNewPassword(options.user_id, password);
  if (s.ok()) s = CheckPasswordText(*password);
  return s;
}

Status Add(const std::string& db_path, const UserOptions& options,
           std::istream& input, std::ostream& output) {
  if (options.person.empty()) {
    return Status::InvalidArgument("--person NAME is required");
  }
  // Checked before the password is asked for, so that nobody types a
  // password twice for an account that cannot be made.
  NewAccount account{options.user_id, options.person, options.work_group, ""};
  Status s = CheckNewAccount(db_path, account);
  if (s.ok()) s = NewPassword(options, input, &account.password);
  if (s.ok()) s = AddAccount(db_path, account);
  if (s.ok()) {
    output << "Added user " << options.user_id << " (" << options.person
           << (options.work_group.empty() ? "" : ", " + options.work_group)
           << ").\n";
  }
  return s;
}

Status Passwd(const std::string& db_path, const UserOptions& options,
              std::istream& input, std::ostream& output) {
  std::string password;
  Status s = FindAccount(db_path, options.user_id);
  if (s.ok()) s = NewPassword(options, input, &password);
  if (s.ok()) s = SetAccountPassword(db_path, options.user_id, password);
  if (s.ok()) output << "Changed the password of " << options.user_id << ".\n";
  return s;
}

Status Remove(const std::string& db_path, const UserOptions& options,
              std::ostream& output) {
  std::vector<std::string> profiles;
  Status s =
      RemoveAccount(db_path, options.user_id, options.with_profile, &profiles);
  if (!s.ok()) return s;
  output << "Removed user " << options.user_id;
  if (!options.with_profile) {
    output << "; the personnel profile stays";
  } else if (!profiles.empty()) {
    output << " and the personnel profile";
    for (size_t i = 0; i < profiles.size(); ++i) {
      output << (i == 0 ? " " : ", ") << profiles[i];
    }
  }
  output << ".\n";
  return s;
}

// The width of UTF-8 text in characters, for lining up columns.
size_t Width(const std::string& text) {
  return std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  });
}

Status List(const std::string& db_path, std::ostream& output) {
  std::vector<AccountSummary> accounts;
  Status s = ListAccounts(db_path, &accounts);
  if (!s.ok()) return s;
  std::vector<std::vector<std::string>> rows = {
      {"USER ID", "PERSON", "WORK GROUP", "PASSWORD", "SECOND FACTOR",
       "LAST LOGIN"}};
  for (const AccountSummary& account : accounts) {
    rows.push_back({account.user_id, account.person, account.work_group,
                    account.has_password ? "set" : "none",
                    account.has_second_factor ? "set" : "none",
                    account.last_login.empty() ? "never" : account.last_login});
  }
  std::vector<size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], Width(row[i]));
    }
  }
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size())
        line += std::string(widths[i] - Width(row[i]) + 2, ' ');
    }
    output << line << "\n";
  }
  return s;
}

Status Totp(const std::string& db_path, const UserOptions& options,
            std::ostream& output) {
  if (options.off) {
    bool removed = false;
    Status s = RemoveSecondFactor(db_path, options.user_id, &removed);
    if (s.ok()) {
      output << (removed ? "Removed the second factor of "
                         : "There was no second factor for ")
             << options.user_id << ".\n";
    }
    return s;
  }
  std::string secret;
  Status s = EnrolSecondFactor(db_path, options.user_id, &secret);
  if (!s.ok()) return s;
  const std::string uri = SecondFactorUri(options.user_id, secret);
  output << "Second factor of " << options.user_id
         << " set (an earlier one no longer works).\n"
         << "Scan this code with an authenticator app, or enter the secret "
         << secret << " by hand:\n\n"
         << QrCodeText(uri) << "\n"
         << uri << "\n";
  return s;
}

Status RunAction(const std::string& db_path, const UserOptions& options,
                 std::istream& input, std::ostream& output) {
  if (options.action == "add") return Add(db_path, options, input, output);
  if (options.action == "passwd") {
    return Passwd(db_path, options, input, output);
  }
  if (options.action == "remove") return Remove(db_path, options, output);
  if (options.action == "list") return List(db_path, output);
  return Totp(db_path, options, output);
}

}  // namespace

CLI::App* AddUserCommand(CLI::App* app, UserOptions* options) {
  CLI::App* user =
      app->add_subcommand("user", "Add, change, remove and list accounts");
  user->require_subcommand(1);

  CLI::App* add = AddAction(user, options, "add",
                            "Add an account: the user and his personnel "
                            "profile, in one go");
  AddUserId(add, options);
  add->add_option("--person", options->person,
                  "The personnel name (requests are allocated to it)");
  add->add_option("--group", options->work_group, "The work group");
  AddPasswordStdin(add, options);

  CLI::App* passwd =
      AddAction(user, options, "passwd", "Set a new password for a user");
  AddUserId(passwd, options);
  AddPasswordStdin(passwd, options);

  CLI::App* remove = AddAction(
      user, options, "remove",
      "Remove a user, his login entries and second factor; his personnel "
      "profile stays unless --with-profile");
  AddUserId(remove, options);
  remove->add_flag("--with-profile", options->with_profile,
                   "Also remove the personnel profile (refused while "
                   "outstanding requests are allocated to it)");

  AddAction(user, options, "list",
            "List the users: personnel name, work group, whether a password "
            "and a second factor are set, last login");

  CLI::App* totp = AddAction(
      user, options, "totp",
      "Give a user a second factor (an authenticator app's code) and show "
      "its QR code; --off removes it");
  AddUserId(totp, options);
  totp->add_flag("--off", options->off, "Remove the second factor");
  return user;
}

int RunUser(const UserOptions& options, std::istream& input,
            std::ostream& output, std::ostream& errors) {
  const std::string ini =
      options.ini.empty() ? DefaultSettingsPath() : options.ini;
  const std::string db_path = ReadSetting(ini, "DBPath");
  // A user id is checked before it is looked up or printed: it could hold
  // bytes that a terminal takes for commands.
  Status s;
  if (options.action == "add") {
    s = CheckUserIdText(options.user_id);
  } else if (options.action != "list") {
    s = CheckAnyUserIdText(options.user_id);
  }
  if (s.ok() && db_path.empty()) {
    s = Status::NotFound("no DBPath in the settings file " + ini);
  }
  if (s.ok()) s = RunAction(db_path, options, input, output);
  if (s.ok()) return kExitOk;
  errors << "kirvs user " << options.action << ": " << s.message() << "\n";
  return kExitFailure;
}

}  // namespace kirvs
