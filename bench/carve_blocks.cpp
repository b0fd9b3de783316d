// The sector scan in process over the carving image held in memory: one scan per number of
// workers (1, 2, 4) and block size (64 KiB, 2 MiB, 16 MiB), each timed by wall clock and by the
// process's processor time, and every scan's objects compared with the first one's: the
// listing must not depend on either setting. With one worker the processor time per byte is
// the scan's own cost (screen, format rules, hand-over), without the reading of a device.
// usage: carve_blocks IMAGE
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/settings.h"
#include "app/settings_store.h"
#include "signatures/file_types.h"
#include "signatures/searcher.h"
#include "volumes/analysis_status.h"
#include "volumes/volume.h"

namespace {

class MemoryImage : public CVolume {
 public:
  explicit MemoryImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    Kind = VolumeKindImage;
    TotalBytes = bytes_.size();
    SectorCount = bytes_.size() / kSectorSize;
  }
  uint32_t ReadSectors(void* buffer, uint64_t first, uint64_t count) override {
    if (count == 0 || first >= SectorCount || count > SectorCount - first) return 0;
    std::memcpy(buffer, bytes_.data() + first * kSectorSize, count * kSectorSize);
    return static_cast<uint32_t>(count * kSectorSize);
  }

 private:
  std::vector<uint8_t> bytes_;
};

struct Found {
  int64_t start;
  int64_t size;
  int16_t type;
  uint16_t flags;
  bool operator==(const Found&) const = default;
};

double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: carve_blocks IMAGE\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
  if (bytes.empty()) {
    std::fprintf(stderr, "carve_blocks: cannot read %s\n", argv[1]);
    return 1;
  }
  const double mb = static_cast<double>(bytes.size()) / 1e6;
  MemoryImage volume(std::move(bytes));
  FileTypeDatabase types;
  for (FileType& group : BuiltinGroups())
    types.AddGroup(std::make_unique<FileType>(std::move(group)));
  for (FileType& type : BuiltinTypes()) types.AddType(std::move(type));

  std::printf("%-8s %-10s %8s %11s %10s %13s %8s\n", "workers", "block", "wall", "by wall",
              "processor", "by processor", "objects");
  std::vector<Found> first;
  bool same = true;
  for (int32_t workers : {1, 2, 4}) {
    for (int32_t block : {64 << 10, 2 << 20, 16 << 20}) {
      SettingsRecord settings{};
      FillDefaults(settings);
      settings.ScanMode = 0;
      settings.SearchThreads = workers;
      settings.SearchBlockSize = block;
      AnalysisStatus status{};
      status.Running = 1;
      std::vector<Found> found;
      CSearcher searcher(
          volume, status,
          [&](const FoundObject& o) {
            found.push_back({o.Start, o.Size, o.FileTypeId, o.Flags});
          },
          &types, &settings);
      const auto started = std::chrono::steady_clock::now();
      const double processorStarted = ProcessSeconds();
      searcher.Run();
      const double processor = ProcessSeconds() - processorStarted;
      const double wall =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      std::printf("%-8d %7d KiB %7.2f s %6.0f MB/s %8.2f s %8.0f MB/s %8zu\n", workers, block >> 10,
                  wall, mb / wall, processor, mb / processor, found.size());
      if (first.empty()) first = found;
      if (found != first) {
        std::printf("  the objects DIFFER from those of 1 worker with 64 KiB blocks\n");
        same = false;
      }
    }
  }
  std::printf(same ? "the same objects with every number of workers and block size\n" : "");
  return same ? 0 : 1;
}
