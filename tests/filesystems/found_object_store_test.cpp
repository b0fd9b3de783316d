// The found-object store: placeholders and their resolution, lost objects (merge, naming,
// group folders, sizes), lookups in insertion order, ancestors, folder paths, clearing, the
// index under random use, and several writers with a reader.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/message_target.h"
#include "app/messages.h"
#include "filesystems/found_object_index.h"
#include "filesystems/found_object_store.h"
#include "signatures/file_types.h"
#include "volumes/volume.h"

namespace {

constexpr int32_t kDriveId = -31;
constexpr int16_t kJpeg = 40;
constexpr int16_t kDisabled = 41;
constexpr int16_t kSystem = 42;

class RecordingTarget : public IMessageTarget {
 public:
  struct Message {
    FoundObject* record;
    intptr_t event;
  };
  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    std::lock_guard<std::mutex> lock(mutex_);
    EXPECT_EQ(message, UM_FOUND_OBJECT);
    messages_.push_back({reinterpret_cast<FoundObject*>(wParam), lParam});
  }
  intptr_t Send(uint32_t, uintptr_t, intptr_t) override { return 0; }
  std::vector<Message> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(messages_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<Message> messages_;
};

std::unique_ptr<FileType> MakeType(int16_t id, int32_t group, std::u16string_view extensions,
                                   int32_t enabled) {
  auto type = std::make_unique<FileType>();
  type->TypeId = id;
  type->GroupId = group;
  type->Enabled = enabled;
  type->SetExtensions(extensions);
  type->SetNamePrefix(u"image");
  type->SetDescription(u"JPEG Image");
  return type;
}

FoundObject Record(uint16_t flags, int32_t id, int32_t parentId, const char16_t* name = nullptr) {
  FoundObject record;
  ResetFoundObject(record);
  record.Flags = static_cast<uint16_t>(flags | (name ? FoundNamed : 0));
  record.Id = id;
  record.ParentId = parentId;
  record.Name = name;
  return record;
}

FoundObject Lost(int64_t start, int16_t type = kJpeg) {
  FoundObject record = Record(FoundLost | FoundDeleted, 0, 0);
  record.Start = start;
  record.FileTypeId = type;
  return record;
}

std::u16string NameOf(const FoundObject* record) {
  return record && record->Name ? record->Name : u"";
}

// A FAT32 drive: the drive's record and the root folder (2), as the analysis driver sets them up.
class StoreTest : public ::testing::Test {
 protected:
  StoreTest() : store(&types) {
    types.AddGroup(std::make_unique<FileType>(FileType::Group(GroupImages, u"Images")));
    types.AddType(MakeType(kJpeg, GroupImages, u"JPG,JPEG", 1));
    types.AddType(MakeType(kDisabled, GroupImages, u"TMPX", 0));
    types.AddType(MakeType(kSystem, GroupSystem, u"SYS1", 1));
    drive = Record(FoundDriveNode, kDriveId, IdMyComputer);
    root = Record(FoundFolder, IdRootFat32, kDriveId, u".");
    store.SetDriveRecord(&drive);
    store.Add(&drive, true);
    store.SetRootId(IdRootFat32);
    store.Add(&root, true);
  }

  FoundObject* AddFolder(int32_t id, int32_t parentId, const char16_t* name) {
    return store.AddFileSystemObject(Record(FoundFolder, id, parentId, name), &target);
  }
  FoundObject* AddFile(int32_t id, int32_t parentId, const char16_t* name, int64_t start = 0,
                       int64_t size = 100) {
    FoundObject record = Record(0, id, parentId, name);
    record.Start = start;
    record.Size = size;
    return store.AddFileSystemObject(record, &target);
  }
  std::vector<FoundObject*> Children(int32_t id) {
    std::vector<FoundObject*> children;
    store.Children(id, children);
    return children;
  }

