// lumenard-cli info PATH: what the drive or image is, as the volume query finds it.
#include <iostream>
#include <string>

#include "cli/command.h"
#include "cli/engine_session.h"
#include "cli/volume_from_path.h"
#include "filesystems/file_system.h"
#include "platform/text.h"
#include "volumes/volume.h"

namespace {

const char* KindName(int32_t kind) {
  switch (kind) {
    case VolumeKindPhysical:
      return "disk";
    case VolumeKindLogical:
      return "lettered drive";
    case VolumeKindPartition:
      return "partition";
    case VolumeKindImage:
      return "drive image";
    case VolumeKindFound:
      return "found volume";
    default:
      return "other";
  }
}

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

void PrintField(const char* name, const std::string& value) {
  std::string label = std::string(name) + ":";
  label.resize(15, ' ');
  std::cout << label << value << "\n";
}

void PrintVolume(CVolume& volume, const std::string& path) {
  PrintField("Path", path);
  PrintField("Kind", std::string(KindName(volume.Kind)) + " (" + std::to_string(volume.Kind) + ")");
  PrintField("Display name", Utf8(volume.GetDisplayName()));
  if (!volume.Description.empty()) PrintField("Description", Utf8(volume.Description));
  PrintField("Size", std::to_string(volume.TotalBytes) + " bytes");
  PrintField("Sectors", std::to_string(volume.SectorCount) + " of " +
                            std::to_string(volume.BytesPerSector) + " bytes");
  PrintField("Clusters", std::to_string(volume.ClusterCount) + " of " +
                             std::to_string(volume.BytesPerCluster) + " bytes");
  const platform::DiskGeometry& geometry = volume.DiskGeometry;
  if (geometry.Cylinders > 0)
    PrintField("Geometry", std::to_string(geometry.Cylinders) + " cylinders, " +
                               std::to_string(geometry.TracksPerCylinder) +
                               " tracks per cylinder, " + std::to_string(geometry.SectorsPerTrack) +
                               " sectors per track, " + std::to_string(geometry.BytesPerSector) +
                               " bytes per sector, media type " +
                               std::to_string(geometry.MediaType));
  if (volume.DeviceNumber.Number >= 0)
    PrintField("Device number", std::to_string(volume.DeviceNumber.Number) + ", partition " +
                                    std::to_string(volume.DeviceNumber.PartitionNumber));
}

int RunInfo(const CliArgs& args) {
  if (args.size() != 1) return CliUsageError("info takes one path");
  EngineSession session;
  std::unique_ptr<CVolume> volume = VolumeFromPath(args[0]);
  if (!volume) return kExitFailure;
  volume->QueryInformation();
  if (volume->State != VolumeStateReady) return CliFailure("cannot read '" + args[0] + "'");
  PrintVolume(*volume, args[0]);
  if (volume->ReadSectors(volume->BootSector.data(), 0, 2) < kSectorSize)
    return CliFailure("cannot read the first sector of '" + args[0] + "'");
  int32_t detected = CFileSystem::DetectFromBootSector(volume->BootSector);
  PrintField("File system", Utf8(volume->GetFileSystemName()) + " (type " +
                                std::to_string(detected) + ", from the boot sector)");
  return kExitSuccess;
}

}  // namespace

LUMENARD_CLI_COMMAND(info, "info PATH",
                     "show what a drive or drive image is: size, geometry, file system", RunInfo);
