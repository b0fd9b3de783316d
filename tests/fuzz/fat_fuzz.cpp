// Fuzz target for the FAT analyser. The input picks one of three small FAT volumes (FAT12,
// FAT16, FAT32: long names, deleted entries, nested folders, chained files) and patches bytes
// anywhere in it, or is itself the whole volume. Whatever the bytes, the walk, the fragment
// parser and the data reads must stay inside their buffers, end, and never report an object
// whose identifier could be taken for one of the store's own nodes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "filesystems/fat_analyser.h"
#include "filesystems/fat_test_support.h"

using namespace fat_testing;
using FB = FatImageBuilder;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::vector<Entry> Join(std::initializer_list<std::vector<Entry>> groups) {
  std::vector<Entry> all;
  for (const auto& group : groups) all.insert(all.end(), group.begin(), group.end());
  return all;
}

std::vector<uint8_t> BaseVolume(FatWidth width) {
  FatImageBuilder image(width, 64);
  for (uint32_t cluster = 2; cluster < 66; ++cluster)
    image.Stamp(cluster, static_cast<uint8_t>(cluster));
  const uint32_t root = image.RootCluster();
  image.Chain({10});
  image.Chain({11, 12});
  image.Chain({20, 22, 21});
  image.Chain({30});
  image.PutEntries(
      root, Join({
                {FB::ShortEntry("LABEL      ", 0x08, 0, 0)},
                FB::NamedEntry(u"A folder with a long name", "AFOLDE~1   ", 0x10, 10, 0),
                FB::NamedEntry(u"fragmented \u00E9t\u00E9.bin", "FRAGME~1BIN", 0x20, 20, 1400),
                FB::Deleted(FB::NamedEntry(u"gone.txt", "GONE    TXT", 0x20, 40, 900)),
                {FB::ShortEntry("EMPTY   TXT", 0x20, 0, 0)},
            }));
  image.PutEntries(
      10,
      Join({
          {FB::ShortEntry(".          ", 0x10, 10, 0), FB::ShortEntry("..         ", 0x10, 0, 0)},
          {FB::ShortEntry("INNER   DAT", 0x20, 11, 1000)},
          FB::NamedEntry(u"Nested", "NESTED     ", 0x10, 30, 0),
          FB::Deleted({FB::ShortEntry("OLDDIR     ", 0x10, 50, 0)}),
      }));
  image.PutEntries(30, {FB::ShortEntry("DEEP    TXT", 0x20, 31, 10)});
  image.PutEntries(50, FB::Deleted({FB::ShortEntry("LOST    TXT", 0x20, 51, 10)}));
  return image.Bytes();
}

const std::vector<uint8_t>& Base(int which) {
  static const std::vector<uint8_t> bases[3] = {
      BaseVolume(FatWidth::Fat12), BaseVolume(FatWidth::Fat16), BaseVolume(FatWidth::Fat32)};
  return bases[which];
}

constexpr int32_t kTypeCodes[3] = {1, 6, 11};

class CheckingSink : public IFoundObjectSink {
 public:
  void OnFoundObject(const FoundObject& record) override {
    Check(record.Name != nullptr);
    Check(record.Id >= 0 && record.ParentId >= 0);
    if (objects.size() < 16) objects.push_back(record);
  }
  std::vector<FoundObject> objects;
};

// Reads into a heap block of exactly count bytes, so that a write past it is seen.
void ReadObject(CFileSystem_FAT& fat, const FoundObject& record, uint64_t offset, uint32_t count) {
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[count]);
  Check(fat.FileRead(record, buffer.get(), offset, count) <= count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int mode = data[0] % 4;
  std::vector<uint8_t> bytes;
  int32_t typeCode = 0;
  if (mode == 3) {
    // The whole volume from the input; the second byte picks the layout.
    if (size < 2) return 0;
    typeCode = kTypeCodes[data[1] % 3];
    bytes.assign(data + 2, data + size);
    bytes.resize((bytes.size() + 511) / 512 * 512);
  } else {
    typeCode = kTypeCodes[mode];
    bytes = Base(mode);
    // Patches of three bytes: a 16-bit position (taken modulo the size) and the byte put there.
    for (size_t at = 1; at + 3 <= size; at += 3)
      bytes[(data[at] | data[at + 1] << 8) % bytes.size()] = data[at + 2];
  }
  MemoryVolume volume(std::move(bytes), typeCode);
  CheckingSink sink;
  CFileSystem_FAT fat(volume, nullptr, &sink);
  fat.Analyse();

  for (const FoundObject& record : sink.objects) {
    ReadObject(fat, record, 0, 1500);
    ReadObject(fat, record, 513, 700);
    FoundObject deleted = record;
    deleted.Flags ^= FoundDeleted;
    ReadObject(fat, deleted, 1024, 512);
  }
  FoundObject fragment{};
  fragment.Flags = FoundFragment;
  for (int64_t start : {int64_t{0}, int64_t{4096}, int64_t{20 * 512}}) {
    fragment.Start = start;
    fat.AnalyseFragment(fragment);
  }
  return 0;
}
