#include "ui/explorer/volume_facts.h"

#include "platform/text.h"
#include "volumes/volume.h"

namespace {

std::u16string Grouped(uint64_t value) {
  std::u16string digits = platform::Format(u"%I64u", value);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, u",");
  return digits;
}

// Decimal units with one decimal, as drives are sold.
std::u16string ShortSize(uint64_t bytes) {
  static constexpr const char16_t* kUnits[] = {u"KB", u"MB", u"GB", u"TB"};
  uint64_t unit = 1000;
  int index = 0;
  while (index + 1 < 4 && bytes >= unit * 1000) {
    unit *= 1000;
    ++index;
  }
  const uint64_t tenths = bytes / (unit / 10);
  return platform::Format(u"%I64u.%I64u %s", tenths / 10, tenths % 10, kUnits[index]);
}

std::u16string StateText(int32_t state) {
  switch (state) {
    case VolumeStateQuerying:
      return u"Being queried";
    case VolumeStateReady:
      return u"Ready";
    case VolumeStateAnalysing:
      return u"Being analysed";
    default:
      return u"Not ready";
  }
}

}  // namespace

std::u16string ByteCountText(uint64_t bytes) {
  if (bytes < 1000) return Grouped(bytes) + u" bytes";
  return Grouped(bytes) + u" bytes (" + ShortSize(bytes) + u")";
}

std::u16string VolumeKindText(int kind) {
  switch (kind) {
    case VolumeKindPhysical:
      return u"Physical disk";
    case VolumeKindLogical:
      return u"Logical drive";
    case VolumeKindPartition:
      return u"Virtual drive";
    case VolumeKindImage:
      return u"Drive image";
    case VolumeKindFound:
      return u"Found partition";
    default:
      return u"Other";
  }
}

std::vector<VolumeFact> VolumeFacts(CVolume& volume) {
  std::vector<VolumeFact> facts;
  auto add = [&facts](std::u16string name, std::u16string value) {
    facts.push_back({std::move(name), std::move(value)});
  };
  add(u"Name", volume.GetDisplayName());
  add(u"Kind", VolumeKindText(volume.Kind));
  add(u"State", StateText(volume.State.load()));
  if (!volume.Description.empty() && volume.Kind != VolumeKindPhysical)
    add(u"Description", volume.Description);
  const std::u16string fileSystem = volume.GetFileSystemName();
  add(u"File system", fileSystem.empty() ? u"None found" : fileSystem);
  add(u"Size", ByteCountText(volume.TotalBytes));
  if (volume.Kind == VolumeKindLogical && volume.FreeBytes != 0)
    add(u"Free space", ByteCountText(volume.FreeBytes));
  const std::u16string label = platform::Trim(volume.Label);
  add(u"Label", label.empty() ? u"(none)" : label);
  if (volume.SerialNumber != 0)
    add(u"Serial number",
        platform::Format(u"%04X-%04X", volume.SerialNumber >> 16, volume.SerialNumber & 0xFFFF));
  add(u"Sectors", Grouped(volume.SectorCount) + u" of " + Grouped(kSectorSize) + u" bytes");
  if (volume.FileSystemType() != 0) {
    add(u"Cluster size", ByteCountText(volume.BytesPerCluster));
    add(u"Clusters", Grouped(volume.ClusterCount));
  }
  if (volume.Kind == VolumeKindPartition || volume.Kind == VolumeKindFound)
    add(u"Start on its disk", ByteCountText(volume.StartOffset));
  const std::u16string path = volume.GetDevicePath();
  if (!path.empty()) add(volume.Kind == VolumeKindImage ? u"File" : u"Device", path);
  return facts;
}
