// Partitions found on a disk, by its partition table or by the sector scan, become volumes of
// the drive list that read through the disk at the partition's offset.
#include <limits>

#include "app/app.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "app/strings.h"
#include "filesystems/file_system_codes.h"
#include "platform/text.h"
#include "volumes/computer.h"
#include "volumes/partition_table.h"
#include "volumes/volume_log.h"

namespace {

bool IsPartitionKind(const CVolume& volume) {
  return volume.Kind == VolumeKindFound || volume.Kind == VolumeKindPartition;
}

bool HasParent(const CVolume& volume) {
  return volume.Parent != nullptr && volume.Parent != &volume;
}

// A partition from a partition table has the size its entry gives, as far as the disk holds
// it; a boot sector that the sector scan found reaches to the end of its disk.
uint64_t FoundVolumeBytes(const CVolume& owner, uint64_t start, uint64_t partitionBytes) {
  const uint64_t toEnd = owner.TotalBytes > start ? owner.TotalBytes - start : 0;
  if (partitionBytes == 0) return toEnd;
  return toEnd != 0 && partitionBytes > toEnd ? toEnd : partitionBytes;
}

}  // namespace

CVolume* CLocalComputer::FindKnownPartitionLocked(CVolume& disk, uint64_t start) {
  for (CVolume* volume : Volumes.ItemsLocked()) {
    if (volume == &disk) continue;
    if (volume->Parent != &disk && volume->RootRecord.ParentId != disk.RootRecord.Id) continue;
    if (IsPartitionKind(*volume) && volume->StartOffset == start) return volume;
    if (volume->Kind == VolumeKindLogical && volume->Layout.Entries[0].StartingOffset >= 0 &&
        static_cast<uint64_t>(volume->Layout.Entries[0].StartingOffset) == start)
      return volume;
  }
  return nullptr;
}

CVolume* CLocalComputer::AddFoundVolume(const FoundObject& record, uint64_t partitionBytes) {
  std::unique_ptr<CVolume> found;
  CVolume* volume = nullptr;
  CVolume* disk = nullptr;
  CVolumeUse diskUse;
  {
    std::unique_lock lock = Volumes.Lock();
    CVolume* owner = Volumes.FindByIdLocked(record.ParentId);
    if (!owner || record.Start < 0) return nullptr;
    // A partition inside a partition volume lies on that volume's own disk, and is read there.
    disk = owner;
    uint64_t start = static_cast<uint64_t>(record.Start);
    if (IsPartitionKind(*owner) && HasParent(*owner)) {
      if (owner->StartOffset > std::numeric_limits<uint64_t>::max() - start) return nullptr;
      start += owner->StartOffset;
      disk = owner->Parent;
    }
    if (CVolume* known = FindKnownPartitionLocked(*disk, start)) {
      known->RootRecord.Flags |= FoundAlsoScanned;
      return known;
    }
    if ((owner->Kind == VolumeKindLogical || owner->Kind == VolumeKindImage) && record.Start == 0) {
      owner->RootRecord.Flags |= FoundAlsoScanned;
      return owner;
    }
    if (owner->TotalBytes != 0 && static_cast<uint64_t>(record.Start) >= owner->TotalBytes) {
      volume_log::Error(u"A partition at %I64d lies beyond the end of %s; it is not added",
                        record.Start, owner->GetDisplayName());
      return nullptr;
    }

    found = std::make_unique<CVolume>();
    volume = found.get();
    volume->FileSystem->TypeCode = FileSystemGroupOf(record.FileTypeId);
    if (g_pLog)
      g_pLog->Add(LogLevelInfo,
                  platform::Format(LanguageString(179), FileSystemGroupName(record.FileTypeId),
                                   static_cast<int64_t>(record.Start)));
    volume->Kind = VolumeKindFound;
    volume->StartOffset = start;
    volume->TotalBytes =
        FoundVolumeBytes(*owner, static_cast<uint64_t>(record.Start), partitionBytes);
    volume->DevicePath = disk->DevicePath;
    volume->DriveType = disk->DriveType;
    volume->RootRecord.ParentId = owner->RootRecord.Id;
    volume->RootRecord.Id = NextRecordId();
    volume->RootRecord.Flags = FoundDriveNode;
    CVolumesList::AttachChildLocked(*disk, *volume);
    // The disk must outlive the reads of the boot sector below, whatever a rescan does.
    diskUse = Volumes.UseLocked(disk);
  }

  const bool readable = volume->AnalyzeBootSector() == 1;
  volume->State = readable ? VolumeStateReady : VolumeStateNotReady;

  {
    std::unique_lock lock = Volumes.Lock();
    // A rescan took the disk off the list meanwhile: a volume on it would outlive it.
    if (!Volumes.IsListedLocked(disk)) {
      std::erase(disk->Children, volume);
      return nullptr;
    }
    Volumes.AddLocked(std::move(found));
  }
  if (g_pApp)
    if (IMessageTarget* window = g_pApp->MainWindow())
      window->Post(UM_FOUND_VOLUME_ADDED, reinterpret_cast<uintptr_t>(volume), 0);
  return volume;
}
