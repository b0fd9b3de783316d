// The sub-commands of lumenard-cli. Each lives in a file of its own and registers itself:
//
//   static int RunInfo(const CliArgs& args);
//   LUMENARD_CLI_COMMAND(info, "info PATH", "show what the drive or image is", RunInfo);
#pragma once

#include <string>
#include <vector>

// Exit codes of the command-line program.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The words after the command name, as given (UTF-8).
using CliArgs = std::vector<std::string>;

struct CliCommand {
  const char* name;
  const char* usage;    // "info PATH"
  const char* summary;  // one line for --help
  int (*run)(const CliArgs& args);
};

// Called by the registration objects at start-up; the table lives in command.cpp.
bool RegisterCliCommand(const CliCommand& command);
const std::vector<CliCommand>& CliCommands();

#define LUMENARD_CLI_COMMAND(id, usage, summary, function) \
  static const bool lumenard_cli_registered_##id = RegisterCliCommand({#id, usage, summary, function})
