// The found-object store's tree: file-system objects under their folders, a placeholder in
// "Lost folders" for every missing parent until the folder itself is found, the nodes below the
// drive, and the folder path of an object.
#include <algorithm>
#include <array>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/strings.h"
#include "filesystems/found_object_store.h"
#include "filesystems/found_object_store_parts.h"
#include "platform/text.h"
#include "signatures/file_types.h"

using found_object_store_parts::HasOwnPosition;
using found_object_store_parts::IsFolder;
using found_object_store_parts::LogOutOfMemory;

namespace {

constexpr uint32_t kLostFoldersName = 4352;
constexpr uint32_t kLostFilesName = 5120;
constexpr uint32_t kLostFolderName = 5376;

constexpr uint16_t kPlaceholderFlags = FoundDeleted | FoundFolder | FoundHasDeleted | FoundNamed;
constexpr uint16_t kLostFoldersFlags = FoundFolder | FoundHasDeleted | FoundNamed;
constexpr uint16_t kLostFilesFlags = kLostFoldersFlags | FoundDeleted;

// The folders met on a walk up the parents, for stopping at a cycle. Paths are a few folders
// deep, where a look through a short list is cheaper than a hash set; a damaged chain of
// parents can be long, and past the list's capacity the set takes over.
class ParentWalk {
 public:
  explicit ParentWalk(const FoundObject* start) { listed_[count_++] = start; }

  // False when the folder was met before.
  bool FirstVisit(const FoundObject* folder) {
    if (count_ < listed_.size()) {
      if (std::find(listed_.begin(), listed_.begin() + count_, folder) != listed_.begin() + count_)
        return false;
      listed_[count_++] = folder;
      if (count_ == listed_.size()) set_.insert(listed_.begin(), listed_.end());
      return true;
    }
    return set_.insert(folder).second;
  }

 private:
  std::array<const FoundObject*, 32> listed_{};
  size_t count_ = 0;
  std::unordered_set<const FoundObject*> set_;
};

}  // namespace

FoundObject* FoundObjectStore::AddFileSystemObject(const FoundObject& record,
                                                   IMessageTarget* target) {
  FoundObject copy = record;
  if (const FileType* type = TypeOf(copy)) {
    if (!type->Enabled) return nullptr;
    copy.FileTypeId = static_cast<int16_t>(type->TypeId);
  }
  Events events;
  FoundObject* stored = nullptr;
  try {
    Guard guard(mutex_);
    // Only a folder can be the folder a placeholder stands for; a file that happens to carry
    // the same identifier would otherwise swallow the placeholder's children.
    FoundObject* placeholder = IsFolder(copy) ? FindPlaceholder(copy.Id) : nullptr;
    const bool parentMissing = copy.ParentId != 0 && copy.Id != 0 && copy.Id != rootId_ &&
                               copy.ParentId != rootId_ && !FindFolderById(copy.ParentId);
    if (parentMissing) AddLostFolderLocked(copy, events);
    if (copy.Name) copy.Name = OwnName(copy.Name);
    if (placeholder) {
      ResolvePlaceholder(placeholder, copy);
      events.AddFirst(placeholder, LostFolderResolved);
      stored = placeholder;
    } else {
      stored = NewRecord(copy);
      try {
        AddLocked(stored, true);
      } catch (...) {
        records_.ReleaseLast(stored);
        throw;
      }
    }
    events.Add(stored, FoundAdded);
  } catch (...) {
    LogOutOfMemory(u"AddFileSystemObject");
    stored = nullptr;
  }
  events.PostTo(target);
  return stored;
}

FoundObject* FoundObjectStore::FindPlaceholder(int32_t id) const {
  // A placeholder is made only while no folder has its identifier, so it is the first folder
  // with that identifier for as long as it is a placeholder.
  FoundObject* folder = FindFolderById(id);
  return folder && folder->ParentId == IdLostFolders && placeholders_.count(folder) ? folder
                                                                                    : nullptr;
}

// The placeholder becomes the folder: it keeps its address (the views and its children's
// messages point at it) and its tree item, and takes every other field.
void FoundObjectStore::ResolvePlaceholder(FoundObject* placeholder, const FoundObject& folder) {
  const FoundObject previous = *placeholder;
  const uint32_t oldSeq = placeholders_.at(placeholder);
  const uint32_t seq = NextSeq();
  *placeholder = folder;
  placeholder->ViewItem = previous.ViewItem;
  try {
    byParent_.Insert(placeholder->ParentId, seq, placeholder);
  } catch (...) {
    *placeholder = previous;
    throw;
  }
  try {
    if (positionIndexOn_ && HasOwnPosition(*placeholder)) IndexPosition(placeholder, seq);
  } catch (...) {
    byParent_.Remove(placeholder->ParentId, seq);
    *placeholder = previous;
    throw;
  }
  byParent_.Remove(IdLostFolders, oldSeq);
  placeholders_.erase(placeholder);
}

