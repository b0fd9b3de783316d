#include "filesystems/fat_boot.h"

#include <algorithm>

#include "platform/text.h"
#include "volumes/le_reader.h"

namespace {

// Highest cluster number each width can address (above it lie the bad and end marks).
constexpr uint32_t kMaxClusterFat12 = 0xFF6;
constexpr uint32_t kMaxClusterFat16 = 0xFFF6;
constexpr uint32_t kMaxClusterFat32 = 0x0FFFFFF6;
constexpr uint32_t kMaxTableCount = 4;

bool IsPowerOfTwoUpTo(uint32_t value, uint32_t largest) {
  return value != 0 && value <= largest && (value & (value - 1)) == 0;
}

uint32_t WidthMaxCluster(FatWidth width) {
  switch (width) {
    case FatWidth::Fat12:
      return kMaxClusterFat12;
    case FatWidth::Fat16:
      return kMaxClusterFat16;
    case FatWidth::Fat32:
      break;
  }
  return kMaxClusterFat32;
}

// Entries that a table of this many bytes holds.
uint64_t TableEntries(FatWidth width, uint64_t bytes) {
  switch (width) {
    case FatWidth::Fat12:
      return bytes * 2 / 3;
    case FatWidth::Fat16:
      return bytes / 2;
    case FatWidth::Fat32:
      break;
  }
  return bytes / 4;
}

struct ParameterBlock {
  uint32_t bytesPerSector;
  uint32_t sectorsPerCluster;
  uint32_t reservedSectors;
  uint32_t tableCount;
  uint32_t rootEntries;
  uint64_t totalSectors;
  uint64_t sectorsPerTable;
  uint32_t rootCluster;
};

std::optional<ParameterBlock> ReadParameterBlock(std::span<const uint8_t> sector, FatWidth width,
                                                 std::u16string& problem) {
  LeReader bytes(sector);
  ParameterBlock block{};
  block.bytesPerSector = bytes.U16(11);
  block.sectorsPerCluster = bytes.U8(13);
  block.reservedSectors = bytes.U16(14);
  block.tableCount = bytes.U8(16);
  block.rootEntries = bytes.U16(17);
  const uint16_t totalSectors16 = bytes.U16(19);
  const uint32_t totalSectors32 = bytes.U32(32);
  block.totalSectors = totalSectors16 != 0 ? totalSectors16 : totalSectors32;
  block.sectorsPerTable = width == FatWidth::Fat32 ? bytes.U32(36) : bytes.U16(22);
  block.rootCluster = width == FatWidth::Fat32 ? bytes.U32(44) : 0;
  if (bytes.Failed()) {
    problem = u"the boot sector is shorter than its parameter block";
    return std::nullopt;
  }
  if (block.bytesPerSector < 512 || !IsPowerOfTwoUpTo(block.bytesPerSector, 4096)) {
    problem = platform::Format(u"%u bytes per sector", block.bytesPerSector);
  } else if (!IsPowerOfTwoUpTo(block.sectorsPerCluster, 128)) {
    problem = platform::Format(u"%u sectors per cluster", block.sectorsPerCluster);
  } else if (block.reservedSectors == 0) {
    problem = u"no reserved sectors";
  } else if (block.tableCount == 0 || block.tableCount > kMaxTableCount) {
    problem = platform::Format(u"%u allocation tables", block.tableCount);
  } else if (block.sectorsPerTable == 0) {
    problem = u"allocation tables of 0 sectors";
  } else if (width != FatWidth::Fat32 && block.rootEntries == 0) {
    problem = u"a root folder of 0 entries";
  } else if (block.totalSectors == 0) {
    problem = u"a volume of 0 sectors";
  } else {
    return block;
  }
  return std::nullopt;
}

}  // namespace

uint64_t FatLayout::UsedTableBytes() const {
  const uint64_t entries = static_cast<uint64_t>(MaxCluster) + 1;
  uint64_t bytes = 0;
  switch (Width) {
    case FatWidth::Fat12:
      bytes = (entries * 3 + 1) / 2;
      break;
    case FatWidth::Fat16:
      bytes = entries * 2;
      break;
    case FatWidth::Fat32:
      bytes = entries * 4;
      break;
  }
  return std::min(bytes, TableBytes);
}

std::optional<FatLayout> ReadFatLayout(std::span<const uint8_t> bootSector, FatWidth width,
                                       uint64_t volumeSectors, std::u16string& problem) {
  const std::optional<ParameterBlock> block = ReadParameterBlock(bootSector, width, problem);
  if (!block) return std::nullopt;

  // Counted in the parameter block's own sectors first; every value is below 2^40 here.
  const uint64_t rootDirSectors =
      (static_cast<uint64_t>(block->rootEntries) * 32 + block->bytesPerSector - 1) /
      block->bytesPerSector;
  const uint64_t rootDirStart = block->reservedSectors + block->sectorsPerTable * block->tableCount;
  const uint64_t firstData = rootDirStart + rootDirSectors;
  if (firstData >= block->totalSectors) {
    problem = platform::Format(u"a data area that starts at sector %I64u of %I64u", firstData,
                               block->totalSectors);
    return std::nullopt;
  }

  const uint32_t units = block->bytesPerSector / 512;
  FatLayout layout;
  layout.Width = width;
  layout.BytesPerSector = block->bytesPerSector;
  layout.SectorsPerCluster = block->sectorsPerCluster;
  layout.BytesPerCluster = block->bytesPerSector * block->sectorsPerCluster;
  layout.TableCount = block->tableCount;
  layout.TableSector = static_cast<uint64_t>(block->reservedSectors) * units;
  layout.TableBytes = block->sectorsPerTable * block->bytesPerSector;
  layout.RootDirSector = rootDirStart * units;
  layout.RootEntries = block->rootEntries;
  layout.FirstDataSector = firstData * units;
  layout.TotalSectors = block->totalSectors * units;
  layout.RootCluster = block->rootCluster;

  uint64_t dataSectors = layout.TotalSectors - layout.FirstDataSector;
  if (volumeSectors != 0) {
    if (layout.FirstDataSector >= volumeSectors) {
      problem =
          platform::Format(u"a data area that starts at sector %I64u of a %I64u-sector volume",
                           layout.FirstDataSector, volumeSectors);
      return std::nullopt;
    }
    dataSectors = std::min(dataSectors, volumeSectors - layout.FirstDataSector);
  }
  uint64_t maxCluster = dataSectors / layout.SectorsPerClusterOf512() + 1;
  maxCluster = std::min<uint64_t>(maxCluster, WidthMaxCluster(width));
  const uint64_t entries = TableEntries(width, layout.TableBytes);
  if (entries == 0) {
    problem = u"an allocation table too small for one entry";
    return std::nullopt;
  }
  maxCluster = std::min(maxCluster, entries - 1);
  if (maxCluster < 2) {
    problem = u"no data clusters";
    return std::nullopt;
  }
  layout.MaxCluster = static_cast<uint32_t>(maxCluster);
  return layout;
}
