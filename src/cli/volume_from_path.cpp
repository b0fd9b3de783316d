#include "cli/volume_from_path.h"

#include "cli/command.h"
#include "platform/device.h"
#include "platform/text.h"
#include "volumes/volume.h"

std::unique_ptr<CVolume> VolumeFromPath(const std::string& utf8Path) {
  std::u16string path = platform::Utf8ToUtf16(utf8Path);
  platform::PathKind kind = platform::ClassifyPath(path);
  if (kind == platform::PathKind::Missing) {
    CliFailure("no drive or image at '" + utf8Path + "'");
    return nullptr;
  }
  auto volume = std::make_unique<CVolume>();
  volume->DevicePath = path;
  switch (kind) {
    case platform::PathKind::Disk:
      volume->Kind = VolumeKindPhysical;
      break;
    case platform::PathKind::Volume:
#ifdef _WIN32
      volume->Kind = VolumeKindLogical;
      volume->Letter = platform::AsciiToUpper(path[4]);
#else
      // A partition device reads from its own first sector, as a disk of its own does.
      volume->Kind = VolumeKindPhysical;
#endif
      break;
    default:
      volume->Kind = VolumeKindImage;
      break;
  }
  return volume;
}
