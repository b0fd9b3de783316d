// What a volume learns about itself: device queries, sizes and geometry, names.
#include <algorithm>
#include <limits>

#include "app/strings.h"
#include "platform/text.h"
#include "volumes/volume.h"
#include "volumes/volume_log.h"

namespace {

constexpr int32_t kDriveTypeFixed = 3;
constexpr size_t kMaxLabelLength = 29;

// cylinders x tracks x sectors, 0 when the device's numbers are nonsense or overflow.
uint64_t SectorsOfGeometry(const platform::DiskGeometry& geometry) {
  if (geometry.Cylinders <= 0) return 0;
  uint64_t sectors = 0;
  if (__builtin_mul_overflow(static_cast<uint64_t>(geometry.Cylinders),
                             uint64_t{geometry.TracksPerCylinder}, &sectors) ||
      __builtin_mul_overflow(sectors, uint64_t{geometry.SectorsPerTrack}, &sectors))
    return 0;
  return sectors;
}

}  // namespace

// Device queries.

bool CVolume::GetGeometry(platform::DiskGeometry& geometry) {
  return WithDevice(CloseAfter::No, [&](const platform::File& device) {
    return platform::QueryGeometry(device, geometry);
  });
}

bool CVolume::GetDeviceNumber() {
  return WithDevice(CloseAfter::Yes, [&](const platform::File& device) {
    return platform::QueryDeviceNumber(device, DeviceNumber);
  });
}

bool CVolume::GetLayout() {
  return WithDevice(CloseAfter::Yes, [&](const platform::File& device) {
    return platform::QueryLayout(device, Layout);
  });
}

const platform::PartitionInfo* CVolume::GetPartitionInfo() {
  bool answered = WithDevice(CloseAfter::Yes, [&](const platform::File& device) {
    return platform::QueryPartitionInfo(device, Layout.Entries[0]);
  });
  if (answered) return &Layout.Entries[0];
  volume_log::Error(LanguageString(174), GetDisplayName());
  return nullptr;
}

void CVolume::GetDescription() {
  std::u16string description;
  if (WithDevice(CloseAfter::No, [&](const platform::File& device) {
        return platform::QueryDescription(device, description);
      }))
    Description = description;
}

// Sizes.

void CVolume::UpdateCountsFromTotalBytes() {
  if (BytesPerSector != 0) SectorCount = TotalBytes / BytesPerSector;
  if (BytesPerCluster != 0) ClusterCount = TotalBytes / BytesPerCluster;
}

// The device's geometry gives whole cylinders; when the device also tells its exact length,
// that is used, so that the sectors after the last whole cylinder are read too.
void CVolume::SizeFromGeometry() {
  if (DiskGeometry.BytesPerSector != 0) BytesPerSector = DiskGeometry.BytesPerSector;
  uint64_t bytes = 0;
  if (__builtin_mul_overflow(SectorsOfGeometry(DiskGeometry), uint64_t{BytesPerSector}, &bytes))
    bytes = 0;
  TotalBytes = std::max(bytes, DiskGeometry.DeviceBytes);
  UpdateCountsFromTotalBytes();
}

void CVolume::QueryPhysicalDisk() {
  GetDevicePath();
  if (!Open()) {
    State = VolumeStateNotReady;
    return;
  }
  DriveType = kDriveTypeFixed;
  GetDescription();
  GetDeviceNumber();
  if (GetGeometry(DiskGeometry)) SizeFromGeometry();
  GetLayout();
  State = TotalBytes != 0 ? VolumeStateReady : VolumeStateNotReady;
  Close();
}

void CVolume::QueryLetteredDrive() {
  std::u16string root = platform::Format(u"%c:\\", Letter);
  GetDevicePath();
  const platform::PartitionInfo* partition = nullptr;
  if (Open()) {
    GetDeviceNumber();
    Layout.PartitionCount = 1;
    Layout.Signature = 0;
    partition = GetPartitionInfo();
  }
  if (QueryHooks().FindParentDisk) QueryHooks().FindParentDisk(*this);
  if (partition) {
    FileSystem->TypeCode = partition->PartitionType;
    TotalBytes = static_cast<uint64_t>(std::max<int64_t>(partition->PartitionLength, 0));
  }
  platform::VolumeInformation information;
  if (platform::QueryVolumeInformation(root, information)) {
    Label = information.Label.substr(0, std::min(information.Label.size(), kMaxLabelLength));
    SerialNumber = information.SerialNumber;
    FileSystem->FsFlags = information.FileSystemFlags;
    FileSystem->SetTypeNameText(information.FileSystemName);
  } else {
    State = VolumeStateNotReady;
  }
  if (TotalBytes == 0 && !platform::QueryDiskFreeSpace(root, TotalBytes, FreeBytes) &&
      GetGeometry(DiskGeometry)) {
    SectorCount = SectorsOfGeometry(DiskGeometry);
    ClusterCount = SectorCount;
    if (DiskGeometry.BytesPerSector != 0) BytesPerSector = DiskGeometry.BytesPerSector;
    if (__builtin_mul_overflow(SectorCount, uint64_t{BytesPerSector}, &TotalBytes)) TotalBytes = 0;
  }
  if (TotalBytes != 0) {
    UpdateCountsFromTotalBytes();
    State = VolumeStateReady;
  }
  if (QueryHooks().AnalyzeBootSector) QueryHooks().AnalyzeBootSector(*this);
  if (TotalBytes != 0) {
    UpdateCountsFromTotalBytes();
    State = VolumeStateReady;
  } else {
    State = VolumeStateNotReady;
  }
  Close();
}

