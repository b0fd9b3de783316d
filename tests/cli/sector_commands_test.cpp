// lumenard-cli's sector pass: analyse --sectors and --sectors-only list lost files, cat --start
// gives back their bytes, lost-drives lists the boot sectors found, on images built in code.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "../filesystems/fat_test_support.h"
#include "../signatures/registry_sandbox.h"
#include "cli_runner.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace {

using cli_testing::Outcome;
using cli_testing::RunCli;
using fat_testing::FatImageBuilder;

const uint8_t kJpegStart[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00};
const uint8_t kPngStart[] = {0x89, 'P',  'N',  'G',  0x0D, 0x0A, 0x1A, 0x0A,
                             0x00, 0x00, 0x00, 0x0D, 'I',  'H',  'D',  'R'};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class SectorCommandsTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = platform::Utf16ToUtf8(folder.File(platform::Utf8ToUtf16(name)));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  // 3 MiB: a JPEG at sector 3, a PNG at 1 MiB with bytes of its own after the signature, and a
  // JPEG in the last sector, whose size nothing after it tells.
  std::vector<uint8_t> Carving() {
    std::vector<uint8_t> bytes(3 << 20, 0);
    std::memcpy(bytes.data() + 3 * 512, kJpegStart, sizeof kJpegStart);
    std::memcpy(bytes.data() + (1 << 20), kPngStart, sizeof kPngStart);
    for (size_t i = sizeof kPngStart; i < 4096; ++i)
      bytes[(1 << 20) + i] = static_cast<uint8_t>(i * 7);
    std::memcpy(bytes.data() + bytes.size() - 512, kJpegStart, sizeof kJpegStart);
    return bytes;
  }

  RegistrySandbox registry;
  testing_support::TempFolder folder;
};

TEST_F(SectorCommandsTest, SectorsOnlyListsLostFilesByGroupWithTheirStartsAndSizes) {
  const std::vector<uint8_t> bytes = Carving();
  const std::string image = Write("card.dsk", bytes);
  const Outcome tsv = RunCli({"analyse", image, "--sectors-only", "--format", "tsv"});
  ASSERT_EQ(tsv.code, 0) << tsv.err;
  const std::string last = std::to_string(bytes.size() - 512);
  EXPECT_EQ(Lines(tsv.out),
            (std::vector<std::string>{
                "volume_offset\tstate\tkind\tid\tparent_id\tsize\tstart\tcreated\tmodified\tpath",
                "0\tlost\tfile\t0\t-115\t" + std::to_string(bytes.size() - 512 - (1 << 20)) +
                    "\t1048576\t0\t0\tLost files/Images/image_1048576.PNG",
                "0\tlost\tfile\t0\t-115\t1047040\t1536\t0\t0\tLost files/Images/image_1536.JPG",
                "0\tlost\tfile\t0\t-115\t-1\t" + last + "\t0\t0\tLost files/Images/image_" + last +
                    ".JPG",
            }));
  // The same listing whatever the number of workers; JSON says "lost" too.
  EXPECT_EQ(RunCli({"analyse", image, "--sectors-only", "--threads", "3", "--format", "tsv"}).out,
            tsv.out);
  const Outcome json = RunCli({"analyse", image, "--sectors-only", "--format", "json"});
  EXPECT_NE(json.out.find("\"state\": \"lost\", \"kind\": \"file\""), std::string::npos)
      << json.out;

  // cat --start gives the lost file's bytes up to its size; one of unknown size is refused.
  const Outcome png = RunCli({"cat", image, "--start", "1048576"});
  ASSERT_EQ(png.code, 0) << png.err;
  ASSERT_EQ(png.out.size(), bytes.size() - 512 - (1 << 20));
  EXPECT_EQ(std::memcmp(png.out.data(), bytes.data() + (1 << 20), png.out.size()), 0);
  const Outcome unknown = RunCli({"cat", image, "--start", last});
  EXPECT_EQ(unknown.code, 1);
  EXPECT_NE(unknown.err.find("is not known"), std::string::npos) << unknown.err;
  EXPECT_EQ(RunCli({"cat", image, "--start", "1000"}).code, 1);

  EXPECT_EQ(RunCli({"analyse", image, "--sectors-only", "--threads", "0"}).code, 2);
  EXPECT_EQ(RunCli({"analyse", image, "--threads", "2"}).code, 2);
}

