// lumenard-cli drives [IMAGE...]: the drives of the machine as the drive list holds them, or
// the given drive images with the partitions found on them.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/command.h"
#include "cli/engine_session.h"
#include "platform/text.h"
#include "volumes/computer.h"
#include "volumes/image.h"
#include "volumes/volume.h"

namespace {

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

const char* KindName(int32_t kind) {
  switch (kind) {
    case VolumeKindPhysical: return "disk";
    case VolumeKindLogical: return "drive";
    case VolumeKindPartition: return "virtual";
    case VolumeKindImage: return "image";
    case VolumeKindFound: return "found";
    default: return "other";
  }
}

const char* StateName(int32_t state) {
  switch (state) {
    case VolumeStateQuerying: return "querying";
    case VolumeStateReady: return "ready";
    case VolumeStateAnalysing: return "analysing";
    default: return "not ready";
  }
}

std::string HumanSize(uint64_t bytes) {
  static const char* const kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB"};
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  double value = static_cast<double>(bytes);
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*" PRIX32, digits, value);
  return text;
}

// FAT writes its serial as "1234-ABCD", NTFS as 16 hex digits.
std::string SerialText(const CVolume& volume) {
  if (volume.SerialNumberHigh != 0) return Hex(volume.SerialNumberHigh, 8) + Hex(volume.SerialNumber, 8);
  if (volume.SerialNumber == 0) return {};
  return Hex(volume.SerialNumber >> 16, 4) + "-" + Hex(volume.SerialNumber & 0xFFFF, 4);
}

std::string Column(std::string text, size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text + "  ";
}

// What the volume is and where it lies: the device or file, or the offset on its disk.
std::string Details(CVolume& volume) {
  std::string details;
  if (volume.Kind == VolumeKindFound || volume.Kind == VolumeKindPartition)
    details = "offset " + std::to_string(volume.StartOffset);
  else
    details = Utf8(volume.DevicePath);
  if (volume.Kind != VolumeKindPhysical) {
    std::u16string label = platform::Trim(volume.Label);
    if (!label.empty()) details += ", label \"" + Utf8(label) + "\"";
    if (std::string serial = SerialText(volume); !serial.empty()) details += ", serial " + serial;
  }
  return details;
}

void PrintHeader() {
  std::cout << Column("KIND", 8) << Column("NAME", 28) << Column("SIZE", 10) << Column("FILE SYSTEM", 11)
            << Column("STATE", 9) << "DETAILS\n";
}

void PrintVolume(CVolume& volume, int depth) {
  std::string kind = std::string(static_cast<size_t>(depth) * 2, ' ') + KindName(volume.Kind);
  // Its query still writes the other fields: only what it does not touch is printed.
  if (volume.IsQueryRunning()) {
    std::cout << Column(kind, 8) << Column(Utf8(volume.GetDisplayName()), 28) << Column("-", 10)
              << Column("-", 11) << Column(StateName(VolumeStateQuerying), 9) << "\n";
    return;
  }
  std::string fileSystem = volume.Kind == VolumeKindPhysical ? "-" : Utf8(volume.GetFileSystemName());
  std::cout << Column(kind, 8) << Column(Utf8(volume.GetDisplayName()), 28) << Column(HumanSize(volume.TotalBytes), 10)
            << Column(fileSystem, 11) << Column(StateName(volume.State), 9) << Details(volume) << "\n";
}

// Volumes in list order, each followed by the partitions found on it.
void PrintVolumes(CVolumesList& list) {
  const std::vector<CVolume*> items = list.Items();
  PrintHeader();
  auto isFoundOn = [](const CVolume* volume, const CVolume* disk) {
    return volume->Kind == VolumeKindFound && volume->Parent == disk && volume != disk;
  };
  for (CVolume* volume : items) {
    if (volume->Kind == VolumeKindFound && volume->Parent != volume) continue;
    PrintVolume(*volume, 0);
    for (CVolume* found : items)
      if (isFoundOn(found, volume)) PrintVolume(*found, 1);
  }
}

// A slow or failing drive may answer late; the others are printed when it has not within
// this time.
constexpr auto kQueryWait = std::chrono::seconds(10);

void WaitForQueries(CVolumesList& list) {
  const auto end = std::chrono::steady_clock::now() + kQueryWait;
  const std::vector<CVolume*> items = list.Items();
  for (CVolume* volume : items)
    while (volume->IsQueryRunning() && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

int RunDrives(const CliArgs& args) {
  CliOptions options(args, {});
  if (!options.ok()) return CliUsageError(options.error());
  EngineSession session;
  CLocalComputer computer;
  CLocalComputer* previous = g_pComputer;
  g_pComputer = &computer;
  int code = kExitSuccess;
  if (options.Positional().empty()) {
    computer.Volumes.Rescan(RescanMode::OnThisThread);
  } else {
    for (const std::string& path : options.Positional())
      if (!LoadImage(computer, platform::Utf8ToUtf16(path))) code = CliFailure("cannot open the drive image '" + path + "'");
  }
  WaitForQueries(computer.Volumes);
  PrintVolumes(computer.Volumes);
  std::cout.flush();
  computer.Volumes.WaitForQueries();
  g_pComputer = previous;
  return code;
}

}  // namespace

LUMENARD_CLI_COMMAND_WITH_DETAILS(
    drives, "drives [IMAGE...]", "list the drives of the machine, or the partitions found in drive images",
    "Without arguments: the disks and drives of the machine, as a rescan finds them (reading a\n"
    "disk needs administrator or root rights). With drive images: each image, its boot sector\n"
    "analysed, and below it every partition of its partition table (extended ones included)\n"
    "with its byte offset, file system, label and serial number.",
    RunDrives);
