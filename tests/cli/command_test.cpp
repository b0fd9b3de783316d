#include "cli/command.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace {

// Commands that exist only in this test program, to watch the dispatch.
CliArgs g_lastArgs;
int g_runs = 0;

int RunRecord(const CliArgs& args) {
  g_lastArgs = args;
  ++g_runs;
  if (!args.empty() && args[0] == "code") return std::stoi(args.at(1));
  return kExitSuccess;
}

int RunThrow(const CliArgs&) { throw std::runtime_error("the image ends early"); }

int RunBadUsage(const CliArgs&) { return CliUsageError("PATH is missing"); }

LUMENARD_CLI_COMMAND(zrecord, "zrecord [WORDS...]", "records its words", RunRecord);
LUMENARD_CLI_COMMAND(zthrow, "zthrow", "throws", RunThrow);
LUMENARD_CLI_COMMAND_WITH_DETAILS(zusage, "zusage PATH", "wants a path", "  --deep   look harder",
                                  RunBadUsage);

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome Dispatch(const CliArgs& words) {
  std::ostringstream out, err;
  int code = RunCommandLine(words, out, err);
  return {code, out.str(), err.str()};
}

TEST(CliDispatch, HelpAndVersionGoToStandardOutput) {
  Outcome help = Dispatch({"--help"});
  EXPECT_EQ(help.code, kExitSuccess);
  EXPECT_TRUE(help.err.empty());
  EXPECT_NE(help.out.find("usage: lumenard-cli COMMAND"), std::string::npos);
  size_t usage = help.out.find("  zrecord [WORDS...]");
  ASSERT_NE(usage, std::string::npos) << help.out;
  EXPECT_EQ(help.out.find("records its words"), help.out.find_first_not_of(' ', usage + 20));
  EXPECT_EQ(Dispatch({"-h"}).out, help.out);
  EXPECT_EQ(Dispatch({"help"}).out, help.out);

  Outcome version = Dispatch({"--version"});
  EXPECT_EQ(version.code, kExitSuccess);
  EXPECT_NE(version.out.find("Lumenard 2.0.0"), std::string::npos);
}

TEST(CliDispatch, BadUsageGivesUsageOnStandardErrorAndExitTwo) {
  for (const CliArgs& words : {CliArgs{}, CliArgs{"nosuch"}, CliArgs{"--bogus", "zrecord"},
                               CliArgs{"help", "nosuch"}, CliArgs{"help", "zrecord", "extra"}}) {
    Outcome outcome = Dispatch(words);
    SCOPED_TRACE(words.empty() ? "(no words)" : words[0]);
    EXPECT_EQ(outcome.code, kExitUsage);
    EXPECT_TRUE(outcome.out.empty());
    EXPECT_NE(outcome.err.find("usage: lumenard-cli"), std::string::npos);
  }
  EXPECT_NE(Dispatch({"nosuch"}).err.find("unknown command 'nosuch'"), std::string::npos);
  EXPECT_NE(Dispatch({"--bogus"}).err.find("unknown option '--bogus'"), std::string::npos);
}

TEST(CliDispatch, CommandGetsItsWordsUnchangedAndItsCodeIsReturned) {
  g_runs = 0;
  Outcome outcome = Dispatch({"zrecord", "--",
                              "Fotos \xc3\x9c"
                              "berlingen",
                              "-", ""});
  EXPECT_EQ(outcome.code, kExitSuccess);
  EXPECT_EQ(g_runs, 1);
  EXPECT_EQ(g_lastArgs, (CliArgs{"--",
                                 "Fotos \xc3\x9c"
                                 "berlingen",
                                 "-", ""}));
  EXPECT_EQ(Dispatch({"zrecord", "code", "1"}).code, kExitFailure);
  EXPECT_EQ(Dispatch({"zrecord", "code", "7"}).code, 7);
}

