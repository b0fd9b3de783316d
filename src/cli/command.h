// The sub-commands of lumenard-cli. Each lives in a file of its own and registers itself:
//
//   static int RunInfo(const CliArgs& args);
//   LUMENARD_CLI_COMMAND(info, "info PATH", "show what the drive or image is", RunInfo);
//
// A command prints its results on standard output (UTF-8) and its errors on standard error,
// and returns one of the exit codes below. When it returns kExitUsage the program prints the
// command's usage line after the command's own message.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
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
  // Further lines for "help COMMAND" (options, examples); may be null.
  const char* details = nullptr;
};

// Called by the registration objects at start-up; the table lives in command.cpp. False (and
// the first registration kept) when the name is taken or the entry is incomplete.
bool RegisterCliCommand(const CliCommand& command);
// Sorted by name.
const std::vector<CliCommand>& CliCommands();
const CliCommand* FindCliCommand(std::string_view name);

#define LUMENARD_CLI_COMMAND(id, usage, summary, function) \
  static const bool lumenard_cli_registered_##id = RegisterCliCommand({#id, usage, summary, function})
#define LUMENARD_CLI_COMMAND_WITH_DETAILS(id, usage, summary, details, function) \
  static const bool lumenard_cli_registered_##id =                             \
      RegisterCliCommand({#id, usage, summary, function, details})

// The whole command line after the program name: --help, --version, "help COMMAND", or a
// command and its words. The program's own help goes to out, usage errors to err.
int RunCommandLine(const CliArgs& words, std::ostream& out, std::ostream& err);

// Helpers for commands: "lumenard-cli: MESSAGE" on standard error, and the matching exit code.
int CliFailure(std::string_view message);
int CliUsageError(std::string_view message);

// The options and plain words of a command. Options are "--name", "--name VALUE" or
// "--name=VALUE"; "--" ends the options; any other word is positional.
class CliOptions {
 public:
  // flags take no value, valued options take one; any other option is an error.
  CliOptions(const CliArgs& args, std::initializer_list<std::string_view> flags,
             std::initializer_list<std::string_view> valued = {});

  bool ok() const { return error_.empty(); }
  // "unknown option '--x'", "option '--out' needs a value", ...
  const std::string& error() const { return error_; }

  bool Has(std::string_view name) const;
  // The last value given for the option.
  std::optional<std::string> Value(std::string_view name) const;
  // Every value given for the option, in order.
  std::vector<std::string> Values(std::string_view name) const;
  const std::vector<std::string>& Positional() const { return positional_; }

 private:
  std::vector<std::pair<std::string, std::string>> given_;
  std::vector<std::string> positional_;
  std::string error_;
};

// A decimal count, or hexadecimal with "0x"; nothing when the text is not a number or does not
// fit in 64 bits.
std::optional<uint64_t> ParseCliNumber(std::string_view text);
