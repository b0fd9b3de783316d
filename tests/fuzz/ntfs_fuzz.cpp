// Fuzz target for the NTFS analyser. The bases are the images of tests/fixtures/ntfs_images.sh
// (found through LUMENARD_FIXTURES): nested folders, resident, fragmented, sparse and deleted
// files, a file whose record needs an attribute list, and a volume of 4096-byte records; and the
// image of tests/fixtures/ntfs_compressed.sh, whose compressed files put the LZNT1 decoder and
// the compression units under the patches (their data lies past the MFT). Each
// is read once; a run sees one of them through patches taken from the input, so that no run
// copies an image. Whatever the bytes, the walk, the record parser, the fragment parser and
// the data reads must stay inside their buffers, end, and report only objects that a store
// can hold.
//
// Input: one byte that picks the base, then patches, each
//   a header byte   bits 6-7: where (0 and 1 the MFT, 2 the boot sector, 3 the whole image);
//                   bits 0-5: length - 1
//   a 24-bit place  the offset there, modulo its size
//   the bytes       written there (fewer when the input ends first)
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "filesystems/fat_test_support.h"
#include "filesystems/found_object_sink.h"
#include "filesystems/ntfs_analyser.h"
#include "volumes/volume.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

struct Base {
  std::vector<uint8_t> bytes;
  uint64_t mftOffset = 0;
  uint64_t mftBytes = 0;
};

class NullSink : public IFoundObjectSink {
 public:
  void OnFoundObject(const FoundObject&) override {}
};

Base LoadBase(const char* name) {
  const char* folder = std::getenv("LUMENARD_FIXTURES");
  const std::string path =
      std::string(folder ? folder : "build/fixtures") + "/ntfs/" + name + ".img";
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  Base base;
  base.bytes.resize(in ? static_cast<size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(base.bytes.data()),
          static_cast<std::streamsize>(base.bytes.size()));
  // The fixtures are needed: without them every run would test nothing.
  Check(base.bytes.size() >= 1024 * 1024 && base.bytes.size() % 512 == 0);
  // Where the MFT lies, as the analyser finds it on the intact image.
  fat_testing::MemoryVolume volume(base.bytes, FsTypeNtfs);
  NullSink sink;
  CFileSystem_NTFS ntfs(volume, nullptr, &sink);
  ntfs.Analyse();
  Check(ntfs.Layout() != nullptr && ntfs.RecordCount() > 16);
  base.mftOffset = ntfs.Layout()->MftCluster * ntfs.Layout()->BytesPerCluster;
  base.mftBytes = ntfs.RecordCount() * ntfs.Layout()->RecordSize;
  return base;
}

const Base& Bases(int which) {
  static const Base bases[4] = {LoadBase("basic"), LoadBase("listed"), LoadBase("record4k"),
                                LoadBase("compressed")};
  return bases[which];
}

struct Patch {
  uint64_t at;
  std::span<const uint8_t> bytes;
};

std::vector<Patch> ReadPatches(const Base& base, std::span<const uint8_t> input) {
  std::vector<Patch> patches;
  size_t at = 0;
  while (input.size() - at >= 5) {
    const uint8_t header = input[at];
    const uint64_t place = input[at + 1] | input[at + 2] << 8 | input[at + 3] << 16;
    const size_t length = std::min<size_t>((header & 0x3F) + 1, input.size() - at - 4);
    uint64_t where = 0;
    switch (header >> 6) {
      case 2:
        where = place % 512;
        break;
      case 3:
        where = place * 2 % base.bytes.size();
        break;
      default:
        where = base.mftOffset + place % base.mftBytes;
    }
    patches.push_back({where, input.subspan(at + 4, length)});
    at += 4 + length;
  }
  return patches;
}

// A volume that reads a base image with the patches written over it, later patches over
// earlier ones; reads beyond the image fail as a device would.
class PatchedVolume : public CVolume {
 public:
  PatchedVolume(const std::vector<uint8_t>& base, std::vector<Patch> patches)
      : base_(base), patches_(std::move(patches)) {
    Kind = VolumeKindImage;
    SectorCount = base_.size() / kSectorSize;
    FileSystem->TypeCode = FsTypeNtfs;
  }
  uint32_t ReadSectors(void* buffer, uint64_t firstSector, uint64_t count) override {
    if (count == 0 || firstSector >= SectorCount || count > SectorCount - firstSector) return 0;
    const uint64_t from = firstSector * kSectorSize, to = from + count * kSectorSize;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    std::memcpy(out, base_.data() + from, to - from);
    for (const Patch& patch : patches_) {
      const uint64_t begin = std::max(from, patch.at);
      const uint64_t end = std::min(to, patch.at + patch.bytes.size());
      if (begin < end)
        std::memcpy(out + (begin - from), &patch.bytes[begin - patch.at], end - begin);
    }
    return static_cast<uint32_t>(to - from);
  }

 private:
  const std::vector<uint8_t>& base_;
  std::vector<Patch> patches_;
};

// Keeps the objects whose data the run reads: a few of the system files of records 0 to 15,
// and the files and folders after them, where the bases keep what was written.
class CheckingSink : public IFoundObjectSink {
 public:
  void OnFoundObject(const FoundObject& record) override {
    Check(record.Name != nullptr);
    Check(record.Id >= 0 && record.ParentId >= 0 && record.Id != IdRootNtfs);
    int& kept = record.Id < 16 ? systemKept_ : othersKept_;
    if (kept < (record.Id < 16 ? 4 : 40)) {
      ++kept;
      objects.push_back(record);
    }
  }
  std::vector<FoundObject> objects;

 private:
  int systemKept_ = 0;
  int othersKept_ = 0;
};

// Reads into a heap block of exactly count bytes, so that a write past it is seen.
void ReadObject(CFileSystem_NTFS& ntfs, const FoundObject& record, uint64_t offset,
                uint32_t count) {
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[count]);
  Check(ntfs.FileRead(record, buffer.get(), offset, count) <= count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const Base& base = Bases(data[0] % 4);
  std::vector<Patch> patches = ReadPatches(base, std::span<const uint8_t>(data + 1, size - 1));
  const uint64_t firstPatch = patches.empty() ? base.mftOffset : patches.front().at;
  PatchedVolume volume(base.bytes, std::move(patches));
  CheckingSink sink;
  CFileSystem_NTFS ntfs(volume, nullptr, &sink);
  ntfs.Analyse();

  // Names point into the analyser's scratch, which the next record overwrote.
  for (FoundObject& record : sink.objects) {
    record.Name = u"";
    ReadObject(ntfs, record, 0, 4096);
    ReadObject(ntfs, record, 69000, 3000);
    ReadObject(ntfs, record, static_cast<uint64_t>(std::max<int64_t>(record.Size, 0)), 700);
  }
  FoundObject lost{};
  lost.Flags = FoundLost;
  lost.Start = static_cast<int64_t>(base.bytes.size()) - 1000;
  ReadObject(ntfs, lost, 0, 2000);

  FoundObject fragment{};
  fragment.Flags = FoundFragment;
  fragment.Start = static_cast<int64_t>(firstPatch / 512 * 512);
  ntfs.AnalyseFragment(fragment);
  return 0;
}