FoundObject* FoundObjectStore::AddLostFolder(const FoundObject& orphan, IMessageTarget* target) {
  Events events;
  FoundObject* folder = nullptr;
  try {
    Guard guard(mutex_);
    folder = AddLostFolderLocked(orphan, events);
  } catch (...) {
    LogOutOfMemory(u"AddLostFolder");
    folder = nullptr;
  }
  events.PostTo(target);
  return folder;
}

FoundObject* FoundObjectStore::AddLostFolderLocked(const FoundObject& orphan, Events& events) {
  FoundObject fields{};
  fields.Flags = kPlaceholderFlags;
  fields.Id = orphan.ParentId;
  fields.ParentId = IdLostFolders;
  fields.Name = OwnName(platform::Format(StringResource(kLostFolderName), fields.Id));
  FoundObject* folder = NewRecord(fields);
  uint32_t seq = 0;
  try {
    seq = AddLocked(folder, true);
  } catch (...) {
    records_.ReleaseLast(folder);
    throw;
  }
  // The parent-index sequence lets the real folder take the placeholder out in one step;
  // without it (no memory) the placeholder simply stays.
  try {
    placeholders_.emplace(folder, seq);
  } catch (const std::bad_alloc&) {
  }
  events.Add(folder, LostFolderAdded);
  return folder;
}

void FoundObjectStore::MarkDeletedAncestors(FoundObject& record) {
  Guard guard(mutex_);
  if (IsFolder(record)) record.Flags |= FoundHasDeleted;
  ParentWalk walk(&record);
  for (FoundObject* folder = FolderLocked(record.ParentId); folder && walk.FirstVisit(folder);
       folder = FolderLocked(folder->ParentId)) {
    if ((folder->Flags & FoundHasDeleted) && folder->Id == rootId_) break;
    folder->Flags |= FoundHasDeleted;
  }
}

FoundObject* FoundObjectStore::EnsureNode(int32_t id, uint16_t flags, std::u16string_view name) {
  Guard guard(mutex_);
  if (FoundObject* existing = FindFolderById(id)) return existing;
  try {
    FoundObject fields{};
    fields.Flags = flags;
    fields.Id = id;
    fields.ParentId = DriveNodeId();
    fields.Name = OwnName(name);
    FoundObject* node = NewRecord(fields);
    try {
      AddLocked(node, true);
    } catch (...) {
      records_.ReleaseLast(node);
      throw;
    }
    return node;
  } catch (const std::bad_alloc&) {
    LogOutOfMemory(u"EnsureNode");
    return nullptr;
  }
}

FoundObject* FoundObjectStore::EnsureRootFolder() {
  Guard guard(mutex_);
  return EnsureNode(rootId_, FoundFolder | FoundNamed, u".");
}

FoundObject* FoundObjectStore::EnsureLostFoldersNode() {
  Guard guard(mutex_);
  lostFoldersNode_ = EnsureNode(IdLostFolders, kLostFoldersFlags, StringResource(kLostFoldersName));
  return lostFoldersNode_;
}

FoundObject* FoundObjectStore::EnsureLostFilesNode() {
  Guard guard(mutex_);
  lostFilesNode_ = EnsureNode(IdLostFiles, kLostFilesFlags, StringResource(kLostFilesName));
  return lostFilesNode_;
}

std::u16string FoundObjectStore::GetObjectFolderPath(const FoundObject& object,
                                                     char16_t driveLetter) const {
  std::u16string path =
      driveLetter ? std::u16string{driveLetter, u':', u'\\'} : std::u16string(u"\\");
  Guard guard(mutex_);
  if (object.Id == rootId_ && IsFolder(object)) return path;
  std::vector<const FoundObject*> ancestors;
  ancestors.reserve(16);
  ParentWalk walk(&object);
  bool fromPrefix = false;
  for (const FoundObject* folder = FolderLocked(object.ParentId); folder && walk.FirstVisit(folder);
       folder = FolderLocked(folder->ParentId)) {
    if (folder->Id == rootId_ || folder->Id == folder->ParentId) {
      fromPrefix = true;
      break;
    }
    if (folder->Id < 0) break;
    ancestors.push_back(folder);
  }
  if (!fromPrefix) path.clear();
  path.reserve(path.size() + 32 * ancestors.size());
  for (auto folder = ancestors.rbegin(); folder != ancestors.rend(); ++folder) {
    if (!(*folder)->Name || !(*folder)->Name[0]) continue;
    AppendPathComponent(path, (*folder)->Name);
    path += u'\\';
  }
  return path;
}

void AppendPathComponent(std::u16string& path, std::u16string_view name) {
  if (name == u"." || name == u"..") {
    path += u'_';
    return;
  }
  const size_t from = path.size();
  path += name;
  std::replace(path.begin() + from, path.end(), u'\\', u'_');
  std::replace(path.begin() + from, path.end(), u'/', u'_');
}