  FileTypeDatabase types;
  FoundObjectStore store;
  RecordingTarget target;
  FoundObject drive;
  FoundObject root;
};

TEST_F(StoreTest, PlaceholderBecomesTheRealFolderAndKeepsItsChildren) {
  FoundObject* first = AddFile(100, 7, u"a.txt");
  auto messages = target.Take();
  ASSERT_EQ(messages.size(), 2u);
  FoundObject* placeholder = messages[0].record;
  EXPECT_EQ(messages[0].event, LostFolderAdded);
  EXPECT_EQ(messages[1].record, first);
  EXPECT_EQ(messages[1].event, FoundAdded);
  EXPECT_EQ(placeholder->Id, 7);
  EXPECT_EQ(placeholder->ParentId, IdLostFolders);
  EXPECT_EQ(placeholder->Flags, 0x93);
  EXPECT_EQ(NameOf(placeholder), u"lost_folder_7");
  EXPECT_EQ(store.GetObjectFolderPath(*first, u'E'), u"lost_folder_7\\");

  // A second orphan of the same folder, and a file that merely shares the folder's
  // identifier, hang below the same placeholder without making another.
  FoundObject* second = AddFile(101, 7, u"b.txt");
  FoundObject* namesake = AddFile(7, 2, u"c.txt");
  messages = target.Take();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].event, FoundAdded);
  EXPECT_NE(namesake, placeholder);
  EXPECT_EQ(Children(IdLostFolders), std::vector<FoundObject*>{placeholder});

  placeholder->ViewItem = 77;
  FoundObject* folder = AddFolder(7, IdRootFat32, u"Photos");
  messages = target.Take();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].record, placeholder);
  EXPECT_EQ(messages[0].event, LostFolderResolved);
  EXPECT_EQ(messages[1].record, placeholder);
  EXPECT_EQ(messages[1].event, FoundAdded);
  EXPECT_EQ(folder, placeholder);
  EXPECT_EQ(NameOf(folder), u"Photos");
  EXPECT_EQ(folder->ParentId, IdRootFat32);
  EXPECT_EQ(folder->Flags, FoundFolder | FoundNamed);
  EXPECT_EQ(folder->ViewItem, 77u) << "the views' tree item survives";
  EXPECT_TRUE(Children(IdLostFolders).empty());
  EXPECT_EQ(Children(7), (std::vector<FoundObject*>{first, second}));
  EXPECT_EQ(Children(IdRootFat32), (std::vector<FoundObject*>{namesake, folder}));
  EXPECT_EQ(store.GetObjectFolderPath(*first, u'E'), u"E:\\Photos\\");
  EXPECT_EQ(store.GetObjectFolderPath(*first, 0), u"\\Photos\\");

  // A second folder 7 is just another folder.
  FoundObject* again = AddFolder(7, IdRootFat32, u"Again");
  EXPECT_NE(again, placeholder);
  EXPECT_EQ(store.FindFolderById(7), placeholder);
}

TEST_F(StoreTest, ParentsThatNeedNoPlaceholder) {
  const size_t before = store.Count();
  AddFile(100, IdRootFat32, u"in-root.txt");
  AddFile(101, 0, u"parent-zero.txt");
  AddFolder(IdRootFat32, 55, u"root-again");
  AddFile(0, 56, u"id-zero.txt");
  AddFolder(60, IdRootFat32, u"Docs");
  AddFile(102, 60, u"in-docs.txt");
  for (const auto& message : target.Take()) EXPECT_EQ(message.event, FoundAdded);
  EXPECT_EQ(store.Count(), before + 6);
  EXPECT_TRUE(Children(IdLostFolders).empty());
}

TEST_F(StoreTest, EqualIdentifiersComeInTheOrderAdded) {
  FoundObject* file = AddFile(50, IdRootFat32, u"deleted.txt");
  FoundObject* folder = AddFolder(50, IdRootFat32, u"Live");
  EXPECT_EQ(store.FindById(50), file);
  EXPECT_EQ(store.FindFolderById(50), folder);
  EXPECT_EQ(store.FindAllById(50), (std::vector<FoundObject*>{file, folder}));
  EXPECT_EQ(store.FindById(51), nullptr);

  // Many records over few identifiers, so that equal keys span several chunks of the index.
  std::map<int32_t, std::vector<FoundObject*>> expected;
  std::mt19937 random(7);
  for (int i = 0; i < 5000; ++i) {
    const int32_t id = 1000 + static_cast<int32_t>(random() % 9);
    expected[id].push_back(AddFile(id, IdRootFat32, u"x"));
  }
  for (const auto& [id, records] : expected) EXPECT_EQ(store.FindAllById(id), records) << id;
}

