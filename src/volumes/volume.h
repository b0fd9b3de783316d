// One readable source of 512-byte sectors: a physical disk, a lettered volume, a partition
// inside a disk, a drive image, or a pseudo-node of the drive tree. Every analyser, scanner,
// viewer and the recovery read a medium through ReadSectors.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "filesystems/file_system.h"
#include "filesystems/found_object.h"
#include "filesystems/found_object_store.h"
#include "platform/device.h"
#include "platform/file.h"
#include "volumes/bit_array.h"

enum VolumeKind : int32_t {
  VolumeKindPhysical = 1,
  VolumeKindLogical = 2,
  VolumeKindPartition = 4,
  VolumeKindImage = 8,
  VolumeKindFound = 16,
  VolumeKindComputer = 32,
  VolumeKindRecycleBin = 64,
};

enum VolumeState : int32_t {
  VolumeStateQuerying = -1,
  VolumeStateNotReady = 0,
  VolumeStateReady = 1,
  VolumeStateAnalysing = 2,
};

// The read path always counts 512-byte sectors, whatever the device reports.
constexpr uint32_t kSectorSize = 512;
// One read transfers less than 4 GiB.
constexpr uint64_t kMaxSectorsPerRead = 0xFFFFFFFFull / kSectorSize;
// What AnalyzeBootSector returns when the boot sector cannot be read (E_FAIL).
constexpr int32_t kBootSectorUnreadable = static_cast<int32_t>(0x80004005);
// Retries of a short read when there is no application object.
constexpr int32_t kDefaultReadRetries = 10;
// A damaged setting must not turn one short read into an endless loop.
constexpr int32_t kMaxReadRetries = 100;

class CVolume;

// Steps of the information query that belong to the drive list and the boot-sector analysis.
// The computer object installs them at start; while unset the query skips them.
struct CVolumeQueryHooks {
  // A lettered drive: find the physical disk with the same device number in the drive list,
  // make it the Parent and register the drive among its Children.
  std::function<void(CVolume&)> FindParentDisk;
  // Reads the boot sector and takes type, cluster size, sizes, serial and label from it.
  std::function<void(CVolume&)> AnalyzeBootSector;
};

class CVolume {
 public:
  CVolume();
  virtual ~CVolume();
  CVolume(const CVolume&) = delete;
  CVolume& operator=(const CVolume&) = delete;

  static CVolumeQueryHooks& QueryHooks();

  // Opens the device (kinds 1, 2, 8: DevicePath; kinds 4, 16: the parent's DevicePath) unless it
  // is open. False after logging the system's reason.
  bool Open();
  void Close();
  bool IsOpen() const;

  // Reads count whole sectors counted from the volume's start; the bytes read, 0 on failure.
  // A short read is tried again up to the ReadRetries setting; a failed one is not.
  virtual uint32_t ReadSectors(void* buffer, uint64_t firstSector, uint64_t count);
  // The same with a signed count; a negative count reads nothing.
  uint32_t ReadSectors32(void* buffer, uint64_t firstSector, int32_t count);
  // count bytes at any byte position of the volume, through ReadSectors: whole sectors straight
  // into the buffer, partly wanted ones at either end through a sector of its own. The bytes
  // delivered, fewer when a read fails or the volume ends.
  uint32_t ReadBytes(uint64_t position, void* buffer, uint32_t count);
  // Reads length bytes at offset from the record's Start (sector-aligned positions).
  // The buffer needs room for length bytes only.
  uint32_t FileRead(const FoundObject& record, void* buffer, uint64_t offset, uint32_t length);
  // A found object's data: through the file system's own FileRead for the FAT and NTFS types
  // whose analyser maps the object's clusters, else through FileRead.
  uint32_t ReadObjectData(const FoundObject& record, void* buffer, uint64_t offset,
                          uint32_t length);

  // Device queries. GetGeometry and GetDescription open the device and leave it open; the other
  // three close it again when they had to open it.
  bool GetGeometry(platform::DiskGeometry& geometry);
  bool GetDeviceNumber();
  bool GetLayout();
  // The first layout entry, filled by the device; null after logging when it cannot say.
  const platform::PartitionInfo* GetPartitionInfo();
  void GetDescription();

  // Fills sizes, geometry, label and State for the volume's kind (State -1 while it runs).
  void QueryInformation();
  // QueryInformation on a thread of its own; nothing when one is running. While it runs, it
  // alone writes the volume's fields: other threads read them once IsQueryRunning is false
  // (GetDisplayName gives the last published name meanwhile).
  void StartQuery();
  bool IsQueryRunning() const { return queryRunning_; }
  void WaitForQuery();

