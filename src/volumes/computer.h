// The computer object: the root of everything the program knows about the machine. It holds
// the log, the file-type database and the drive list, hands out the identifiers of the drive
// nodes, adds the partitions that are found on a disk, and hears of media that come and go.
// One per process, created at startup, never destroyed, reached through g_pComputer.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "app/log.h"
#include "filesystems/found_object.h"
#include "recovery/recovery.h"
#include "signatures/file_types.h"
#include "volumes/analysis_driver.h"
#include "volumes/analysis_status.h"
#include "volumes/volume.h"
#include "volumes/volumes_list.h"

// WM_DEVICECHANGE events and the volume broadcast that comes with them.
constexpr uintptr_t kDeviceArrival = 0x8000;         // DBT_DEVICEARRIVAL
constexpr uintptr_t kDeviceRemoveComplete = 0x8004;  // DBT_DEVICEREMOVECOMPLETE
constexpr uint32_t kDeviceTypeVolume = 2;            // DBT_DEVTYP_VOLUME

// The layout of DEV_BROADCAST_VOLUME.
struct DeviceBroadcastVolume {
  uint32_t Size;
  uint32_t DeviceType;
  uint32_t Reserved;
  uint32_t UnitMask;  // bit 0 is drive A
  uint16_t Flags;
};
static_assert(offsetof(DeviceBroadcastVolume, DeviceType) == 4);
static_assert(offsetof(DeviceBroadcastVolume, UnitMask) == 12);
static_assert(offsetof(DeviceBroadcastVolume, Flags) == 16);
static_assert(sizeof(DeviceBroadcastVolume) == 20);

class CLocalComputer {
 public:
  CLocalComputer();
  virtual ~CLocalComputer();
  CLocalComputer(const CLocalComputer&) = delete;
  CLocalComputer& operator=(const CLocalComputer&) = delete;

  // The filter record and the two recovery jobs join this object with the filter and recovery
  // work.

  CLog Log;
  FileTypeDatabase FileTypes;
  CVolumesList Volumes;

  // The roots of the drive tree; never opened.
  CVolume ComputerNode;
  CVolume RecycleBinNode;
  // The drive selected in the views, the one being analysed and the one shown; the computer
  // node until there is one.
  CVolume* SelectedVolume = &ComputerNode;
  CVolume* AnalysedVolume = &ComputerNode;
  CVolume* ShownVolume = &ComputerNode;

 private:
  // The status record when there is no application object to hold it (tests, tools).
  AnalysisStatus ownStatus_;

 public:
  // The application object's analysis status record, or the computer's own.
  AnalysisStatus* const Status;
  // Runs the analyses of the volumes above and keeps their queue.
  CAnalysisDriver Analysis;

  // The two recovery jobs: Recover (to DestinationFolder) and Try To Open (to TemporaryFolder,
  // with its TemporaryFiles). Declared after the list and the status record they use.
  CRecovery MainJob{*this, CRecovery::Kind::Main};
  CRecovery TryOpenJob{*this, CRecovery::Kind::TryOpen};
  // True while a recovery job copies from the volume: its analysis must wait.
  bool RecoveryHolds(const CVolume& volume) const {
    return MainJob.HeldVolume() == &volume || TryOpenJob.HeldVolume() == &volume;
  }

  // Identifiers of drive nodes: -31, -32, ... Safe to call from any thread.
  int32_t NextRecordId() { return nextVolumeId_.fetch_sub(1) - 1; }

  // The volume that now stands for the partition of record (Start: byte offset on the disk,
  // ParentId: the disk's record, FileTypeId: the partition type): a volume that already
  // covers it (marked FoundAlsoScanned), or a new found volume added to the list. Null when
  // the disk is not listed or the partition cannot lie on it. partitionBytes is the length a
  // partition table gives; without it (0) the volume reaches to the end of its disk.
  CVolume* AddFoundVolume(const FoundObject& record, uint64_t partitionBytes = 0);

  // WM_DEVICECHANGE as the windows receive it: a medium that arrives is logged and the drives
  // are scanned again; one that is removed is logged. Both are passed on to the main window
  // as UM_DEVICE_CHANGE with the same parameters, which the receiver only compares: lParam
  // points into the system's message and is gone by then. Returns 0.
  int OnDeviceChange(uintptr_t wParam, intptr_t lParam);

 private:
  // A lettered drive's query: the listed physical disk with the drive's device number
  // becomes its Parent.
  void FindParentDisk(CVolume& drive);
  // A listed found or lettered volume of disk that already covers the partition at start
  // bytes from the start of disk, or null. Called with the list's lock held.
  CVolume* FindKnownPartitionLocked(CVolume& disk, uint64_t start);

  std::atomic<int32_t> nextVolumeId_{-30};
};

// Creates the process's computer object and sets g_pComputer, g_pLog and g_pFileTypes.
CLocalComputer* CreateLocalComputer();

extern CLocalComputer* g_pComputer;
