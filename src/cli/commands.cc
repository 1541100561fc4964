#include "cli/commands.h"

#include <fstream>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/init_command.h"
#include "cli/run_command.h"
#include "platform/settings_file.h"

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

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }

  if (*init_command) return RunInit(init, std::cout, std::cerr);
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