// Until the partition code or the image code sets the volume's own size, the geometry is the
// whole parent disk's.
void CVolume::QueryPartition() {
  GetDescription();
  GetDevicePath();
  if (GetGeometry(DiskGeometry)) SizeFromGeometry();
  GetLayout();
  State = VolumeStateReady;
}

void CVolume::QueryImage() {
  DriveType = 7;
  std::lock_guard lock(ioLock_);
  const bool wasOpen = file_.IsOpen();
  if (!wasOpen && !OpenLocked()) {
    State = VolumeStateNotReady;
    return;
  }
  TotalBytes = file_.Size();
  if (!wasOpen) CloseLocked();
  BytesPerSector = kSectorSize;
  BytesPerCluster = kSectorSize;
  SectorsPerCluster = 1;
  UpdateCountsFromTotalBytes();
  State = VolumeStateReady;
}

void CVolume::QueryInformation() {
  State = VolumeStateQuerying;
  platform::SuppressMediaErrorDialogs();
  try {
    switch (Kind) {
      case VolumeKindPhysical:
        QueryPhysicalDisk();
        break;
      case VolumeKindLogical:
        QueryLetteredDrive();
        break;
      case VolumeKindPartition:
      case VolumeKindFound:
        QueryPartition();
        break;
      case VolumeKindImage:
        QueryImage();
        break;
      default:
        State = VolumeStateReady;
        break;
    }
  } catch (...) {
    volume_log::Error(u"CVolume::QueryInformation except in drive: %s (%s), code: %d",
                      GetDisplayName(), DevicePath, platform::LastError());
  }
}

void CVolume::StartQuery() {
  if (queryRunning_.exchange(true)) return;
  if (queryThread_.joinable()) queryThread_.join();
  queryThread_ = std::thread([this] {
    queryThreadId_ = std::this_thread::get_id();
    QueryInformation();
    queryRunning_ = false;
  });
}

void CVolume::WaitForQuery() {
  if (queryThread_.joinable()) queryThread_.join();
}

// Names.

std::u16string CVolume::GetDisplayName() {
  // A running query writes the description, label and device path: other threads get the
  // name last published until it ends.
  if (queryRunning_ && queryThreadId_.load() != std::this_thread::get_id()) {
    std::lock_guard lock(displayNameLock_);
    return DisplayName;
  }
  std::u16string name;
  switch (Kind) {
    case VolumeKindPhysical:
      name = Description.empty() ? DevicePath : Description;
      break;
    case VolumeKindLogical: {
      // A drive without a letter (a Linux partition) goes by its device name.
      std::u16string drive = Letter != 0 ? platform::Format(u"%c:", Letter)
                                         : std::u16string(platform::FileNamePart(DevicePath));
      std::u16string label = platform::Trim(Label);
      name = label.empty() ? drive : platform::Format(u"%s (%s)", drive, label);
      break;
    }
    case VolumeKindPartition:
    case VolumeKindFound:
      name = platform::Format(u"Volume at: %I64d", static_cast<int64_t>(StartOffset));
      break;
    case VolumeKindImage:
      name = std::u16string(platform::FileNamePart(DevicePath));
      break;
    default: {
      std::lock_guard lock(displayNameLock_);
      return DisplayName;
    }
  }
  std::lock_guard lock(displayNameLock_);
  DisplayName = name;
  return name;
}

std::u16string CVolume::GetDevicePath() {
  switch (Kind) {
    case VolumeKindPhysical:
      if (std::u16string path = platform::PhysicalDrivePath(DiskNumber); !path.empty())
        DevicePath = path;
      break;
    case VolumeKindLogical:
      if (Letter == 0) break;  // named by its device path, which stays
      DevicePath = platform::LogicalDrivePath(Letter);
      RootPath = DevicePath + u"\\";
      break;
    case VolumeKindPartition:
    case VolumeKindFound:
      if (Parent && Parent != this) DevicePath = Parent->DevicePath;
      break;
    default:
      break;
  }
  return DevicePath;
}

int CVolume::GetFileSystemClass() const {
  switch (AnalyserForType(FileSystemType())) {
    case FsAnalyser::Fat:
      return 0;
    case FsAnalyser::Ntfs:
      return 1;
    default:
      return 2;
  }
}

std::u16string CVolume::GetFileSystemName() {
  if (!FileSystem) return std::u16string(CFileSystem::NameForType(FsTypeNone));
  if (platform::EqualsNoCase(FileSystem->TypeName, CFileSystem::NameForType(FsTypeNone))) {
    int32_t code = FileSystem->TypeCode != FsTypeNone
                       ? FileSystem->TypeCode
                       : CFileSystem::DetectFromBootSector(BootSector);
    FileSystem->SetTypeName(code);
  }
  return FileSystem->TypeName;
}
