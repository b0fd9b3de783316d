// lumenard-cli image: a copy that matches its source, and one that would overwrite it.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "cli/command.h"
#include "cli_runner.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace {

using testing_support::ReadWholeFile;

using cli_testing::Outcome;
using cli_testing::RunCli;

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

TEST(ImageCommand, CopiesAnImageAndReportsWhatItCopied) {
  std::u16string fat = testing_support::FixturePath("volumes/fat12.img");
  if (fat.empty()) GTEST_SKIP() << "fixture images not made";
  testing_support::TempFolder folder;
  std::u16string copy = folder.File(u"copy.dsk");
  Outcome run = RunCli({"image", Utf8(fat), Utf8(copy)});
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  EXPECT_NE(run.out.find("Copied 2880 of 2880 sectors (1.4 MiB) to "), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("0 unreadable sectors written as zeros"), std::string::npos) << run.out;
  EXPECT_TRUE(ReadWholeFile(copy) == ReadWholeFile(fat));

  Outcome info = RunCli({"info", Utf8(copy)});
  EXPECT_NE(info.out.find("File system:   FAT12"), std::string::npos) << info.out;

  Outcome over = RunCli({"image", Utf8(copy), Utf8(copy)});
  EXPECT_EQ(over.code, kExitFailure);
  EXPECT_NE(over.err.find("is the drive being copied"), std::string::npos) << over.err;
  EXPECT_TRUE(ReadWholeFile(copy) == ReadWholeFile(fat));
  EXPECT_EQ(RunCli({"image", Utf8(copy)}).code, kExitUsage);
}

}  // namespace
