#include "signatures/scan_space.h"

#include <string>

#include "app/log.h"
#include "filesystems/fat_boot.h"
#include "filesystems/file_system.h"
#include "volumes/bit_array.h"
#include "volumes/volume.h"

namespace {

void LogWholeDrive(std::u16string_view why) {
  if (g_pLog)
    g_pLog->LogInfo(std::u16string(u"Free space only: ") + std::u16string(why) +
                    u"; the whole drive is scanned.");
}

}  // namespace

ScanSpace ScanSpace::FreeSpaceOf(const CVolume& volume) {
  ScanSpace space;
  if (volume.ClusterBitmap.ByteCount() == 0) {
    LogWholeDrive(u"no file-system pass has marked the clusters in use");
    return space;
  }
  const int32_t type = volume.FileSystemType();
  switch (AnalyserForType(type)) {
    case FsAnalyser::Fat: {
      const std::optional<FatWidth> width = FatWidthForType(type);
      std::u16string problem;
      std::optional<FatLayout> layout;
      if (width) layout = ReadFatLayout(volume.BootSector, *width, volume.SectorCount, problem);
      if (!layout) {
        LogWholeDrive(u"the FAT boot sector cannot be read again");
        return space;
      }
      space.firstClusterPosition_ = layout->FirstDataSector * 512;
      space.firstCluster_ = 2;
      space.clusterBytes_ = layout->BytesPerCluster;
      break;
    }
    case FsAnalyser::Ntfs:
      if (volume.BytesPerCluster < 512) {
        LogWholeDrive(u"the cluster size is unknown");
        return space;
      }
      space.clusterBytes_ = volume.BytesPerCluster;
      break;
    case FsAnalyser::None:
      LogWholeDrive(u"the drive has no FAT or NTFS file system");
      return space;
  }
  if (space.clusterBytes_ == 0) {
    LogWholeDrive(u"the cluster size is unknown");
    return space;
  }
  space.bitmap_ = &volume.ClusterBitmap;
  return space;
}

bool ScanSpace::Tests(uint64_t position) const {
  if (!bitmap_ || position < firstClusterPosition_) return true;
  const uint64_t cluster = (position - firstClusterPosition_) / clusterBytes_ + firstCluster_;
  return bitmap_->Get(cluster) == 0;
}