  // The first two sectors into BootSector; the bytes read, 0 after logging when not even one
  // whole sector could be read.
  uint32_t ReadBootSector();
  // Takes the file-system type, cluster size, sizes, serial and label from the boot sector and,
  // when it names no file system, walks the partition table. 1, or kBootSectorUnreadable.
  int32_t AnalyzeBootSector();
  // Reads the partition table in the sector at baseSector (extendedBase 0 for the master boot
  // record), follows extended partitions and hands every partition not yet known to the
  // computer object's AddFoundVolume. Only a volume of the drive list has partitions found.
  void ScanPartitionTable(uint64_t baseSector, uint64_t extendedBase);
  // The length of the device or image file in bytes, opening it when needed; 0 when unknown.
  uint64_t DeviceSize();
  // The device or image file that the volume's sectors are read from: its own DevicePath, or
  // for a partition its disk's; empty for a partition without its disk.
  std::u16string OpenPath() const;

  std::u16string GetDisplayName();
  std::u16string GetDevicePath();
  // 0 for the FAT type codes, 1 for NTFS, 2 for any other.
  int GetFileSystemClass() const;
  std::u16string GetFileSystemName();
  // The folder that holds a found object, with a trailing backslash: "C:\a\b\" on a lettered
  // drive, "\a\b\" on others.
  std::u16string GetObjectFolderPath(const FoundObject& object) const {
    return Store.GetObjectFolderPath(object, Kind == VolumeKindLogical ? Letter : char16_t{0});
  }
  int32_t FileSystemType() const { return FileSystem ? FileSystem->TypeCode : 0; }
  // The volume's length in 512-byte sectors, 0 when unknown. SectorCount may count the
  // device's own sectors (4096 bytes on a 4Kn disk), so the larger of the two sizes holds.
  uint64_t Sectors512() const { return std::max(TotalBytes / kSectorSize, SectorCount); }

  // The first two sectors of the volume as last read.
  std::array<uint8_t, 2 * kSectorSize> BootSector{};
  std::u16string DevicePath;
  std::u16string RootPath;
  std::unique_ptr<CFileSystem> FileSystem;
  // Every object found on the volume; cleared when the volume goes.
  FoundObjectStore Store;
  CBitArray ClusterBitmap;
  // The volume's own record in the drive tree (FoundDriveNode): ParentId IdMyComputer and
  // Volume this volume at construction; the drive list gives it its identifier.
  FoundObject RootRecord{};

  // The physical disk this volume lies on; the volume itself when there is none.
  CVolume* Parent = this;
  std::vector<CVolume*> Children;

  int32_t DriveType = 0;  // GetDriveType for lettered drives, 3 disks, 7 images
  int32_t Kind = 0;
  uint64_t TotalBytes = 0;
  uint64_t FreeBytes = 0;
  std::atomic<int32_t> State{VolumeStateNotReady};
  char16_t Letter = 0;      // kind 2; 0 for a drive named by its device path (Linux)
  int32_t DiskNumber = -1;  // kind 1: the system's number of the disk
  std::u16string Description;
  std::u16string DisplayName;
  std::u16string Label;

  std::array<uint8_t, 8> OemName{};
  uint32_t SerialNumber = 0;
  uint32_t SerialNumberHigh = 0;
  uint32_t SectorsPerCluster = 1;
  uint32_t BytesPerSector = kSectorSize;
  uint32_t BytesPerCluster = kSectorSize;
  uint64_t SectorCount = 0;
  uint64_t ClusterCount = 0;
  uint64_t StartOffset = 0;  // byte offset of the volume on its parent disk
  uint32_t Capabilities = 0;

  platform::DiskGeometry DiskGeometry;
  platform::DriveLayout Layout;
  platform::DeviceNumber DeviceNumber;

  // Folders and files found by the file-system pass and by the sector pass.
  std::atomic<int32_t> FileSystemFolders{0};
  std::atomic<int32_t> FileSystemFiles{0};
  std::atomic<int32_t> ScanFolders{0};
  std::atomic<int32_t> ScanFiles{0};
  // Reads that delivered less than was asked, over the volume's life (the wizard shows the
  // count of its pass as the difference).
  std::atomic<uint32_t> ReadErrors{0};
  // 1 when the sector pass only searches for lost drives. The pass threads themselves belong
  // to the analysis driver.
  int32_t SectorScanOption = 0;

 protected:
  // One transfer from the open device; ReadSectors retries around it. Tests replace it to
  // play a device that reads short, fails or times out.
  virtual platform::ReadResult ReadDevice(uint64_t position, void* buffer, uint32_t bytes,
                                          uint32_t timeoutMs);

 private:
  enum class CloseAfter { No, Yes };

  bool OpenLocked();
  void CloseLocked();
  // Runs a device query on the open device, opening it first when needed.
  bool WithDevice(CloseAfter closeAfter, const std::function<bool(const platform::File&)>& query);
  void UpdateCountsFromTotalBytes();
  void SizeFromGeometry();

  void QueryPhysicalDisk();
  void QueryLetteredDrive();
  void QueryPartition();
  void QueryImage();

  // Held from setting the position of a read to taking its result, and while the handle changes.
  mutable std::mutex ioLock_;
  platform::File file_;
  std::mutex displayNameLock_;
  std::thread queryThread_;
  std::atomic<bool> queryRunning_{false};
  std::atomic<std::thread::id> queryThreadId_{};
};
