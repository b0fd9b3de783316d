// The parts of the FAT analyser that read single structures: the parameter block, the
// allocation table's chains, and directory entry names.
#include <gtest/gtest.h>

#include <numeric>

#include "filesystems/fat_boot.h"
#include "filesystems/fat_directory.h"
#include "filesystems/fat_table.h"
#include "filesystems/fat_test_support.h"
#include "platform/text.h"

using namespace fat_testing;

namespace {

std::vector<uint8_t> BootSector(uint16_t bytesPerSector, uint8_t sectorsPerCluster,
                                uint16_t rootEntries) {
  FatImageBuilder image(FatWidth::Fat16);
  std::vector<uint8_t> sector(image.Bytes().begin(), image.Bytes().begin() + 512);
  sector[11] = static_cast<uint8_t>(bytesPerSector);
  sector[12] = static_cast<uint8_t>(bytesPerSector >> 8);
  sector[13] = sectorsPerCluster;
  sector[17] = static_cast<uint8_t>(rootEntries);
  sector[18] = static_cast<uint8_t>(rootEntries >> 8);
  return sector;
}

// A table whose entries are given, cluster n at index n.
CFatTable Table(FatWidth width, const std::vector<uint32_t>& entries) {
  FatImageBuilder image(width, static_cast<uint32_t>(entries.size()));
  for (uint32_t n = 2; n < entries.size(); ++n) image.SetNext(n, entries[n]);
  std::vector<uint8_t> bytes(image.Bytes().begin() + 512, image.Bytes().end());
  return CFatTable(width, static_cast<uint32_t>(entries.size() - 1), std::move(bytes));
}

}  // namespace

TEST(FatBoot, RefusesParametersNoVolumeHasBeforeUsingThem) {
  std::u16string problem;
  for (auto [bytesPerSector, sectorsPerCluster] :
       {std::pair{0, 1}, {520, 1}, {8192, 1}, {512, 0}, {512, 3}}) {
    problem.clear();
    EXPECT_FALSE(ReadFatLayout(BootSector(bytesPerSector, sectorsPerCluster, 64), FatWidth::Fat16,
                               0, problem));
    EXPECT_FALSE(problem.empty()) << bytesPerSector << " " << sectorsPerCluster;
  }
  EXPECT_FALSE(ReadFatLayout(std::vector<uint8_t>(40), FatWidth::Fat16, 0, problem));
}

TEST(FatBoot, CountsLargeSectorsAndPartialRootSectorsIn512ByteUnits) {
  std::u16string problem;
  // 4096-byte sectors: reserved 1, two tables of 1 sector, 64 root entries (half a sector).
  std::vector<uint8_t> sector = BootSector(4096, 1, 64);
  sector[22] = 1;
  sector[23] = 0;
  auto layout = ReadFatLayout(sector, FatWidth::Fat16, 0, problem);
  ASSERT_TRUE(layout) << platform::Utf16ToUtf8(problem);
  EXPECT_EQ(layout->TableSector, 8u);
  EXPECT_EQ(layout->RootDirSector, 24u);
  EXPECT_EQ(layout->FirstDataSector, 32u);
  EXPECT_EQ(layout->ClusterPosition(5), 32u * 512 + 3 * 4096);
  // The data area is clipped to a volume smaller than the parameter block says.
  auto clipped = ReadFatLayout(sector, FatWidth::Fat16, 32 + 8 * 10, problem);
  ASSERT_TRUE(clipped);
  EXPECT_EQ(clipped->MaxCluster, 11u);
  EXPECT_FALSE(ReadFatLayout(sector, FatWidth::Fat16, 30, problem));
}

