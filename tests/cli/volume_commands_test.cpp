// lumenard-cli info and read on drive images made by mkfs.fat, and on bad words.
#include <gtest/gtest.h>

#include <algorithm>

#include <iostream>
#include <sstream>

#include "cli/command.h"
#include "cli_runner.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace {

using cli_testing::Outcome;
using cli_testing::RunCli;

std::string Fixture(const char* name) {
  return platform::Utf16ToUtf8(testing_support::FixturePath(name));
}

TEST(VolumeCommands, InfoShowsSizeAndTheFileSystemOfTheBootSector) {
  std::string fat12 = Fixture("volumes/fat12.img");
  std::string fat32 = Fixture("volumes/fat32.img");
  if (fat12.empty() || fat32.empty()) GTEST_SKIP() << "fixture images not made";
  Outcome info = RunCli({"info", fat12});
  EXPECT_EQ(info.code, kExitSuccess) << info.err;
  EXPECT_NE(info.out.find("Kind:          drive image (8)\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Display name:  fat12.img\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Size:          1474560 bytes\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Sectors:       2880 of 512 bytes\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("File system:   FAT12 (type 1"), std::string::npos) << info.out;

  info = RunCli({"info", fat32});
  EXPECT_EQ(info.code, kExitSuccess) << info.err;
  EXPECT_NE(info.out.find("File system:   FAT32 (type 11"), std::string::npos) << info.out;
}

TEST(VolumeCommands, ReadDumpsSectorsWithOffsetsHexAndText) {
  std::string fat12 = Fixture("volumes/fat12.img");
  if (fat12.empty()) GTEST_SKIP() << "fixture images not made";
  Outcome dump = RunCli({"read", fat12, "0"});
  ASSERT_EQ(dump.code, kExitSuccess) << dump.err;
  EXPECT_EQ(std::count(dump.out.begin(), dump.out.end(), '\n'), 32);
  EXPECT_EQ(dump.out.substr(0, 79),
            "00000000  eb 3c 90 6d 6b 66 73 2e  66 61 74 00 02 01 01 00  |.<.mkfs.fat.....|\n");
  // The label mkfs.fat wrote, in the line of bytes 0x20 to 0x2f.
  EXPECT_NE(dump.out.find("00000020 "), std::string::npos);
  EXPECT_NE(dump.out.find("|......)..4.FAT12|"), std::string::npos) << dump.out.substr(0, 400);
  EXPECT_NE(dump.out.find(
                "000001f0  00 00 00 00 00 00 00 00  00 00 00 00 00 00 55 aa  |..............U.|\n"),
            std::string::npos);

  Outcome two = RunCli({"read", fat12, "0x1", "2"});
  ASSERT_EQ(two.code, kExitSuccess) << two.err;
  EXPECT_EQ(two.out.substr(0, 8), "00000200");
  EXPECT_EQ(std::count(two.out.begin(), two.out.end(), '\n'), 64);
}

TEST(VolumeCommands, BadWordsAreUsageErrorsAndUnreadableSectorsFailures) {
  std::string fat12 = Fixture("volumes/fat12.img");
  if (fat12.empty()) GTEST_SKIP() << "fixture images not made";
  EXPECT_EQ(RunCli({"read", fat12}).code, kExitUsage);
  EXPECT_EQ(RunCli({"read", fat12, "x"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"read", fat12, "1", "0"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"read", fat12, "-1"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"read", fat12, "18446744073709551615"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"info"}).code, kExitUsage);

  Outcome beyond = RunCli({"read", fat12, "2879", "3"});
  EXPECT_EQ(beyond.code, kExitFailure);
  EXPECT_EQ(std::count(beyond.out.begin(), beyond.out.end(), '\n'), 32)
      << "the sector that exists is shown";
  EXPECT_NE(beyond.err.find("cannot read sector 2880"), std::string::npos) << beyond.err;

  testing_support::TempFolder folder;
  std::string missing = platform::Utf16ToUtf8(folder.File(u"none.img"));
  Outcome gone = RunCli({"info", missing});
  EXPECT_EQ(gone.code, kExitFailure);
  EXPECT_NE(gone.err.find("no drive or image at"), std::string::npos) << gone.err;
  EXPECT_EQ(RunCli({"read", missing, "0"}).code, kExitFailure);

  std::string empty = platform::Utf16ToUtf8(folder.File(u"empty.img"));
  ASSERT_TRUE(testing_support::WriteWholeFile(folder.File(u"empty.img"), {}));
  Outcome nothing = RunCli({"info", empty});
  EXPECT_EQ(nothing.code, kExitFailure);
  EXPECT_NE(nothing.err.find("cannot read the first sector"), std::string::npos) << nothing.err;
}

}  // namespace