TEST_F(SectorCommandsTest, SectorsAfterTheFileSystemPassAddLostFilesToItsListing) {
  FatImageBuilder fat(FatWidth::Fat16, 200);
  fat.Chain({10});
  fat.PutEntries(0, {FatImageBuilder::ShortEntry("LIVE    PNG", 0x20, 10, 512)});
  std::memcpy(fat.Bytes().data() + fat.ClusterOffset(10), kPngStart, sizeof kPngStart);
  std::memcpy(fat.Bytes().data() + fat.ClusterOffset(40), kPngStart, sizeof kPngStart);
  const std::string image = Write("fat16.dsk", fat.Bytes());
  const std::string lost = std::to_string(fat.ClusterOffset(40));
  for (const char* mode : {"--sectors", "--free-space-only"}) {
    std::vector<std::string> words = {"analyse", image, "--sectors", "--format", "tsv"};
    if (std::string(mode) != "--sectors") words.push_back(mode);
    const Outcome run = RunCli(words);
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_NE(lines[1].find("\tlive\tfile\t10\t"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("\tlost\tfile\t0\t-115\t"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("Lost files/Images/image_" + lost + ".PNG"), std::string::npos)
        << lines[2];
  }
  EXPECT_EQ(RunCli({"analyse", image, "--free-space-only"}).code, 2);
}

TEST_F(SectorCommandsTest, LostDrivesListsTheBootSectorsFoundOnADisk) {
  FatImageBuilder fat(FatWidth::Fat16, 300);
  std::vector<uint8_t> disk(4 << 20, 0);
  std::memcpy(disk.data() + (2 << 20), fat.Bytes().data(), fat.Bytes().size());
  const std::string image = Write("disk.dsk", disk);
  const Outcome tsv = RunCli({"lost-drives", image, "--format", "tsv"});
  ASSERT_EQ(tsv.code, 0) << tsv.err;
  EXPECT_EQ(Lines(tsv.out), (std::vector<std::string>{
                                "offset\tfile_system\tsize\tlabel",
                                "2097152\tFAT16\t" + std::to_string(fat.Bytes().size()) + "\t"}));
  const Outcome text = RunCli({"lost-drives", image});
  EXPECT_NE(text.out.find("FAT16 at offset 2097152"), std::string::npos) << text.out;
  const Outcome none = RunCli({"lost-drives", Write("empty.dsk", std::vector<uint8_t>(65536, 0))});
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.out, "No lost drives found.\n");
  EXPECT_EQ(RunCli({"lost-drives", image, "--format", "json"}).code, 2);
}

// recover --sectors-only copies lost files below "Lost files/<group>/". A bitmap's size comes from
// its header and is not a guess, so it is copied whole even when every guessed size is skipped.
TEST_F(SectorCommandsTest, RecoverCopiesLostFilesAndAsksNoSizeForOneTheHeaderGives) {
  std::vector<uint8_t> bytes = Carving();
  const size_t bitmapStart = 8 * 512;
  const uint32_t bitmapSize = 5000;
  std::memcpy(bytes.data() + bitmapStart, "BM", 2);
  std::memcpy(bytes.data() + bitmapStart + 2, &bitmapSize, 4);
  for (size_t i = 14; i < bitmapSize; ++i)
    bytes[bitmapStart + i] = static_cast<uint8_t>(i * 13 + 1);
  const std::string image = Write("card.dsk", bytes);
  testing_support::TempFolder out;
  const std::string to = platform::Utf16ToUtf8(out.path());

  const Outcome run = RunCli({"recover", image, "--to", to, "--all", "--sectors-only",
                              "--unknown-size", "skip", "--format", "tsv"});
  std::ifstream copied(to + "/Lost files/Images/image_4096.BMP", std::ios::binary);
  ASSERT_TRUE(copied) << run.out << run.err;
  const std::string content((std::istreambuf_iterator<char>(copied)),
                            std::istreambuf_iterator<char>());
  EXPECT_EQ(content,
            std::string(bytes.begin() + bitmapStart, bytes.begin() + bitmapStart + bitmapSize));
  // The JPEGs' sizes are only distances: skipped as asked, nothing written for them.
  EXPECT_NE(run.out.find("image_1536.JPG"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\tskipped"), std::string::npos) << run.out;
  EXPECT_FALSE(std::ifstream(to + "/Lost files/Images/image_1536.JPG"));
}

}  // namespace
