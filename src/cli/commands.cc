#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "cli/copy_command.h"
#include "cli/init_command.h"
#include "cli/run_command.h"
#include "cli/upgrade_command.h"
#include "cli/user_command.h"
#include "platform/settings_file.h"
#include "web/options/serve_options.h"
#include "web/serve.h"

namespace kirvs {

int RunMain(int argc, char** argv) {
  CLI::App app{"kirvs: the help-desk engine and its tools"};
  app.require_subcommand(1);

  InitOptions init;
  CLI::App* init_command = app.add_subcommand(
      "init", "Create a help desk (database and KIRVS.INI) in a folder");
  init_command->add_option("DIR", init.dir, "The folder")->required();
  init_command->add_flag("--demo", init.demo,
                         "Fill the database with a demo help desk");
  init_command->add_flag("--force", init.force, "Replace existing files");
  init_command->add_option(
      "--database", init.database,
      "A PostgreSQL URI (postgresql://user@host:port/db): make the tables "
      "there instead of in DIR/helpdesk.db");
  init_command
      ->add_option("--scale", init.scale,
                   "Multiply the demo data (for benchmarks)")
      ->check(CLI::Range(1, 1000000));

  std::string ini;
  std::string input_path;
  CLI::App* run_command = app.add_subcommand(
      "run", "Run RunCommand calls given as JSON on one session object");
  run_command->add_option(
      "--ini", ini,
      "The settings file (default: $KIRVS_INI, else ./KIRVS.INI)");
  run_command->add_option("--input", input_path,
                          "Read the calls from this file instead of stdin");
  run_command->footer(
      "Input:  {\"calls\": [{\"command\": \"Login\", \"params\": "
      "[{\"form\": [[\"txtUserId\", \"ann\"], [\"txtPassword\", \"pw\"]]}]}]}\n"
      "        parameters: string, number, true/false, null, "
      "{\"date\": \"...\"}, {\"form\": [[name, value], ...]}\n"
      "Output: {\"results\": [{\"result\": ..., \"CommandString\": ..., "
      "\"CommandParam1..3\": ..., \"HTMLString\": ..., "
      "\"ErrorDescription\": ..., \"UserId\": ..., \"PersonnelName\": ..., "
      "\"RequestNo\": 0}]}\n"
      "Exit codes: 0 the calls ran, 1 the input file cannot be read, "
      "2 the input is not JSON of this shape.");

  web::ServeOptions serve;
  std::string serve_dir;
  int idle_minutes = 30;
  CLI::App* serve_command = app.add_subcommand(
      "serve",
      "Serve a help desk in the browser until Ctrl-C (SIGINT) or SIGTERM");
  serve_command
      ->add_option("DIR", serve_dir,
                   "The help desk's folder (its KIRVS.INI); a folder without "
                   "one first gets a demo help desk (init --demo)")
      ->required();
  serve_command->add_option("--host", serve.host, "The address to listen on")
      ->capture_default_str();
  serve_command->add_option("--port", serve.port, "The port (0: any free one)")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535));
  serve_command
      ->add_option("--threads", serve.threads,
                   "Engine calls run at once (each open connection also "
                   "gets a thread of its own, to wait for its client)")
      ->capture_default_str()
      ->check(CLI::Range(1, 1024));
  serve_command
      ->add_option("--max-connections-per-address",
                   serve.max_connections_per_address,
                   "Connections one client address may hold open at once "
                   "(0: no limit; behind a proxy, all come from its address)")
      ->capture_default_str();
  serve_command
      ->add_option("--idle-minutes", idle_minutes,
                   "A signed-in session without requests ends after this long")
      ->capture_default_str()
      ->check(CLI::Range(1, 7 * 24 * 60));
  serve_command->add_flag("--secure-cookies", serve.secure_cookies,
                          "Mark cookies Secure (behind an HTTPS proxy)");
  serve_command->footer(
      "Prints the address (and the demo logins of a demo help desk), then one "
      "access-log line per request on stderr.");

  UserOptions user;
  CLI::App* user_command = AddUserCommand(&app, &user);

  std::string upgrade_ini;
  CLI::App* upgrade_command = app.add_subcommand(
      "upgrade",
      "Bring a help desk made by an earlier release to the current layout");
  upgrade_command->add_option(
      "--ini", upgrade_ini,
      "The settings file (default: $KIRVS_INI, else ./KIRVS.INI)");
  upgrade_command->footer(
      "Keeps every row and column; makes text compare without regard to "
      "case, hashes passwords stored as plain text and adds what the current "
      "layout has, all in one transaction. Running it again does nothing.");

  CopyOptions copy;
  CLI::App* copy_command = app.add_subcommand(
      "copy", "Copy a whole help desk into another database (either store)");
  copy_command
      ->add_option("FROM", copy.from,
                   "The help desk: its folder, a postgresql:// URI or an "
                   "SQLite file")
      ->required();
  copy_command
      ->add_option("TO", copy.to,
                   "The target: a folder (its KIRVS.INI's DBPath), a "
                   "postgresql:// URI or an SQLite file (made when missing)")
      ->required();
  copy_command->add_flag("--force", copy.force,
                         "Replace the help desk's tables in the target");
  copy_command->footer(
      "Copies every table of the help desk with its rows and counters into "
      "the target's own schema, in one transaction (a failure leaves the "
      "target as it was), and prints the rows of each table. Writes no "
      "settings: point DBPath at the target afterwards.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }

  if (*init_command) return RunInit(init, std::cout, std::cerr);
  if (*user_command) return RunUser(user, std::cin, std::cout, std::cerr);
  if (*upgrade_command) return RunUpgrade(upgrade_ini, std::cout, std::cerr);
  if (*copy_command) return RunCopy(copy, std::cout, std::cerr);
  if (*serve_command) {
    namespace fs = std::filesystem;
    fs::path settings = fs::path(serve_dir) / kSettingsFileName;
    if (!fs::exists(settings)) {
      InitOptions demo;
      demo.dir = serve_dir;
      demo.demo = true;
      int code = RunInit(demo, std::cout, std::cerr);
      if (code != kExitOk) return code;
    }
    serve.settings_path = fs::weakly_canonical(fs::absolute(settings)).string();
    serve.idle_timeout = std::chrono::minutes(idle_minutes);
    return web::Serve(serve, std::cout, std::cerr);
  }
  if (ini.empty()) ini = DefaultSettingsPath();
  if (!input_path.empty()) {
    std::ifstream file(input_path);
    if (!file) {
      std::cerr << "kirvs run: cannot read " << input_path << "\n";
      return kExitFailure;
    }
    return RunCalls(file, std::cout, std::cerr, ini);
  }
  return RunCalls(std::cin, std::cout, std::cerr, ini);
}

}  // namespace kirvs
