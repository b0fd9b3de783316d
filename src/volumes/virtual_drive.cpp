// The virtual-drive dialog's arithmetic and the kind-4 volume it creates.
#include "volumes/virtual_drive.h"

#include <algorithm>

#include "platform/text.h"
#include "volumes/computer.h"
#include "volumes/volume.h"
#include "volumes/volume_log.h"

namespace {

using Wide = unsigned __int128;

// a x b / c without overflow in between; c is not 0 and the result fits when a <= c.
uint64_t MulDiv(uint64_t a, uint64_t b, uint64_t c) {
  return static_cast<uint64_t>(static_cast<Wide>(a) * b / c);
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

void SetReason(std::u16string* whyNot, std::u16string reason) {
  if (whyNot) *whyNot = std::move(reason);
}

// The volume whose sector 0 is the drive's sector 0 when opened, and the drive's offset on it.
struct ReadBase {
  CVolume* volume = nullptr;
  uint64_t offset = 0;
};

std::optional<ReadBase> ReadBaseOf(CVolume& drive) {
  switch (drive.Kind) {
    case VolumeKindPhysical:
    case VolumeKindLogical:
    case VolumeKindImage:
      return ReadBase{&drive, 0};
    case VolumeKindPartition:
    case VolumeKindFound:
      if (!drive.Parent || drive.Parent == &drive) return std::nullopt;
      return ReadBase{drive.Parent, drive.StartOffset};
    default:
      return std::nullopt;
  }
}

}  // namespace

uint64_t UnitBytes(SizeUnit unit) {
  switch (unit) {
    case SizeUnit::Mb:
      return 1000ull * 1000;
    case SizeUnit::Kb:
      return 1000;
    default:
      return 1000ull * 1000 * 1000;
  }
}

std::u16string SizeText(uint64_t bytes, SizeUnit unit) {
  const uint64_t tenths = bytes / (UnitBytes(unit) / 10);
  return platform::Format(u"%I64u.%I64u", tenths / 10, tenths % 10);
}

std::u16string DriveSizeLabel(uint64_t driveBytes) {
  return SizeText(driveBytes, SizeUnit::Gb) + u" GB";
}

uint64_t BytesAtRangePosition(uint64_t driveBytes, int32_t position) {
  const int32_t clamped = std::clamp(position, 0, kVirtualRangeUnits);
  return MulDiv(driveBytes, static_cast<uint64_t>(clamped), kVirtualRangeUnits);
}

int32_t RangePositionOfBytes(uint64_t driveBytes, uint64_t bytes) {
  if (driveBytes == 0) return 0;
  return static_cast<int32_t>(MulDiv(std::min(bytes, driveBytes), kVirtualRangeUnits, driveBytes));
}

VirtualDriveTexts TextsForRange(uint64_t driveBytes, int32_t startPosition, int32_t endPosition,
                                SizeUnit startUnit, SizeUnit sizeUnit) {
  const uint64_t start = BytesAtRangePosition(driveBytes, startPosition);
  const uint64_t end = std::max(start, BytesAtRangePosition(driveBytes, endPosition));
  return {SizeText(start, startUnit), SizeText(end - start, sizeUnit)};
}

std::optional<uint64_t> ParseSizeText(std::u16string_view text, SizeUnit unit) {
  std::u16string trimmed = platform::Trim(text);
  std::u16string_view digits = trimmed;
  const size_t point = digits.find_first_of(u".,");
  std::u16string_view whole = digits.substr(0, point);
  std::u16string_view fraction =
      point == std::u16string_view::npos ? std::u16string_view() : digits.substr(point + 1);
  if (whole.empty() && fraction.empty()) return std::nullopt;
  if (!std::all_of(whole.begin(), whole.end(), IsDigit) ||
      !std::all_of(fraction.begin(), fraction.end(), IsDigit))
    return std::nullopt;
  const uint64_t unitBytes = UnitBytes(unit);
  Wide bytes = 0;
  for (char16_t c : whole) {
    bytes = bytes * 10 + static_cast<uint64_t>(c - u'0');
    if (bytes * unitBytes > UINT64_MAX) return std::nullopt;
  }
  bytes *= unitBytes;
  // Digits below a byte add nothing.
  uint64_t scale = unitBytes;
  for (char16_t c : fraction) {
    if (scale < 10) break;
    scale /= 10;
    bytes += static_cast<uint64_t>(c - u'0') * scale;
  }
  if (bytes > UINT64_MAX) return std::nullopt;
  return static_cast<uint64_t>(bytes);
}

std::optional<VirtualDriveRange> RangeFromTexts(uint64_t driveBytes, std::u16string_view startText,
                                                SizeUnit startUnit, std::u16string_view sizeText,
                                                SizeUnit sizeUnit, std::u16string* whyNot) {
  std::optional<uint64_t> start = ParseSizeText(startText, startUnit);
  std::optional<uint64_t> size = ParseSizeText(sizeText, sizeUnit);
  if (!start || !size) {
    SetReason(whyNot, platform::Format(u"'%s' is not a number", !start ? startText : sizeText));
    return std::nullopt;
  }
  VirtualDriveRange range{*start / kSectorSize * kSectorSize, *size / kSectorSize * kSectorSize};
  if (range.Bytes == 0) {
    SetReason(whyNot, u"the size is less than one sector");
    return std::nullopt;
  }
  if (range.Start > driveBytes || range.Bytes > driveBytes - range.Start) {
    SetReason(whyNot, u"the range does not lie inside the drive");
    return std::nullopt;
  }
  return range;
}

std::unique_ptr<CVolume> MakeVirtualDrive(CVolume& drive, const VirtualDriveRange& range) {
  const std::u16string name = drive.GetDisplayName();
  std::optional<ReadBase> base = ReadBaseOf(drive);
  if (!base) {
    volume_log::Error(u"Create virtual drive: '%s' is not a drive that can be read", name);
    return nullptr;
  }
  if (range.Start % kSectorSize != 0 || range.Bytes % kSectorSize != 0 || range.Bytes == 0 ||
      range.Start > drive.TotalBytes || range.Bytes > drive.TotalBytes - range.Start ||
      base->offset > UINT64_MAX - range.Start) {
    volume_log::Error(
        u"Create virtual drive: %I64u bytes at byte %I64u are not whole sectors inside '%s' "
        u"(%I64u bytes)",
        range.Bytes, range.Start, name, drive.TotalBytes);
    return nullptr;
  }
  auto volume = std::make_unique<CVolume>();
  volume->Kind = VolumeKindPartition;
  volume->Parent = base->volume;
  volume->StartOffset = base->offset + range.Start;
  volume->DevicePath = base->volume->DevicePath;
  volume->DriveType = drive.DriveType;
  volume->Description = drive.Description;
  volume->DiskGeometry = drive.DiskGeometry;
  volume->RootRecord.ParentId = drive.RootRecord.Id;
  volume->RootRecord.Flags = FoundDriveNode;
  volume->TotalBytes = range.Bytes;
  volume->SectorCount = range.Bytes / kSectorSize;
  const bool readable = volume->AnalyzeBootSector() == 1;
  // The range is what the user chose, whatever the boot sector claims.
  volume->TotalBytes = range.Bytes;
  volume->SectorCount = range.Bytes / kSectorSize;
  if (volume->BytesPerCluster != 0) volume->ClusterCount = range.Bytes / volume->BytesPerCluster;
  volume->State = readable ? VolumeStateReady : VolumeStateNotReady;
  return volume;
}

CVolume* CreateVirtualDrive(CLocalComputer& computer, CVolume& drive,
                            const VirtualDriveRange& range) {
  // The drive and the disk it lies on must outlive the boot-sector read, whatever a rescan does.
  CVolumeUse use = computer.Volumes.Use(&drive);
  if (!use) {
    volume_log::Error(u"Create virtual drive: '%s' is not in the drive list",
                      drive.GetDisplayName());
    return nullptr;
  }
  std::unique_ptr<CVolume> volume = MakeVirtualDrive(drive, range);
  if (!volume) return nullptr;
  volume->RootRecord.Id = computer.NextRecordId();
  CVolume* created = volume.get();
  std::unique_lock lock = computer.Volumes.Lock();
  // A rescan took the drive off the list meanwhile: a volume on it would outlive its disk.
  if (!computer.Volumes.IsListedLocked(volume->Parent)) {
    volume_log::Error(u"Create virtual drive: '%s' left the drive list", drive.GetDisplayName());
    return nullptr;
  }
  CVolumesList::AttachChildLocked(*volume->Parent, *volume);
  computer.Volumes.AddLocked(std::move(volume));
  return created;
}
