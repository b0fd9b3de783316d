// Fuzz target for the sector pass's own work on every candidate: the type screen, the format
// rules and the hand-over to the store, over a small in-memory volume of mutated bytes. The
// first input byte picks the scanner's block size (so the rules meet directory and header bytes
// past the block) and a sector that fails to read. Whatever the bytes: the screen agrees with
// Matches, nothing reads outside the block or the volume, a header size never runs past the
// volume's end, a compound document keeps a compound-document type, and the store's sizes stay
// inside the volume.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "app/settings.h"
#include "app/settings_store.h"
#include "filesystems/found_object_store.h"
#include "platform/system.h"
#include "signatures/file_types.h"
#include "signatures/format_rules.h"
#include "signatures/searcher.h"
#include "signatures/type_matcher.h"
#include "volumes/analysis_status.h"
#include "volumes/volume.h"

namespace {

constexpr size_t kMaxVolume = 256 * 1024;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Sectors of the input; one of them, chosen by the input, fails to read.
class FuzzVolume : public CVolume {
 public:
  FuzzVolume(std::vector<uint8_t> bytes, uint64_t failing)
      : bytes_(std::move(bytes)), failing_(failing) {
    Kind = VolumeKindImage;
    SectorCount = bytes_.size() / kSectorSize;
  }
  uint32_t ReadSectors(void* buffer, uint64_t first, uint64_t count) override {
    if (count == 0 || first >= SectorCount || count > SectorCount - first) return 0;
    if (failing_ >= first && failing_ - first < count) return 0;
    std::memcpy(buffer, bytes_.data() + first * kSectorSize, count * kSectorSize);
    return static_cast<uint32_t>(count * kSectorSize);
  }
  std::span<const uint8_t> Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t failing_;
};

struct Scan {
  FileTypeDatabase database;
  std::unique_ptr<TypeMatcher> matcher;
  Scan() {
    for (FileType& type : BuiltinTypes()) database.AddType(std::move(type));
    matcher = std::make_unique<TypeMatcher>(database);
  }
};

const Scan& TheScan() {
  static const Scan scan;
  return scan;
}

bool IsCompoundType(int16_t id) { return id == kTypeCompoundDocumentId || (id > 500 && id < 524); }

void CheckRules(const FoundObject& before, const FoundObject& after, uint64_t volumeEnd) {
  if (after.Flags & FoundSizeFromHeader) {
    Check(after.Size > 0 && static_cast<uint64_t>(after.Start) < volumeEnd);
    Check(static_cast<uint64_t>(after.Size) <= volumeEnd - static_cast<uint64_t>(after.Start));
  } else if (after.FileTypeId != kTypeNtfsIndexRecord) {
    Check(after.Size == -1);
  }
  Check(after.Start >= 0 && after.Start <= before.Start);
  if (before.FileTypeId == kTypeCompoundDocumentId) Check(IsCompoundType(after.FileTypeId));
}

// Every unit of one block, as a worker tests it, handed to the store.
void ScanBlock(FuzzVolume& volume, std::span<const uint8_t> block, uint64_t blockStart,
               FoundObjectStore& store) {
  const Scan& scan = TheScan();
  for (size_t offset = 0; offset < block.size(); offset += kSectorSize) {
    const uint8_t* candidate = block.data() + offset;
    const size_t readable = block.size() - offset;
    std::vector<int32_t> plain, screened;
    for (const auto& type : scan.database.Types())
      if (FileTypeDatabase::Matches(*type, candidate, readable)) plain.push_back(type->TypeId);
    scan.matcher->ForEachMatch(candidate, readable, [&](const FileType& type) {
      screened.push_back(type.TypeId);
      FoundObject object;
      ResetFoundObject(object);
      object.Flags = FoundLost | FoundDeleted;
      object.Start = static_cast<int64_t>(blockStart + offset);
      object.FirstCluster = object.Start / kSectorSize;
      object.FileTypeId = static_cast<int16_t>(type.TypeId);
      const FoundObject before = object;
      ApplyFormatRules(volume, block, offset, object);
      CheckRules(before, object, volume.SectorCount * kSectorSize);
      if (!(object.Flags & FoundFragment) && object.FileTypeId >= 30)
        store.AddLostObject(object, nullptr);
      return true;
    });
    Check(plain == screened);
  }
}

// The scanner itself over the same volume, its objects handed to a store of their own:
// nothing it hands over lies past the volume's end.
void RunScanner(FuzzVolume& volume, size_t blockBytes, int32_t workers) {
  auto settings = std::make_unique<SettingsRecord>();
  FillDefaults(*settings);
  settings->ScanMode = 0;
  settings->SearchThreads = workers;
  settings->SearchBlockSize = static_cast<int32_t>(blockBytes);
  AnalysisStatus status{};
  status.Running = 1;
  FoundObjectStore store(&TheScan().database);
  store.EnablePositionIndex();
  const uint64_t end = volume.SectorCount * kSectorSize;
  CSearcher searcher(
      volume, status,
      [&](const FoundObject& object) {
        Check(object.Start >= 0 && static_cast<uint64_t>(object.Start) < end);
        if (object.Flags & FoundSizeFromHeader)
          Check(static_cast<uint64_t>(object.Size) <= end - static_cast<uint64_t>(object.Start));
        if (!(object.Flags & FoundFragment) && object.FileTypeId >= 30)
          store.AddLostObject(object, nullptr);
      },
      &TheScan().database, settings.get());
  searcher.Run();
  // Run lowers the calling thread's priority, as a scan should; the fuzzer's own work should not
  // stay there.
  platform::SetCurrentThreadPriority(platform::ThreadPriority::Normal);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t blockUnits = 1 + data[0] % 8;
  std::vector<uint8_t> bytes(data + 2, data + std::min(size, kMaxVolume));
  bytes.resize((bytes.size() + kSectorSize - 1) / kSectorSize * kSectorSize, 0);
  if (bytes.empty()) return 0;
  const uint64_t failing = data[1] < 0x80 ? data[1] : UINT64_MAX;
  FuzzVolume volume(std::move(bytes), failing);

  FoundObjectStore store(&TheScan().database);
  store.EnablePositionIndex();
  const std::span<const uint8_t> all = volume.Bytes();
  const size_t blockBytes = blockUnits * kSectorSize;
  for (size_t start = 0; start < all.size(); start += blockBytes) {
    // The block holds only what was read: a failing sector reads as zeros, as in the scanner.
    std::vector<uint8_t> block(all.begin() + start,
                               all.begin() + std::min(all.size(), start + blockBytes));
    if (failing != UINT64_MAX && failing * kSectorSize >= start &&
        failing * kSectorSize < start + block.size())
      std::fill_n(block.begin() + (failing * kSectorSize - start), kSectorSize, 0);
    ScanBlock(volume, block, start, store);
  }

  RunScanner(volume, blockBytes, 1 + data[0] / 8 % 2);

  const uint64_t end = all.size();
  for (FoundObject* object : store.AllObjects())
    if ((object->Flags & FoundLost) && object->Size >= 0)
      Check(object->Start >= 0 &&
            static_cast<uint64_t>(object->Start) + static_cast<uint64_t>(object->Size) <=
                std::max<uint64_t>(end, static_cast<uint64_t>(object->Start)));
  return 0;
}
