// The found objects of one drive: the records the analysers and the sector scan report, and
// the folders the tree needs that the drive no longer has ("Lost folders" with a placeholder per
// missing parent, "Lost files" with a folder per file-type group). Records name their parent by
// identifier; the store indexes them by identifier, by parent identifier and, while the sector
// scan runs, by position, and tells the interface of every change with UM_FOUND_OBJECT.
//
// Threads: the analysis or scan threads write (several scanner threads may hand over at once),
// the interface thread reads and marks. One lock guards the indexes and every record field the
// store writes. Each operation takes it; a walk of several steps holds Lock() around them
// (the lock is recursive, so the single-step queries may be used inside). Records and names
// never move once added and are freed only by Clear, so pointers stay valid until then.
// Messages are posted after the lock is released.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "filesystems/found_object.h"
#include "filesystems/found_object_index.h"
#include "filesystems/found_object_storage.h"

class FileTypeDatabase;
struct FileType;
class IMessageTarget;

// Appends a name as one component of a folder path: separators inside it and the names "." and
// ".." would otherwise change the path's shape, so they become '_'.
void AppendPathComponent(std::u16string& path, std::u16string_view name);

class FoundObjectStore {
 public:
  using Guard = std::unique_lock<std::recursive_mutex>;

  // Uses g_pFileTypes, looked up at each use, unless a database is given.
  FoundObjectStore();
  explicit FoundObjectStore(const FileTypeDatabase* fileTypes);
  ~FoundObjectStore();
  FoundObjectStore(const FoundObjectStore&) = delete;
  FoundObjectStore& operator=(const FoundObjectStore&) = delete;

  void SetFileTypes(const FileTypeDatabase* fileTypes);
  // The drive's own record, whose Id is the parent of the root folder and the two lost nodes.
  void SetDriveRecord(const FoundObject* driveRecord);

  // Holds the store still for a walk of several steps.
  Guard Lock() const { return Guard(mutex_); }

  // Forgets every record and frees those the store made or copied; records added from
  // outside with Add (the drive's record, the file system's root) are only let go.
  // RootId and the position index setting stay.
  void Clear();

  // Indexes a record that the caller owns and keeps alive until Clear; with keep set it is
  // also listed among all records. False when memory ran out (nothing was added).
  bool Add(FoundObject* record, bool keep);

  int32_t RootId() const;
  void SetRootId(int32_t rootId);
  bool PositionIndexOn() const;
  // Indexes every record by position from now on; lost objects added later take their size
  // from the next object found after them.
  void EnablePositionIndex();

  // Lookups. Records with equal keys come in the order they were added.
  FoundObject* FindById(int32_t id) const;
  std::vector<FoundObject*> FindAllById(int32_t id) const;
  // The first folder with the identifier: the parent that records with that ParentId hang below.
  FoundObject* FindFolderById(int32_t id) const;
  // Appends the records whose ParentId is parentId.
  void Children(int32_t parentId, std::vector<FoundObject*>& out) const;
  size_t ChildCount(int32_t parentId) const;
  // The first record at the position (while the position index is on).
  FoundObject* FindByStart(int64_t position) const;
  // Every record added with keep set, in the order added.
  std::vector<FoundObject*> AllObjects() const;
  size_t Count() const;

  // A record reported by a file-system analyser. The record and its name are copied, so the
  // caller may reuse both. Returns the stored record, or null when its type is disabled or
  // memory ran out (then nothing is posted).
  FoundObject* AddFileSystemObject(const FoundObject& record, IMessageTarget* target);
  // A record reported by the sector scan. Merges into a file already found at its Start, or
  // is named, filed under its type's group folder and stored. Returns the stored or merged
  // record, or null when its type is disabled or the addition failed.
  FoundObject* AddLostObject(const FoundObject& record, IMessageTarget* target);
  // A placeholder under "Lost folders" for the orphan's missing parent.
  FoundObject* AddLostFolder(const FoundObject& orphan, IMessageTarget* target);
  // Gives a record without a name "<prefix>_<start>.<extension>" or "lost_file_<start>".
  void NameLostObject(FoundObject& record);
  // The group folder under "Lost files" for the record's type, made when missing.
  FoundObject* EnsureTypeFolder(const FoundObject& record);
  // Marks the record (when a folder) and its folders up to the root as holding deleted objects.
  void MarkDeletedAncestors(FoundObject& record);
  // Sets and clears flag bits of a stored record under the lock.
  void UpdateFlags(FoundObject& record, uint16_t set, uint16_t clear);

  FoundObject* EnsureRootFolder();
  FoundObject* EnsureLostFoldersNode();
  FoundObject* EnsureLostFilesNode();

  // The folder that holds the object, with a trailing backslash: "C:\a\b\" on a lettered drive
  // (letter given), "\a\b\" elsewhere; below an invented folder only the path from there
  // ("lost_folder_7\"). Ends on a cycle of parents.
  std::u16string GetObjectFolderPath(const FoundObject& object, char16_t driveLetter) const;

 private:
  class Events;
  // Where a placeholder sits in the parent index, so that it can be taken out in one step.
  using PlaceholderSeqs = std::unordered_map<const FoundObject*, uint32_t>;

  const FileTypeDatabase* FileTypes() const;
  const FileType* TypeOf(FoundObject& record) const;
  int32_t DriveNodeId() const;
  uint32_t NextSeq() { return ++seq_; }

  // The steps, with the lock held.
  // Returns the sequence number the record got in the indexes.
  uint32_t AddLocked(FoundObject* record, bool keep);
  void IndexPosition(FoundObject* record, uint32_t seq);
  FoundObject* NewRecord(const FoundObject& fields);
  const char16_t* OwnName(std::u16string_view name);
  FoundObject* AddLostFolderLocked(const FoundObject& orphan, Events& events);
  // FindFolderById with the lock held.
  FoundObject* FolderLocked(int32_t id) const;
  FoundObject* FindPlaceholder(int32_t id) const;
  FoundObject* FindMergeTarget(int64_t position) const;
  void ResolvePlaceholder(FoundObject* placeholder, const FoundObject& folder);
  void NameLostObjectLocked(FoundObject& record);
  FoundObject* EnsureTypeFolderLocked(const FoundObject& record);
  FoundObject* EnsureNode(int32_t id, uint16_t flags, std::u16string_view name);

  mutable std::recursive_mutex mutex_;
  const FileTypeDatabase* fileTypes_ = nullptr;
  const FoundObject* driveRecord_ = nullptr;

  FoundObjectIndex<int32_t> byId_;
  FoundObjectIndex<int32_t> byParent_;
  FoundObjectIndex<int64_t> byStart_;
  // The first folder of each identifier, for the parent walks.
  std::unordered_map<int32_t, FoundObject*> folderById_;
  PlaceholderSeqs placeholders_;
  bool positionIndexOn_ = false;
  int32_t rootId_ = 0;
  uint32_t seq_ = 0;

  std::vector<FoundObject*> all_;
  FoundObjectPool records_;
  FoundObjectNames names_;
  FoundObject* lostFoldersNode_ = nullptr;
  FoundObject* lostFilesNode_ = nullptr;
};