TEST_F(StoreTest, LostObjectAtAFileStartMergesIntoIt) {
  FoundObject* file = AddFile(300, IdRootFat32, u"photo.jpg", 4096, 1000);
  FoundObject* folder = AddFolder(301, IdRootFat32, u"Dir");
  folder->Start = 8192;
  store.EnablePositionIndex();
  target.Take();
  const size_t before = store.Count();

  EXPECT_EQ(store.AddLostObject(Lost(4096), &target), file);
  auto messages = target.Take();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].record, file);
  EXPECT_EQ(messages[0].event, LostMerged);
  EXPECT_TRUE(file->Flags & FoundAlsoScanned);
  EXPECT_EQ(store.Count(), before);
  EXPECT_EQ(file->Size, 1000) << "a file's own size is not inferred";

  // No merge into a folder, into the drive's record or the root at 0, or into an empty file.
  AddFile(302, IdRootFat32, u"empty.txt", 12288, 0);
  FoundObject* atFolder = store.AddLostObject(Lost(8192), &target);
  FoundObject* atZero = store.AddLostObject(Lost(0), &target);
  FoundObject* atEmpty = store.AddLostObject(Lost(12288), &target);
  for (FoundObject* lost : {atFolder, atZero, atEmpty}) {
    ASSERT_NE(lost, nullptr);
    EXPECT_TRUE(lost->Flags & FoundLost);
  }
  EXPECT_FALSE(folder->Flags & FoundAlsoScanned);
  EXPECT_FALSE(drive.Flags & FoundAlsoScanned);
  EXPECT_EQ(atZero->Size, 4096) << "the group folder made after it does not cut it to nothing";
}

TEST_F(StoreTest, LostSizesRunToTheNextObjectFound) {
  store.EnablePositionIndex();
  FoundObject* a = store.AddLostObject(Lost(1000), &target);
  EXPECT_EQ(a->Size, -1);
  FoundObject* c = store.AddLostObject(Lost(5000), &target);
  EXPECT_EQ(a->Size, 4000);
  EXPECT_EQ(c->Size, -1);
  FoundObject* b = store.AddLostObject(Lost(3000), &target);
  EXPECT_EQ(a->Size, 2000);
  EXPECT_EQ(b->Size, 2000);
  EXPECT_EQ(c->Size, -1);
  // Any object found after it ends the last one; a header size is overwritten too.
  AddFile(400, IdRootFat32, u"f.bin", 6000, 10);
  EXPECT_EQ(c->Size, 1000);
  FoundObject withSize = Lost(9000);
  withSize.Size = 123456;
  FoundObject* sized = store.AddLostObject(withSize, &target);
  EXPECT_EQ(sized->Size, 123456) << "nothing after it yet";
  AddFile(401, IdRootFat32, u"g.bin", 9500, 10);
  EXPECT_EQ(sized->Size, 500);
  EXPECT_EQ(store.FindByStart(3000), b);
  EXPECT_EQ(store.FindByStart(3001), nullptr);
}

TEST_F(StoreTest, PositionIndexTakesExistingRecordsWithoutChangingSizes) {
  FoundObject* early = store.AddLostObject(Lost(100), &target);
  EXPECT_EQ(store.FindByStart(100), nullptr) << "no position index yet";
  AddFile(500, IdRootFat32, u"later.bin", 700, 5);
  store.EnablePositionIndex();
  store.EnablePositionIndex();
  EXPECT_EQ(early->Size, -1);
  EXPECT_EQ(store.FindByStart(100), early);
  store.AddLostObject(Lost(400), &target);
  EXPECT_EQ(early->Size, 300);
  EXPECT_EQ(store.FindByStart(400)->Size, 300);
}

TEST_F(StoreTest, DisabledTypesAreDroppedSilently) {
  store.EnablePositionIndex();
  const size_t before = store.Count();
  EXPECT_EQ(store.AddLostObject(Lost(2048, kDisabled), &target), nullptr);
  EXPECT_EQ(AddFile(600, IdRootFat32, u"scratch.tmpx"), nullptr);
  EXPECT_TRUE(target.Take().empty());
  EXPECT_EQ(store.Count(), before);
  EXPECT_EQ(store.FindByStart(2048), nullptr);
  // A file system object takes its type from its extension.
  EXPECT_EQ(AddFile(601, IdRootFat32, u"holiday.Jpeg")->FileTypeId, kJpeg);
}

