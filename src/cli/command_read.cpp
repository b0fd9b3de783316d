// lumenard-cli read PATH SECTOR [COUNT]: a hex dump of sectors as the volume reads them.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/engine_session.h"
#include "cli/volume_from_path.h"
#include "volumes/volume.h"

namespace {

// Sectors read per call, so that a long dump needs little memory.
constexpr uint64_t kChunkSectors = 2048;
constexpr uint64_t kBytesPerLine = 16;

// "offset  16 bytes in hex  |ASCII|", the offset counted in bytes from the start of the volume.
void DumpLine(uint64_t offset, const uint8_t* bytes, size_t count) {
  char text[32];
  std::snprintf(text, sizeof text, "%08llx ", static_cast<unsigned long long>(offset));
  std::string line = text;
  for (size_t i = 0; i < kBytesPerLine; ++i) {
    if (i == 8) line += ' ';
    if (i < count) {
      std::snprintf(text, sizeof text, " %02x", bytes[i]);
      line += text;
    } else {
      line += "   ";
    }
  }
  line += "  |";
  for (size_t i = 0; i < count; ++i)
    line += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
  line += "|\n";
  std::cout << line;
}

void Dump(uint64_t offset, const std::vector<uint8_t>& buffer, size_t bytes) {
  for (size_t at = 0; at < bytes; at += kBytesPerLine)
    DumpLine(offset + at, buffer.data() + at,
             bytes - at < kBytesPerLine ? bytes - at : kBytesPerLine);
}

int RunRead(const CliArgs& args) {
  if (args.size() < 2 || args.size() > 3)
    return CliUsageError("read takes a path, a sector and a count");
  std::optional<uint64_t> first = ParseCliNumber(args[1]);
  if (!first) return CliUsageError("'" + args[1] + "' is not a sector number");
  std::optional<uint64_t> count =
      args.size() == 3 ? ParseCliNumber(args[2]) : std::optional<uint64_t>(1);
  if (!count || *count == 0) return CliUsageError("'" + args[2] + "' is not a sector count");
  if (*first > UINT64_MAX / kSectorSize || *count > UINT64_MAX / kSectorSize - *first)
    return CliUsageError("sectors beyond any drive");

  EngineSession session;
  std::unique_ptr<CVolume> volume = VolumeFromPath(args[0]);
  if (!volume) return kExitFailure;
  std::vector<uint8_t> buffer(kChunkSectors * kSectorSize);
  for (uint64_t done = 0; done < *count;) {
    uint64_t sectors = *count - done < kChunkSectors ? *count - done : kChunkSectors;
    uint64_t sector = *first + done;
    uint32_t read = volume->ReadSectors(buffer.data(), sector, sectors);
    Dump(sector * kSectorSize, buffer, read);
    if (read < sectors * kSectorSize)
      return CliFailure("cannot read sector " + std::to_string(sector + read / kSectorSize) +
                        " of '" + args[0] + "'");
    done += sectors;
  }
  return kExitSuccess;
}

}  // namespace

LUMENARD_CLI_COMMAND(read, "read PATH SECTOR [COUNT]",
                     "print sectors of a drive or drive image as a hex dump", RunRead);