TEST(FatTable, ChainsStopAtLoopsAndOutsideValuesWithEachClusterOnce) {
  // 2 -> 3 -> 4 -> 5 -> 6 -> 7 -> 4 (a tail of two, a loop of four); 8 -> 8; 9 -> 0xFFF0.
  std::vector<uint32_t> entries(20, 0);
  entries[2] = 3, entries[3] = 4, entries[4] = 5, entries[5] = 6, entries[6] = 7, entries[7] = 4;
  entries[8] = 8;
  entries[9] = 0xFFF0;
  entries[10] = 11, entries[11] = 0xFFFF;
  CFatTable table = Table(FatWidth::Fat16, entries);
  std::vector<uint32_t> chain;
  EXPECT_EQ(table.Chain(2, 100, chain), FatChainEnd::Loop);
  EXPECT_EQ(chain, (std::vector<uint32_t>{2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(table.Chain(8, 100, chain), FatChainEnd::Loop);
  EXPECT_EQ(chain, std::vector<uint32_t>{8});
  EXPECT_EQ(table.Chain(9, 100, chain), FatChainEnd::OutOfRange);
  EXPECT_EQ(chain, std::vector<uint32_t>{9});
  EXPECT_EQ(table.Chain(10, 100, chain), FatChainEnd::EndMark);
  EXPECT_EQ(table.Chain(12, 100, chain), FatChainEnd::Free);
  EXPECT_EQ(table.Chain(2, 3, chain), FatChainEnd::Limit);
  EXPECT_EQ(chain.size(), 3u);
  EXPECT_EQ(table.Chain(25, 100, chain), FatChainEnd::OutOfRange);
  EXPECT_TRUE(chain.empty());
}

TEST(FatTable, LongLoopsAreFoundWhereverTheyCloseAndTwelveBitEntriesDecode) {
  for (uint32_t closeAt : {2u, 3u, 1000u, 4095u}) {
    std::vector<uint32_t> entries(4098);
    std::iota(entries.begin(), entries.end(), 1);
    entries[4097] = closeAt;
    CFatTable table = Table(FatWidth::Fat32, entries);
    std::vector<uint32_t> chain;
    ASSERT_EQ(table.Chain(2, 1 << 20, chain), FatChainEnd::Loop);
    ASSERT_EQ(chain.size(), 4096u);
    EXPECT_EQ(chain.back(), 4097u);
  }
  // Odd and even FAT12 entries share a byte.
  std::vector<uint32_t> entries{0, 0, 3, 0xABC, 0, 0x123, 0xFFF};
  CFatTable table = Table(FatWidth::Fat12, entries);
  EXPECT_EQ(table.Entry(2), 3u);
  EXPECT_EQ(table.Entry(3), 0xABCu);
  EXPECT_EQ(table.Entry(4), 0u);
  EXPECT_EQ(table.Entry(5), 0x123u);
  EXPECT_TRUE(table.IsEndMark(table.Entry(6)));
  EXPECT_EQ(table.Entry(100000), 0u);
}

TEST(FatDirectory, ShortNamesOfLiveDeletedAndLowerCaseEntries) {
  auto name = [](std::string_view stored, uint8_t caseBits = 0) {
    Entry e = FatImageBuilder::ShortEntry(stored, 0x20, 5, 1);
    e[12] = caseBits;
    return platform::Utf16ToUtf8(ShortEntryName(e));
  };
  EXPECT_EQ(name("\xE5HOTO   JPG"), "_HOTO.JPG");
  EXPECT_EQ(name("README  TXT", 0x18), "readme.txt");
  EXPECT_EQ(name("MAKEFILE   ", 0x08), "makefile");
  EXPECT_EQ(name("MY FILE TXT"), "MY FILE.TXT");
  // 0x05 stands for a first byte of 0xE5 in a live entry: sigma in DOS code page 437, O with
  // a tilde in 850.
  const std::string escaped = name("\x05"
                                   "BC     TXT");
  EXPECT_TRUE(escaped == "\xCF\x83"
                         "BC.TXT" ||
              escaped == "\xC3\x95"
                         "BC.TXT")
      << escaped;
  // Short names are in the DOS code page: "CAFE.TXT" with an acute E as DOS wrote it (0x90 in
  // both 437 and 850; a control character in Windows-1252).
  EXPECT_EQ(name("CAF\x90    TXT"), "CAF\xC3\x89.TXT");
  EXPECT_FALSE(
      IsDeletedEntry(FatImageBuilder::ShortEntry("\x05"
                                                 "BC     TXT",
                                                 0x20, 5, 1)));

  EXPECT_FALSE(IsValidEntry(FatImageBuilder::ShortEntry("lower   TXT", 0x20, 5, 1)));
  EXPECT_FALSE(IsValidEntry(FatImageBuilder::ShortEntry("A*B     TXT", 0x20, 5, 1)));
  EXPECT_FALSE(IsValidEntry(FatImageBuilder::ShortEntry(" LEADING TXT", 0x20, 5, 1)));
  Entry tenths = FatImageBuilder::ShortEntry("TENTHS  TXT", 0x20, 5, 1);
  tenths[13] = 200;
  EXPECT_FALSE(IsValidEntry(tenths));
  EXPECT_FALSE(IsValidEntry(Entry{}));
}

TEST(FatDirectory, LongNamesMustFitTheirShortEntryByOrderAndChecksum) {
  auto folderOf = [](const std::vector<Entry>& entries) {
    std::vector<uint8_t> folder;
    for (const Entry& e : entries) folder.insert(folder.end(), e.begin(), e.end());
    return folder;
  };
  const std::u16string longName =
      u"A long name of more than one part, \u00E9t\u00E9 \u65E5\u672C.txt";
  std::vector<Entry> good = FatImageBuilder::NamedEntry(longName, "ALONGN~1TXT", 0x20, 5, 1);
  ASSERT_EQ(good.size(), 5u);
  LongNameResult how;
  auto folder = folderOf(good);
  EXPECT_EQ(EntryName(folder, 4, &how), longName);
  EXPECT_EQ(how, LongNameResult::Taken);

  std::vector<Entry> badChecksum = good;
  badChecksum[1][13] ^= 1;
  folder = folderOf(badChecksum);
  EXPECT_EQ(EntryName(folder, 4, &how), u"ALONGN~1.TXT");
  EXPECT_EQ(how, LongNameResult::Mismatch);

  std::vector<Entry> swapped = good;
  std::swap(swapped[2], swapped[3]);
  folder = folderOf(swapped);
  EXPECT_EQ(EntryName(folder, 4, &how), u"ALONGN~1.TXT");

  std::vector<Entry> missingFirst(good.begin() + 1, good.end());
  folder = folderOf(missingFirst);
  EXPECT_EQ(EntryName(folder, 3, &how), u"ALONGN~1.TXT");
  EXPECT_EQ(how, LongNameResult::Mismatch);

  // A deleted file's parts still name it; they do not name a live entry that took its slot.
  std::vector<Entry> deleted = FatImageBuilder::Deleted(good);
  folder = folderOf(deleted);
  EXPECT_EQ(EntryName(folder, 4), longName);
  std::vector<Entry> reused = deleted;
  reused[4] = FatImageBuilder::ShortEntry("NEWFILE TXT", 0x20, 9, 1);
  folder = folderOf(reused);
  EXPECT_EQ(EntryName(folder, 4), u"NEWFILE.TXT");

  // Two deleted files side by side keep their own names.
  std::vector<Entry> pair = FatImageBuilder::Deleted(
      FatImageBuilder::NamedEntry(u"first one.txt", "FIRSTO~1TXT", 0x20, 5, 1));
  for (const Entry& e : FatImageBuilder::Deleted(
           FatImageBuilder::NamedEntry(u"second.dat", "SECOND  DAT", 0x20, 6, 1)))
    pair.push_back(e);
  folder = folderOf(pair);
  EXPECT_EQ(EntryName(folder, 1), u"first one.txt");
  EXPECT_EQ(EntryName(folder, 3), u"second.dat");
}