TEST_F(StoreTest, LostObjectsAreNamedAndFiledByGroup) {
  FoundObject* jpeg = store.AddLostObject(Lost(1024), &target);
  EXPECT_EQ(NameOf(jpeg), u"image_1024.JPG");
  EXPECT_TRUE(jpeg->Flags & FoundNamed);
  EXPECT_EQ(jpeg->ParentId, GroupImages);
  FoundObject* untyped = store.AddLostObject(Lost(7168, 0), &target);
  EXPECT_EQ(NameOf(untyped), u"lost_file_7168");
  EXPECT_EQ(untyped->ParentId, IdLostFiles);
  FoundObject named = Lost(9216);
  named.Name = u"kept.jpg";
  EXPECT_EQ(NameOf(store.AddLostObject(named, &target)), u"kept.jpg");
  FoundObject direct = Lost(5);
  store.NameLostObject(direct);
  EXPECT_EQ(NameOf(&direct), u"image_5.JPG");

  store.AddLostObject(Lost(2048), &target);
  auto messages = target.Take();
  ASSERT_EQ(messages.size(), 4u);
  for (const auto& message : messages) EXPECT_EQ(message.event, LostAdded);
  std::vector<FoundObject*> groups = store.FindAllById(GroupImages);
  ASSERT_EQ(groups.size(), 1u) << "one folder per group";
  EXPECT_EQ(groups[0]->ParentId, IdLostFiles);
  EXPECT_EQ(groups[0]->Flags, FoundFolder | FoundHasDeleted | FoundNamed);
  EXPECT_EQ(NameOf(groups[0]), u"Images");
  EXPECT_EQ(Children(GroupImages).size(), 3u);

  // A type of the system group has no group record: its folder has no name.
  FoundObject* system = store.AddLostObject(Lost(30000, kSystem), &target);
  FoundObject* systemFolder = store.FindFolderById(GroupSystem);
  ASSERT_NE(systemFolder, nullptr);
  EXPECT_EQ(systemFolder->Name, nullptr);
  EXPECT_EQ(system->ParentId, GroupSystem);
  EXPECT_EQ(store.GetObjectFolderPath(*system, u'C'), u"")
      << "invented folders are not part of a path";
}

TEST_F(StoreTest, NodesHangBelowTheDriveOnce) {
  FoundObject* lostFolders = store.EnsureLostFoldersNode();
  FoundObject* lostFiles = store.EnsureLostFilesNode();
  ASSERT_TRUE(lostFolders && lostFiles);
  EXPECT_EQ(NameOf(lostFolders), u"Lost folders");
  EXPECT_EQ(lostFolders->Flags, 0x92);
  EXPECT_EQ(lostFolders->ParentId, kDriveId);
  EXPECT_EQ(NameOf(lostFiles), u"Lost files");
  EXPECT_EQ(lostFiles->Flags, 0x93);
  EXPECT_EQ(store.EnsureLostFilesNode(), lostFiles);
  EXPECT_EQ(store.EnsureRootFolder(), &root);
  EXPECT_TRUE(target.Take().empty());

  FoundObjectStore empty(&types);
  empty.SetDriveRecord(&drive);
  empty.SetRootId(IdRootNtfs);
  FoundObject* ntfsRoot = empty.EnsureRootFolder();
  EXPECT_EQ(NameOf(ntfsRoot), u".");
  EXPECT_EQ(ntfsRoot->Id, IdRootNtfs);
  EXPECT_EQ(ntfsRoot->ParentId, kDriveId);
  EXPECT_EQ(ntfsRoot->Flags, FoundFolder | FoundNamed);
}

TEST_F(StoreTest, DeletedMarksClimbToTheRootAndEndOnCycles) {
  FoundObject* a = AddFolder(10, IdRootFat32, u"A");
  FoundObject* b = AddFolder(11, 10, u"B");
  FoundObject* gone = store.AddFileSystemObject(Record(FoundDeleted, 12, 11, u"gone.txt"), &target);
  store.MarkDeletedAncestors(*gone);
  EXPECT_TRUE(b->Flags & FoundHasDeleted);
  EXPECT_TRUE(a->Flags & FoundHasDeleted);
  EXPECT_TRUE(root.Flags & FoundHasDeleted);
  EXPECT_FALSE(gone->Flags & FoundHasDeleted) << "a file is not marked itself";

  // Two folders that name each other as parent.
  FoundObject* x = AddFolder(20, 21, u"X");
  FoundObject* y = AddFolder(21, 20, u"Y");
  FoundObject* inside = AddFile(22, 20, u"in.txt");
  store.MarkDeletedAncestors(*inside);
  EXPECT_TRUE(x->Flags & FoundHasDeleted);
  EXPECT_TRUE(y->Flags & FoundHasDeleted);
  EXPECT_EQ(store.GetObjectFolderPath(*inside, u'C'), u"Y\\X\\");
  // A ring of parents longer than a path usually is: each folder once, then the walk ends.
  constexpr int kRing = 40;
  std::u16string ringPath;
  for (int i = 0; i < kRing; ++i) {
    const std::u16string name = u"R" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
    AddFolder(100 + i, 100 + (i + 1) % kRing, name.c_str());
    ringPath = name + u"\\" + ringPath;
  }
  FoundObject* inRing = AddFile(99, 100, u"r.txt");
  EXPECT_EQ(store.GetObjectFolderPath(*inRing, 0), ringPath);
  store.MarkDeletedAncestors(*inRing);
  EXPECT_TRUE(store.FindFolderById(100 + kRing - 1)->Flags & FoundHasDeleted);
  // A folder that names itself as parent waits below a placeholder like any orphan.
  FoundObject* self = AddFolder(30, 30, u"Self");
  store.MarkDeletedAncestors(*self);
  EXPECT_EQ(store.GetObjectFolderPath(*AddFile(31, 30, u"f"), u'C'), u"lost_folder_30\\");
}

