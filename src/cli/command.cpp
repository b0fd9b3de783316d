// The command table of lumenard-cli and the dispatch of its command line.
#include "cli/command.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <ostream>

#ifndef LUMENARD_VERSION
#define LUMENARD_VERSION "2.0.0"
#endif

namespace {

constexpr const char* kProgram = "lumenard-cli";

// A function-local table: commands register from static objects of other files, whose order of
// construction is not known.
std::vector<CliCommand>& CommandTable() {
  static std::vector<CliCommand> table;
  return table;
}

void PrintProgramUsage(std::ostream& stream) {
  stream << "usage: " << kProgram << " COMMAND [ARGUMENTS...]\n"
         << "       " << kProgram << " help COMMAND\n"
         << "       " << kProgram << " --help | --version\n";
}

void PrintHelp(std::ostream& out) {
  out << "Lumenard " << LUMENARD_VERSION
      << ", command line: finds deleted and lost files on FAT and NTFS drives and drive\n"
         "images and copies them to a safe folder. Drives are only ever read.\n\n";
  PrintProgramUsage(out);
  out << "\ncommands:\n";
  const auto& commands = CliCommands();
  if (commands.empty()) out << "  (none built yet)\n";
  // Summaries line up in a column; a usage too long for it puts its summary on the next line.
  constexpr size_t kMaxColumn = 28;
  size_t width = 0;
  for (const CliCommand& command : commands) {
    size_t length = std::string_view(command.usage).size();
    if (length <= kMaxColumn) width = std::max(width, length);
  }
  for (const CliCommand& command : commands) {
    std::string usage = command.usage;
    if (usage.size() > width)
      usage += "\n  " + std::string(width, ' ');
    else
      usage.resize(width, ' ');
    out << "  " << usage << "  " << command.summary << "\n";
  }
  out << "\nExit codes: 0 success, 1 failure, 2 bad usage.\n";
}

void PrintCommandHelp(const CliCommand& command, std::ostream& out) {
  out << "usage: " << kProgram << " " << command.usage << "\n\n" << command.summary << "\n";
  if (command.details && *command.details) out << "\n" << command.details << "\n";
}

int BadUsage(std::ostream& err, const std::string& message) {
  err << kProgram << ": " << message << "\n";
  PrintProgramUsage(err);
  return kExitUsage;
}

bool IsHelpWord(std::string_view word) { return word == "--help" || word == "-h"; }

int RunHelpCommand(const CliArgs& words, std::ostream& out, std::ostream& err) {
  if (words.size() == 1) {
    PrintHelp(out);
    return kExitSuccess;
  }
  if (words.size() > 2) return BadUsage(err, "help takes one command name");
  const CliCommand* command = FindCliCommand(words[1]);
  if (!command) return BadUsage(err, "unknown command '" + words[1] + "'");
  PrintCommandHelp(*command, out);
  return kExitSuccess;
}

int RunCommand(const CliCommand& command, const CliArgs& args, std::ostream& out,
               std::ostream& err) {
  if (!args.empty() && IsHelpWord(args.front())) {
    PrintCommandHelp(command, out);
    return kExitSuccess;
  }
  int code;
  try {
    code = command.run(args);
  } catch (const std::exception& e) {
    std::cout.flush();
    err << kProgram << ": " << command.name << ": " << e.what() << "\n";
    return kExitFailure;
  } catch (...) {
    std::cout.flush();
    err << kProgram << ": " << command.name << ": unexpected error\n";
    return kExitFailure;
  }
  if (code == kExitUsage) err << "usage: " << kProgram << " " << command.usage << "\n";
  return code;
}

bool IsDigitIn(char c, int base) {
  if (c >= '0' && c <= '9') return true;
  return base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

}  // namespace

bool RegisterCliCommand(const CliCommand& command) {
  if (!command.name || !*command.name || !command.usage || !command.summary || !command.run)
    return false;
  auto& table = CommandTable();
  auto place = std::lower_bound(table.begin(), table.end(), std::string_view(command.name),
                                [](const CliCommand& entry, std::string_view name) {
                                  return std::string_view(entry.name) < name;
                                });
  if (place != table.end() && std::string_view(place->name) == command.name) return false;
  table.insert(place, command);
  return true;
}

const std::vector<CliCommand>& CliCommands() { return CommandTable(); }

const CliCommand* FindCliCommand(std::string_view name) {
  for (const CliCommand& command : CommandTable())
    if (name == command.name) return &command;
  return nullptr;
}

int RunCommandLine(const CliArgs& words, std::ostream& out, std::ostream& err) {
  if (words.empty()) return BadUsage(err, "no command given");
  const std::string& first = words.front();
  if (IsHelpWord(first)) {
    if (words.size() > 1) return RunHelpCommand({"help", words[1]}, out, err);
    PrintHelp(out);
    return kExitSuccess;
  }
  if (first == "--version") {
    out << "Lumenard " << LUMENARD_VERSION << " (" << kProgram << "), Corvane\n";
    return kExitSuccess;
  }
  if (first == "help") return RunHelpCommand(words, out, err);
  if (first.size() > 1 && first[0] == '-') return BadUsage(err, "unknown option '" + first + "'");
  const CliCommand* command = FindCliCommand(first);
  if (!command) return BadUsage(err, "unknown command '" + first + "'");
  return RunCommand(*command, CliArgs(words.begin() + 1, words.end()), out, err);
}

int CliFailure(std::string_view message) {
  std::cout.flush();
  std::cerr << kProgram << ": " << message << "\n";
  return kExitFailure;
}

int CliUsageError(std::string_view message) {
  std::cout.flush();
  std::cerr << kProgram << ": " << message << "\n";
  return kExitUsage;
}

CliOptions::CliOptions(const CliArgs& args, std::initializer_list<std::string_view> flags,
                       std::initializer_list<std::string_view> valued) {
  auto listed = [](std::initializer_list<std::string_view> names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      positional_.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    size_t equals = word.find('=');
    std::string name = word.substr(0, equals);
    if (listed(flags, name)) {
      if (equals != std::string::npos) {
        error_ = "option '" + name + "' takes no value";
        return;
      }
      given_.emplace_back(name, std::string());
    } else if (listed(valued, name)) {
      if (equals != std::string::npos) {
        given_.emplace_back(name, word.substr(equals + 1));
      } else if (i + 1 < args.size()) {
        given_.emplace_back(name, args[++i]);
      } else {
        error_ = "option '" + name + "' needs a value";
        return;
      }
    } else {
      error_ = "unknown option '" + name + "'";
      return;
    }
  }
}

bool CliOptions::Has(std::string_view name) const {
  return std::any_of(given_.begin(), given_.end(),
                     [&](const auto& option) { return option.first == name; });
}

std::optional<std::string> CliOptions::Value(std::string_view name) const {
  for (auto it = given_.rbegin(); it != given_.rend(); ++it)
    if (it->first == name) return it->second;
  return std::nullopt;
}

std::vector<std::string> CliOptions::Values(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto& [option, value] : given_)
    if (option == name) values.push_back(value);
  return values;
}

std::optional<uint64_t> ParseCliNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (!IsDigitIn(c, base)) return std::nullopt;
    uint64_t digit = static_cast<uint64_t>(DigitValue(c));
    if (value > (UINT64_MAX - digit) / static_cast<uint64_t>(base)) return std::nullopt;
    value = value * static_cast<uint64_t>(base) + digit;
  }
  return value;
}
