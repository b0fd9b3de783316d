// Virtual drives: a part of a drive, chosen by a start and a size, made into a volume of its own
// (kind 4) that reads through its disk at StartOffset, so that it can be analysed like any drive.
// Here is the arithmetic of the dialog that chooses the part, and the creation of the volume.
//
// Sizes in the dialog are decimal units (1 Gb = 1000^3 bytes) shown to a tenth: "12.5". The range
// control spans the whole drive in kVirtualRangeUnits steps.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class CLocalComputer;
class CVolume;

// The unit boxes' entries, in their order.
enum class SizeUnit : int32_t { Gb = 0, Mb = 1, Kb = 2 };

constexpr int32_t kVirtualRangeUnits = 1000;

uint64_t UnitBytes(SizeUnit unit);
// Tenths of the unit, truncated: "%d.%d".
std::u16string SizeText(uint64_t bytes, SizeUnit unit);
// The label at the right end of the range control: "%d.%d GB".
std::u16string DriveSizeLabel(uint64_t driveBytes);

// The byte on the drive at a position of the range control (clamped to the control's range),
// and the position that shows a byte (rounded down).
uint64_t BytesAtRangePosition(uint64_t driveBytes, int32_t position);
int32_t RangePositionOfBytes(uint64_t driveBytes, uint64_t bytes);

struct VirtualDriveTexts {
  std::u16string Start;
  std::u16string Size;
};
// The edits' texts when the range control reports a new range (start and end in its units).
VirtualDriveTexts TextsForRange(uint64_t driveBytes, int32_t startPosition, int32_t endPosition,
                                SizeUnit startUnit, SizeUnit sizeUnit);

// An edit's number ("12", "12.5", "12,5") in a unit, as bytes; nothing for any other text or
// a value beyond 64 bits.
std::optional<uint64_t> ParseSizeText(std::u16string_view text, SizeUnit unit);

struct VirtualDriveRange {
  uint64_t Start = 0;  // bytes from the drive's first sector
  uint64_t Bytes = 0;
};

// The range the edits describe, in whole sectors (the start and the size rounded down). Nothing,
// with the reason in whyNot, when a text is not a number, the size is less than a sector, or the
// range does not lie inside the drive.
std::optional<VirtualDriveRange> RangeFromTexts(uint64_t driveBytes, std::u16string_view startText,
                                                SizeUnit startUnit, std::u16string_view sizeText,
                                                SizeUnit sizeUnit,
                                                std::u16string* whyNot = nullptr);

// The kind-4 volume over a range of a drive (a disk, a lettered drive, an image or a partition)
// with its own size and geometry and the file system found in its first sector; its Parent is
// the volume it reads through, but it is in no drive list and no Children. Null, after a log
// line, when the range is not whole sectors inside the drive or the drive cannot carry one.
std::unique_ptr<CVolume> MakeVirtualDrive(CVolume& drive, const VirtualDriveRange& range);

// The same volume added to the computer's drive list under its drive, which must be listed.
// The new volume, or null after a log line.
CVolume* CreateVirtualDrive(CLocalComputer& computer, CVolume& drive,
                            const VirtualDriveRange& range);
