// What a volume learns from its boot sector: file-system type, cluster size, sizes, serial
// number and label. The fields are described in docs/formats/mbr.md.
#include <algorithm>

#include "app/strings.h"
#include "filesystems/file_system_codes.h"
#include "platform/text.h"
#include "volumes/le_reader.h"
#include "volumes/volume.h"
#include "volumes/volume_log.h"

namespace {

// Offsets in the boot sector.
constexpr size_t kOemNameOffset = 3;
constexpr size_t kSectorsPerClusterOffset = 13;
constexpr size_t kSmallSectorsOffset = 19;
constexpr size_t kLargeSectorsOffset = 32;
constexpr size_t kFat16SerialOffset = 39;
constexpr size_t kFat16LabelOffset = 43;
constexpr size_t kFat32SerialOffset = 67;
constexpr size_t kFat32LabelOffset = 71;
constexpr size_t kNtfsSerialOffset = 72;
constexpr size_t kLabelBytes = 11;

// The largest cluster NTFS writes as a power of two in that byte: 2^16 sectors.
constexpr uint8_t kNtfsLargestShift = 16;
constexpr uint8_t kMaxPlainSectorsPerCluster = 128;

enum class BootLayout { None, Fat16, Fat32, Ntfs, Other };

// The layout whose fields a type code's boot sector has, hidden variants included.
BootLayout LayoutOfType(int32_t type) {
  if (type == FsTypeNone) return BootLayout::None;
  switch (FileSystemCodeOf(type).BootFields) {
    case BootSectorFields::Fat16:
      return BootLayout::Fat16;
    case BootSectorFields::Fat32:
      return BootLayout::Fat32;
    case BootSectorFields::Ntfs:
      return BootLayout::Ntfs;
    case BootSectorFields::None:
      break;
  }
  return BootLayout::Other;
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Sectors per cluster from the byte at 13: a power of two up to 128, or for NTFS a value above
// 128 that gives the power of two by its distance from 256. 0 when the byte is no such value.
uint32_t SectorsPerClusterOf(uint8_t value, BootLayout layout) {
  if (value <= kMaxPlainSectorsPerCluster) return IsPowerOfTwo(value) ? value : 0;
  if (layout != BootLayout::Ntfs) return 0;
  const uint32_t shift = 256u - value;
  return shift <= kNtfsLargestShift ? uint32_t{1} << shift : 0;
}

// 8-bit label bytes (ANSI code page) up to the first zero, trailing blanks removed.
std::u16string LabelOf(std::span<const uint8_t> bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  std::string text(bytes.begin(), end);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return platform::AnsiToUtf16(text);
}

}  // namespace

uint32_t CVolume::ReadBootSector() {
  BootSector.fill(0);
  uint32_t read = 0;
  try {
    read = ReadSectors(BootSector.data(), 0, 2);
  } catch (...) {
    read = 0;
  }
  // An image shorter than two sectors still has a boot sector; less than one sector has none.
  if (read < kSectorSize) {
    volume_log::Error(LanguageString(173), GetDisplayName());
    return 0;
  }
  return read;
}

int32_t CVolume::AnalyzeBootSector() {
  if (ReadBootSector() == 0) return kBootSectorUnreadable;
  try {
    LeReader boot(std::span<const uint8_t>(BootSector.data(), kSectorSize));
    std::span<const uint8_t> oem = boot.Bytes(kOemNameOffset, OemName.size());
    std::copy(oem.begin(), oem.end(), OemName.begin());

    const int32_t detected = CFileSystem::DetectFromBootSector(BootSector);
    if (detected != 0 && detected != FileSystemType()) FileSystem->TypeCode = detected;
    const int32_t type = FileSystemType();
    const BootLayout layout = LayoutOfType(type);

    if (const uint8_t clusterByte = boot.U8(kSectorsPerClusterOffset);
        type != 0 && clusterByte != 0) {
      if (uint32_t sectors = SectorsPerClusterOf(clusterByte, layout); sectors != 0)
        SectorsPerCluster = sectors;
      else
        volume_log::Error(u"Boot sector of %s: %d sectors per cluster is no cluster size, kept %u",
                          GetDisplayName(), static_cast<int>(clusterByte), SectorsPerCluster);
    }

    if (Kind == VolumeKindImage) {
      TotalBytes = DeviceSize();
      if (TotalBytes != 0) SectorCount = TotalBytes / kSectorSize;
    }

    switch (layout) {
      case BootLayout::Fat16:
      case BootLayout::Fat32: {
        const bool fat32 = layout == BootLayout::Fat32;
        if (uint32_t serial = boot.U32(fat32 ? kFat32SerialOffset : kFat16SerialOffset);
            serial != 0)
          SerialNumber = serial;
        if (Label.empty())
          Label = LabelOf(boot.Bytes(fat32 ? kFat32LabelOffset : kFat16LabelOffset, kLabelBytes));
        if (SectorCount == 0) {
          const uint32_t large = boot.U32(kLargeSectorsOffset);
          SectorCount = large != 0 ? large : boot.U16(kSmallSectorsOffset);
          if (SectorCount == 0)
            volume_log::Error(
                u"boot_fat16->BPB.Large_Sectors == 0 && boot_fat16->BPB.Small_Sectors == 0");
        }
        break;
      }
      case BootLayout::Ntfs: {
        const uint64_t serial = boot.U64(kNtfsSerialOffset);
        if ((serial >> 32) != 0) {
          SerialNumber = static_cast<uint32_t>(serial);
          SerialNumberHigh = static_cast<uint32_t>(serial >> 32);
        }
        break;
      }
      case BootLayout::None:
        ScanPartitionTable(0, 0);
        break;
      case BootLayout::Other:
        break;
    }

    // Sector counts from a boot sector fit in 32 bits, so their bytes fit in 64.
    if (TotalBytes == 0 && SectorCount != 0 && SectorCount <= UINT64_MAX / kSectorSize)
      TotalBytes = SectorCount * kSectorSize;
    if (SectorCount == 0 && TotalBytes != 0 && BytesPerSector != 0)
      SectorCount = TotalBytes / BytesPerSector;
    if (ClusterCount == 0 && SectorCount != 0 && SectorsPerCluster != 0)
      ClusterCount = SectorCount / SectorsPerCluster;
    BytesPerCluster = SectorsPerCluster * BytesPerSector;
  } catch (...) {
  }
  return 1;
}
