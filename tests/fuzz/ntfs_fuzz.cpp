// Fuzz target for the NTFS analyser. A small NTFS image made by mkntfs and ntfs-3g
// (tests/fixtures/ntfs_images.sh, found through LUMENARD_FIXTURES) is patched with the input:
// its first two bytes choose where in the MFT's first 256 KiB (or, with the top bit set, in the
// boot sector) the rest is written. Whatever the bytes, the walk, the record parser and the
// data reads must stay inside their buffers and end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "filesystems/fat_test_support.h"
#include "filesystems/found_object_sink.h"
#include "filesystems/ntfs_analyser.h"

namespace {

std::vector<uint8_t> LoadBase() {
  const char* folder = std::getenv("LUMENARD_FIXTURES");
  const std::string path = std::string(folder ? folder : "build/fixtures") + "/ntfs/basic.img";
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 1024 * 1024) std::abort();  // the fixture is needed
  return bytes;
}

// Reads the first 64 KiB of every object reported, as the recovery would.
class ReadingSink : public IFoundObjectSink {
 public:
  CFileSystem_NTFS* ntfs = nullptr;
  void OnFoundObject(const FoundObject& record) override {
    if (ntfs && ++count_ < 200) ntfs->FileRead(record, buffer_, 0, sizeof buffer_);
  }

 private:
  int count_ = 0;
  uint8_t buffer_[65536];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<uint8_t> base = LoadBase();
  if (size < 3) return 0;
  fat_testing::MemoryVolume volume(base, FsTypeNtfs);
  std::vector<uint8_t>& bytes = volume.Bytes();
  const uint16_t where = static_cast<uint16_t>(data[0] | data[1] << 8);
  size_t at = 0;
  if (where & 0x8000) {
    at = where & 0x1FF;
  } else {
    uint64_t mft = 0;  // the fixture's clusters are 4096 bytes
    std::memcpy(&mft, base.data() + 48, 8);
    at = static_cast<size_t>(mft * 4096) + static_cast<size_t>(where) * 8;
  }
  const size_t n = std::min(size - 2, bytes.size() - std::min(at, bytes.size()));
  std::memcpy(bytes.data() + at, data + 2, n);
  ReadingSink sink;
  CFileSystem_NTFS ntfs(volume, nullptr, &sink);
  sink.ntfs = &ntfs;
  ntfs.Analyse();
  FoundObject fragment{};
  fragment.Start = static_cast<int64_t>(at / 512 * 512);
  ntfs.AnalyseFragment(fragment);
  return 0;
}