TEST_F(StoreTest, FolderPathsKeepTheirShape) {
  EXPECT_EQ(store.GetObjectFolderPath(root, u'D'), u"D:\\");
  FoundObject* top = AddFolder(40, IdRootFat32, u"..");
  FoundObject* mid = AddFolder(41, 40, u"a\\b/c");
  FoundObject* file = AddFile(42, 41, u"f.txt");
  EXPECT_EQ(store.GetObjectFolderPath(*file, u'D'), u"D:\\_\\a_b_c\\");
  EXPECT_EQ(store.GetObjectFolderPath(*mid, 0), u"\\_\\");
  EXPECT_EQ(store.GetObjectFolderPath(*top, 0), u"\\");
}

TEST_F(StoreTest, ClearFreesOnlyWhatTheStoreMade) {
  AddFile(100, 7, u"orphan.txt");
  store.EnablePositionIndex();
  store.AddLostObject(Lost(512), &target);
  store.EnsureLostFilesNode();
  store.Clear();
  EXPECT_EQ(store.Count(), 0u);
  EXPECT_EQ(store.FindById(100), nullptr);
  EXPECT_EQ(store.FindById(IdLostFiles), nullptr);
  EXPECT_EQ(store.FindByStart(512), nullptr);
  EXPECT_EQ(store.RootId(), IdRootFat32);
  EXPECT_TRUE(store.PositionIndexOn());
  // The records added from outside are still there to be added again.
  EXPECT_TRUE(store.Add(&drive, true));
  EXPECT_TRUE(store.Add(&root, true));
  EXPECT_EQ(store.FindById(IdRootFat32), &root);
  FoundObject* lost = store.AddLostObject(Lost(512), &target);
  ASSERT_NE(lost, nullptr);
  EXPECT_EQ(NameOf(lost), u"image_512.JPG");
}

TEST_F(StoreTest, NoTargetPostsNothingAndNoDatabaseLeavesObjectsUntyped) {
  FoundObjectStore plain(nullptr);
  FileTypeDatabase* previous = g_pFileTypes;
  g_pFileTypes = nullptr;
  plain.EnablePositionIndex();
  FoundObject* lost = plain.AddLostObject(Lost(64), nullptr);
  ASSERT_NE(lost, nullptr);
  EXPECT_EQ(NameOf(lost), u"lost_file_64");
  EXPECT_EQ(lost->ParentId, IdLostFiles);
  g_pFileTypes = previous;
}

// The drive's own record heads its store's nodes, and its folder paths carry its letter only
// when it is a lettered drive.
TEST(VolumeStore, DriveRecordAndFolderPaths) {
  FileTypeDatabase types;
  CVolume volume;
  volume.Store.SetFileTypes(&types);
  EXPECT_EQ(volume.RootRecord.ParentId, IdMyComputer);
  volume.RootRecord.Id = kDriveId;
  volume.RootRecord.Flags = FoundDriveNode;
  volume.Store.Add(&volume.RootRecord, true);
  volume.Store.SetRootId(IdRootFat32);
  FoundObject* root = volume.Store.EnsureRootFolder();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->ParentId, kDriveId);
  EXPECT_EQ(volume.Store.EnsureLostFilesNode()->ParentId, kDriveId);
  volume.Store.AddFileSystemObject(Record(FoundFolder, 9, IdRootFat32, u"Photos"), nullptr);
  FoundObject* file = volume.Store.AddFileSystemObject(Record(0, 10, 9, u"a.jpg"), nullptr);
  ASSERT_NE(file, nullptr);
  volume.Kind = VolumeKindLogical;
  volume.Letter = u'E';
  EXPECT_EQ(volume.GetObjectFolderPath(*file), u"E:\\Photos\\");
  volume.Kind = VolumeKindImage;
  EXPECT_EQ(volume.GetObjectFolderPath(*file), u"\\Photos\\");
}

