// The found-object store at the size of a large drive: a million objects from a file-system
// pass (folders and files in a tree, names with extensions), the position index switched on,
// then a million lost objects from the sector scan in drive order, falling between the files
// already found. Reports seconds per phase, lookups, and heap bytes per stored object without
// the names.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "filesystems/found_object_store.h"
#include "signatures/file_types.h"

namespace {

constexpr int kFileSystemObjects = 1'000'000;
constexpr int kLostObjects = 1'000'000;
constexpr int kFilesPerFolder = 20;
constexpr int64_t kCluster = 4096;
constexpr int32_t kRootId = 5;
constexpr int32_t kDriveId = -31;

size_t HeapInUse() {
#ifdef __GLIBC__
  return mallinfo2().uordblks;
#else
  return 0;
#endif
}

// Wall-clock and processor seconds of one phase; on a busy machine the second is the steadier.
struct Timing {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
  void Print(const char* phase) const {
    const double wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    const double cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    std::printf("%-40s %8.2f s  (%.2f s processor)\n", phase, wallSeconds, cpuSeconds);
  }
};

// Positions of the file-system objects: every cluster of a drive, in a shuffled order, so
// the position index sees them out of order.
std::vector<int64_t> ShuffledStarts(std::mt19937& random) {
  std::vector<int64_t> starts(kFileSystemObjects);
  for (int i = 0; i < kFileSystemObjects; ++i)
    starts[i] = (static_cast<int64_t>(i) + 1) * 2 * kCluster;
  std::shuffle(starts.begin(), starts.end(), random);
  return starts;
}

void AddFileSystemPass(FoundObjectStore& store, const std::vector<int64_t>& starts) {
  static const char16_t* const kExtensions[] = {u"jpg", u"docx", u"txt", u"png",
                                                u"mp3", u"zip",  u"bin"};
  FoundObject record;
  std::u16string name;
  int32_t folder = kRootId;
  for (int i = 0; i < kFileSystemObjects; ++i) {
    ResetFoundObject(record);
    const int32_t id = 64 + i;
    const bool isFolder = i % kFilesPerFolder == 0;
    name = isFolder ? u"Folder " + std::u16string(1, u'A' + i % 26)
                    : u"document-" + std::u16string(1, u'a' + i % 26) + u"." + kExtensions[i % 7];
    record.Flags = static_cast<uint16_t>(FoundNamed | (isFolder ? FoundFolder : 0) |
                                         (i % 3 == 0 ? FoundDeleted : 0));
    record.Id = id;
    record.ParentId = folder;
    record.Start = starts[i];
    record.Size = isFolder ? 0 : 3 * kCluster;
    record.Name = name.c_str();
    store.AddFileSystemObject(record, nullptr);
    if (isFolder) folder = id;
  }
}

void AddSectorPass(FoundObjectStore& store, int16_t typeId) {
  FoundObject record;
  for (int i = 0; i < kLostObjects; ++i) {
    ResetFoundObject(record);
    record.Flags = FoundLost | FoundDeleted;
    record.Start = (static_cast<int64_t>(i) * 2 + 1) * kCluster;
    record.FirstCluster = record.Start / kCluster;
    record.FileTypeId = typeId;
    store.AddLostObject(record, nullptr);
  }
}

size_t NameBytes(const FoundObjectStore& store) {
  size_t bytes = 0;
  for (const FoundObject* record : store.AllObjects())
    if (record->Name)
      bytes += (std::char_traits<char16_t>::length(record->Name) + 1) * sizeof(char16_t);
  return bytes;
}

}  // namespace

int main() {
  FileTypeDatabase types;
  for (FileType& group : BuiltinGroups())
    types.AddGroup(std::make_unique<FileType>(std::move(group)));
  for (FileType& type : BuiltinTypes()) types.AddType(std::move(type));
  const FileType* jpeg = types.FindTypeByExtension(u"JPG");
  if (!jpeg) {
    std::printf("no JPEG type in the built-in table\n");
    return 1;
  }
  std::mt19937 random(20240611);
  const std::vector<int64_t> starts = ShuffledStarts(random);

  const size_t heapBefore = HeapInUse();
  FoundObjectStore store(&types);
  FoundObject drive{};
  drive.Flags = FoundDriveNode;
  drive.Id = kDriveId;
  drive.ParentId = IdMyComputer;
  FoundObject root{};
  root.Flags = FoundFolder | FoundNamed;
  root.Id = kRootId;
  root.ParentId = kDriveId;
  root.Name = u".";
  store.SetDriveRecord(&drive);
  store.Add(&drive, true);
  store.SetRootId(kRootId);
  store.Add(&root, true);

  std::printf("Found-object store: %d file-system objects, then %d lost objects\n\n",
              kFileSystemObjects, kLostObjects);
  Timing timing;
  AddFileSystemPass(store, starts);
  timing.Print("file-system pass (AddFileSystemObject)");
  const size_t heapAfterFileSystem = HeapInUse();
  const size_t namesAfterFileSystem = NameBytes(store);
  const size_t fileSystemCount = store.Count();

  timing = Timing();
  store.EnablePositionIndex();
  timing.Print("EnablePositionIndex");

  timing = Timing();
  AddSectorPass(store, static_cast<int16_t>(jpeg->TypeId));
  timing.Print("sector pass (AddLostObject)");
  const size_t heapAfterAll = HeapInUse();
  const size_t namesAfterAll = NameBytes(store);

  timing = Timing();
  size_t found = 0;
  for (int i = 0; i < kFileSystemObjects; ++i)
    found += store.FindById(64 + static_cast<int32_t>(random() % kFileSystemObjects)) != nullptr;
  timing.Print("a million FindById, random identifiers");
  std::printf("%-40s %8zu of %d\n", "found", found, kFileSystemObjects);
  std::printf("%-40s %8zu\n", "records stored", store.Count());
  if (heapBefore || heapAfterAll) {
    const double fileSystemBytes =
        double(heapAfterFileSystem - heapBefore - namesAfterFileSystem) / fileSystemCount;
    const double allBytes = double(heapAfterAll - heapBefore - namesAfterAll) / store.Count();
    std::printf("%-40s %8.0f bytes\n", "heap per object after the file-system pass",
                fileSystemBytes);
    std::printf("%-40s %8.0f bytes\n", "heap per object after both passes", allBytes);
    std::printf("%-40s %8.1f MiB\n", "names (not counted above)", namesAfterAll / 1048576.0);
  } else {
    std::printf("(heap figures need glibc's mallinfo2)\n");
  }
  return 0;
}