TEST(CliDispatch, CommandHelpShowsUsageWithoutRunningIt) {
  g_runs = 0;
  for (const CliArgs& words :
       {CliArgs{"help", "zusage"}, CliArgs{"zusage", "--help"}, CliArgs{"--help", "zusage"}}) {
    Outcome outcome = Dispatch(words);
    EXPECT_EQ(outcome.code, kExitSuccess);
    EXPECT_NE(outcome.out.find("usage: lumenard-cli zusage PATH"), std::string::npos);
    EXPECT_NE(outcome.out.find("--deep   look harder"), std::string::npos);
  }
  Dispatch({"zrecord", "-h"});
  EXPECT_EQ(g_runs, 0);
  // "--help" after other words is the command's business.
  Dispatch({"zrecord", "x", "--help"});
  EXPECT_EQ(g_runs, 1);
}

TEST(CliDispatch, FailuresOfACommandAreReportedNotSwallowed) {
  Outcome thrown = Dispatch({"zthrow"});
  EXPECT_EQ(thrown.code, kExitFailure);
  EXPECT_NE(thrown.err.find("zthrow: the image ends early"), std::string::npos);

  Outcome usage = Dispatch({"zusage"});
  EXPECT_EQ(usage.code, kExitUsage);
  EXPECT_NE(usage.err.find("usage: lumenard-cli zusage PATH"), std::string::npos);
}

TEST(CliRegistry, KeepsTheFirstOfADuplicateAndRefusesIncompleteEntries) {
  EXPECT_FALSE(RegisterCliCommand({"zrecord", "zrecord", "another", RunThrow}));
  ASSERT_NE(FindCliCommand("zrecord"), nullptr);
  EXPECT_EQ(FindCliCommand("zrecord")->run, &RunRecord);
  EXPECT_FALSE(RegisterCliCommand({"", "x", "x", RunRecord}));
  EXPECT_FALSE(RegisterCliCommand({"zempty", "zempty", "no function", nullptr}));
  EXPECT_EQ(FindCliCommand("zempty"), nullptr);

  const auto& commands = CliCommands();
  for (size_t i = 1; i < commands.size(); ++i)
    EXPECT_LT(std::string_view(commands[i - 1].name), std::string_view(commands[i].name));
}

TEST(CliOptionsTest, SplitsFlagsValuesAndPositionalWords) {
  CliOptions options({"image.dsk", "--deleted", "--out", "dest", "--types=jpg", "--types=png", "--",
                      "--not-an-option"},
                     {"--deleted", "--quiet"}, {"--out", "--types"});
  ASSERT_TRUE(options.ok()) << options.error();
  EXPECT_TRUE(options.Has("--deleted"));
  EXPECT_FALSE(options.Has("--quiet"));
  EXPECT_EQ(options.Value("--out"), "dest");
  EXPECT_EQ(options.Value("--types"), "png");
  EXPECT_EQ(options.Value("--quiet"), std::nullopt);
  EXPECT_EQ(options.Positional(), (std::vector<std::string>{"image.dsk", "--not-an-option"}));

  CliOptions emptyValue({"--out="}, {}, {"--out"});
  EXPECT_TRUE(emptyValue.ok());
  EXPECT_EQ(emptyValue.Value("--out"), "");
}

TEST(CliOptionsTest, ReportsUnknownOptionsAndMissingValues) {
  EXPECT_EQ(CliOptions({"--nope"}, {"--deleted"}).error(), "unknown option '--nope'");
  EXPECT_EQ(CliOptions({"x", "--out"}, {}, {"--out"}).error(), "option '--out' needs a value");
  EXPECT_EQ(CliOptions({"--deleted=yes"}, {"--deleted"}).error(),
            "option '--deleted' takes no value");
  EXPECT_TRUE(CliOptions({"-", "x"}, {}).ok());
}

TEST(CliNumbers, AcceptsDecimalAndHexUpToSixtyFourBits) {
  EXPECT_EQ(ParseCliNumber("0"), 0u);
  EXPECT_EQ(ParseCliNumber("2048"), 2048u);
  EXPECT_EQ(ParseCliNumber("0x7E00"), 0x7E00u);
  EXPECT_EQ(ParseCliNumber("18446744073709551615"), UINT64_MAX);
  EXPECT_EQ(ParseCliNumber("0xFFFFFFFFFFFFFFFF"), UINT64_MAX);
  for (const char* bad :
       {"", "0x", "18446744073709551616", "0x10000000000000000", "12a", "-1", " 1", "1e3", "0xG"})
    EXPECT_EQ(ParseCliNumber(bad), std::nullopt) << bad;
}

}  // namespace