// The chunked index against an ordered multimap, through inserts that split chunks and
// removals that empty them.
TEST(FoundObjectIndex, KeepsTheOrderOfAnOrderedMultimap) {
  FoundObjectIndex<int64_t> index;
  std::multimap<int64_t, uint32_t> reference;
  std::vector<FoundObject> records(1);
  std::mt19937 random(11);
  uint32_t seq = 0;
  for (int round = 0; round < 20000; ++round) {
    const int64_t key = static_cast<int64_t>(random() % 700) - 350;
    if (random() % 5 == 0 && !reference.empty()) {
      auto victim = reference.lower_bound(key);
      if (victim == reference.end()) victim = reference.begin();
      ASSERT_TRUE(index.Remove(victim->first, victim->second));
      reference.erase(victim);
      continue;
    }
    ++seq;
    const auto neighbours = index.Insert(key, seq, records.data());
    auto inserted = reference.emplace(key, seq);
    if (inserted == reference.begin())
      EXPECT_EQ(neighbours.previous, nullptr);
    else
      EXPECT_EQ(neighbours.previous->seq, std::prev(inserted)->second);
    if (std::next(inserted) == reference.end())
      EXPECT_EQ(neighbours.next, nullptr);
    else
      EXPECT_EQ(neighbours.next->seq, std::next(inserted)->second);
  }
  std::vector<std::pair<int64_t, uint32_t>> listed;
  index.ForAll([&](const auto& entry) { listed.emplace_back(entry.key, entry.seq); });
  EXPECT_EQ(listed,
            (std::vector<std::pair<int64_t, uint32_t>>(reference.begin(), reference.end())));
  EXPECT_EQ(index.Size(), reference.size());
  for (int64_t key = -351; key < 351; ++key) {
    auto range = reference.equal_range(key);
    const auto* first = index.First(key);
    ASSERT_EQ(first == nullptr, range.first == range.second) << key;
    if (first) {
      EXPECT_EQ(first->seq, range.first->second);
    }
  }
  EXPECT_FALSE(index.Remove(5000, 1));
}

// Several scanner threads hand over at once while the interface walks the tree; afterwards
// every lost object runs exactly to the next one.
TEST_F(StoreTest, WritersAndAReaderShareTheStore) {
  store.EnablePositionIndex();
  constexpr int kWriters = 4;
  constexpr int kPerWriter = 3000;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done) {
      auto guard = store.Lock();
      std::vector<FoundObject*> children;
      store.Children(GroupImages, children);
      int64_t total = 0;
      for (FoundObject* child : children) total += child->Size + (child->Name ? child->Name[0] : 0);
      store.GetObjectFolderPath(children.empty() ? root : *children.back(), u'C');
      EXPECT_GE(total, -static_cast<int64_t>(children.size()) * 200);
    }
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      for (int i = 0; i < kPerWriter; ++i) {
        const int64_t start = (static_cast<int64_t>(i) * kWriters + w + 1) * 512;
        if (i % 10 == 0) {
          AddFile(w * 100000 + i + 1000, 900 + w, u"file.bin", start, 512);
        } else {
          ASSERT_NE(store.AddLostObject(Lost(start), &target), nullptr);
        }
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  done = true;
  reader.join();

  std::vector<FoundObject*> lost;
  store.Children(GroupImages, lost);
  EXPECT_EQ(lost.size(), static_cast<size_t>(kWriters * kPerWriter * 9 / 10));
  EXPECT_EQ(store.FindAllById(GroupImages).size(), 1u);
  for (FoundObject* record : lost) {
    const int64_t last = static_cast<int64_t>(kWriters) * kPerWriter * 512;
    EXPECT_EQ(record->Size, record->Start == last ? -1 : 512) << record->Start;
  }
  for (int w = 0; w < kWriters; ++w)
    EXPECT_EQ(store.FindAllById(900 + w).size(), 1u) << "one placeholder each";
}

}  // namespace
