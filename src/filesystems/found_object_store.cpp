#include "filesystems/found_object_store.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>
#include <unordered_set>
#include <utility>

#include "app/log.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "app/strings.h"
#include "platform/text.h"
#include "signatures/file_types.h"

namespace {

constexpr uint32_t kLostFoldersName = 4352;
constexpr uint32_t kLostFileName = 4865;
constexpr uint32_t kLostFilesName = 5120;
constexpr uint32_t kLostFolderName = 5376;

constexpr uint16_t kPlaceholderFlags = FoundDeleted | FoundFolder | FoundHasDeleted | FoundNamed;
constexpr uint16_t kLostFoldersFlags = FoundFolder | FoundHasDeleted | FoundNamed;
constexpr uint16_t kLostFilesFlags = kLostFoldersFlags | FoundDeleted;
constexpr uint16_t kTypeFolderFlags = FoundFolder | FoundHasDeleted;

bool IsFolder(const FoundObject& record) { return (record.Flags & FoundFolder) != 0; }

// Only what the drive itself holds has a position: not the drive's record, the nodes and
// group folders (negative identifiers) or the placeholders, which all sit at Start 0 and would
// otherwise cut a lost file found at the drive's first byte to nothing.
bool HasOwnPosition(const FoundObject& record) {
  return (record.Flags & FoundDriveNode) == 0 && record.Id >= 0 && record.ParentId != IdLostFolders;
}

// A lost object found where a file with data already starts is that file. Folders, drive
// records and empty files hold no data there, so a signature there belongs to something else.
bool CanMergeInto(const FoundObject& record) {
  return !IsFolder(record) && (record.Flags & FoundDriveNode) == 0 && record.Size != 0;
}

// to - from for to >= from, without overflow on damaged positions.
int64_t Distance(int64_t from, int64_t to) {
  uint64_t distance = static_cast<uint64_t>(to) - static_cast<uint64_t>(from);
  return distance > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
             ? std::numeric_limits<int64_t>::max()
             : static_cast<int64_t>(distance);
}

// A lost object whose header gave no size ends where the next object found after it starts.
// One sized by its header keeps that size, also over the objects found inside it.
bool SizeIsInferred(const FoundObject& record) {
  return (record.Flags & FoundLost) && !(record.Flags & FoundSizeFromHeader);
}

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

void LogOutOfMemory(std::u16string_view operation) {
  if (!g_pLog) return;
  try {
    g_pLog->LogError(u"FoundObjectStore.%s: Can't allocate memory", std::u16string(operation));
  } catch (...) {
  }
}

}  // namespace

// The messages of one operation, posted in order once the lock is released.
class FoundObjectStore::Events {
 public:
  void Add(FoundObject* record, intptr_t event) {
    if (count_ < items_.size()) items_[count_++] = {record, event};
  }
  void AddFirst(FoundObject* record, intptr_t event) {
    if (count_ == items_.size()) return;
    std::move_backward(items_.begin(), items_.begin() + count_, items_.begin() + count_ + 1);
    items_[0] = {record, event};
    ++count_;
  }
  void PostTo(IMessageTarget* target) const {
    if (!target) return;
    for (size_t i = 0; i < count_; ++i)
      target->Post(UM_FOUND_OBJECT, reinterpret_cast<uintptr_t>(items_[i].first), items_[i].second);
  }

 private:
  std::array<std::pair<FoundObject*, intptr_t>, 4> items_{};
  size_t count_ = 0;
};

FoundObjectStore::FoundObjectStore() = default;

FoundObjectStore::FoundObjectStore(const FileTypeDatabase* fileTypes) : fileTypes_(fileTypes) {}

FoundObjectStore::~FoundObjectStore() { Clear(); }

void FoundObjectStore::SetFileTypes(const FileTypeDatabase* fileTypes) {
  Guard guard(mutex_);
  fileTypes_ = fileTypes;
}

void FoundObjectStore::SetDriveRecord(const FoundObject* driveRecord) {
  Guard guard(mutex_);
  driveRecord_ = driveRecord;
}

const FileTypeDatabase* FoundObjectStore::FileTypes() const {
  return fileTypes_ ? fileTypes_ : g_pFileTypes;
}

const FileType* FoundObjectStore::TypeOf(FoundObject& record) const {
  const FileTypeDatabase* types = FileTypes();
  return types ? types->TypeOfObject(record) : nullptr;
}

int32_t FoundObjectStore::DriveNodeId() const { return driveRecord_ ? driveRecord_->Id : 0; }

void FoundObjectStore::Clear() {
  Guard guard(mutex_);
  try {
    byId_.Clear();
    byParent_.Clear();
    byStart_.Clear();
    std::unordered_map<int32_t, FoundObject*>().swap(folderById_);
    PlaceholderSeqs().swap(placeholders_);
    std::vector<FoundObject*>().swap(all_);
    lostFoldersNode_ = nullptr;
    lostFilesNode_ = nullptr;
    records_.Clear();
    names_.Clear();
    seq_ = 0;
  } catch (...) {
  }
}

bool FoundObjectStore::Add(FoundObject* record, bool keep) {
  if (!record) return false;
  Guard guard(mutex_);
  try {
    AddLocked(record, keep);
    return true;
  } catch (const std::bad_alloc&) {
    LogOutOfMemory(u"Add");
    return false;
  }
}

// Either the record ends up in every index it belongs to, or (bad_alloc) in none.
uint32_t FoundObjectStore::AddLocked(FoundObject* record, bool keep) {
  const uint32_t seq = NextSeq();
  // Geometric growth made explicit, so that the push_back at the end cannot throw.
  if (keep && all_.size() == all_.capacity()) all_.reserve(all_.size() * 2 + 64);
  byId_.Insert(record->Id, seq, record);
  try {
    byParent_.Insert(record->ParentId, seq, record);
  } catch (...) {
    byId_.Remove(record->Id, seq);
    throw;
  }
  bool firstFolder = false;
  try {
    if (IsFolder(*record)) firstFolder = folderById_.try_emplace(record->Id, record).second;
    if (positionIndexOn_ && HasOwnPosition(*record)) IndexPosition(record, seq);
  } catch (...) {
    if (firstFolder) folderById_.erase(record->Id);
    byParent_.Remove(record->ParentId, seq);
    byId_.Remove(record->Id, seq);
    throw;
  }
  if (keep) all_.push_back(record);
  return seq;
}

// Inserts by position and infers the sizes of the lost objects on either side.
void FoundObjectStore::IndexPosition(FoundObject* record, uint32_t seq) {
  const auto neighbours = byStart_.Insert(record->Start, seq, record);
  if (SizeIsInferred(*record) && neighbours.next)
    record->Size = Distance(record->Start, neighbours.next->key);
  if (neighbours.previous && SizeIsInferred(*neighbours.previous->record))
    neighbours.previous->record->Size = Distance(neighbours.previous->key, record->Start);
}

int32_t FoundObjectStore::RootId() const {
  Guard guard(mutex_);
  return rootId_;
}

void FoundObjectStore::SetRootId(int32_t rootId) {
  Guard guard(mutex_);
  rootId_ = rootId;
}

bool FoundObjectStore::PositionIndexOn() const {
  Guard guard(mutex_);
  return positionIndexOn_;
}

// Records already stored are indexed in identifier order without inferring sizes. A second
// call changes nothing: every addition since the first was indexed already.
void FoundObjectStore::EnablePositionIndex() {
  Guard guard(mutex_);
  if (positionIndexOn_) return;
  std::vector<FoundObjectIndex<int64_t>::Entry> entries;
  entries.reserve(byId_.Size());
  byId_.ForAll([&](const FoundObjectIndex<int32_t>::Entry& entry) {
    if (HasOwnPosition(*entry.record))
      entries.push_back({entry.record->Start, NextSeq(), entry.record});
  });
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return a.key < b.key; });
  byStart_.Assign(entries);
  positionIndexOn_ = true;
}

FoundObject* FoundObjectStore::FindById(int32_t id) const {
  Guard guard(mutex_);
  const auto* entry = byId_.First(id);
  return entry ? entry->record : nullptr;
}

std::vector<FoundObject*> FoundObjectStore::FindAllById(int32_t id) const {
  Guard guard(mutex_);
  std::vector<FoundObject*> found;
  byId_.ForEach(id, [&](const auto& entry) {
    found.push_back(entry.record);
    return true;
  });
  return found;
}

FoundObject* FoundObjectStore::FindFolderById(int32_t id) const {
  Guard guard(mutex_);
  return FolderLocked(id);
}

FoundObject* FoundObjectStore::FolderLocked(int32_t id) const {
  auto found = folderById_.find(id);
  return found == folderById_.end() ? nullptr : found->second;
}

void FoundObjectStore::Children(int32_t parentId, std::vector<FoundObject*>& out) const {
  Guard guard(mutex_);
  byParent_.ForEach(parentId, [&](const auto& entry) {
    out.push_back(entry.record);
    return true;
  });
}

size_t FoundObjectStore::ChildCount(int32_t parentId) const {
  Guard guard(mutex_);
  size_t count = 0;
  byParent_.ForEach(parentId, [&](const auto&) {
    ++count;
    return true;
  });
  return count;
}

FoundObject* FoundObjectStore::FindByStart(int64_t position) const {
  Guard guard(mutex_);
  const auto* entry = byStart_.First(position);
  return entry ? entry->record : nullptr;
}

std::vector<FoundObject*> FoundObjectStore::AllObjects() const {
  Guard guard(mutex_);
  return all_;
}

size_t FoundObjectStore::Count() const {
  Guard guard(mutex_);
  return all_.size();
}

FoundObject* FoundObjectStore::NewRecord(const FoundObject& fields) {
  FoundObject* record = records_.Allocate();
  *record = fields;
  return record;
}

const char16_t* FoundObjectStore::OwnName(std::u16string_view name) { return names_.Copy(name); }

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

FoundObject* FoundObjectStore::AddLostObject(const FoundObject& record, IMessageTarget* target) {
  FoundObject copy = record;
  const FileType* type = TypeOf(copy);
  Events events;
  FoundObject* result = nullptr;
  try {
    Guard guard(mutex_);
    if (FoundObject* existing = FindMergeTarget(copy.Start)) {
      existing->Flags |= FoundAlsoScanned;
      events.Add(existing, LostMerged);
      result = existing;
    } else {
      if (type) {
        if (!type->Enabled) return nullptr;
        copy.ParentId = type->GroupId;
      } else {
        // Without a type there is no group folder; "Lost files" itself holds it.
        copy.ParentId = IdLostFiles;
      }
      if (copy.Name) copy.Name = OwnName(copy.Name);
      NameLostObjectLocked(copy);
      FoundObject* stored = NewRecord(copy);
      try {
        AddLocked(stored, true);
      } catch (...) {
        records_.ReleaseLast(stored);
        throw;
      }
      try {
        EnsureTypeFolderLocked(*stored);
      } catch (const std::bad_alloc&) {
        LogOutOfMemory(u"EnsureTypeFolder");
      }
      events.Add(stored, LostAdded);
      result = stored;
    }
  } catch (...) {
    LogOutOfMemory(u"AddLostObject");
    result = nullptr;
  }
  events.PostTo(target);
  return result;
}

FoundObject* FoundObjectStore::FindMergeTarget(int64_t position) const {
  FoundObject* target = nullptr;
  byStart_.ForEach(position, [&](const auto& entry) {
    if (CanMergeInto(*entry.record)) target = entry.record;
    return target == nullptr;
  });
  return target;
}

void FoundObjectStore::NameLostObject(FoundObject& record) {
  Guard guard(mutex_);
  NameLostObjectLocked(record);
}

void FoundObjectStore::NameLostObjectLocked(FoundObject& record) {
  if (record.Name) return;
  const FileTypeDatabase* types = FileTypes();
  const FileType* type = types ? types->FindType(record.FileTypeId) : nullptr;
  const std::u16string name = type ? platform::Format(u"%s_%I64d.%s", type->NamePrefixText(),
                                                      record.Start, type->FirstExtension())
                                   : platform::Format(StringResource(kLostFileName), record.Start);
  record.Name = OwnName(name);
  record.Flags |= FoundNamed;
}

FoundObject* FoundObjectStore::EnsureTypeFolder(const FoundObject& record) {
  Guard guard(mutex_);
  try {
    return EnsureTypeFolderLocked(record);
  } catch (const std::bad_alloc&) {
    LogOutOfMemory(u"EnsureTypeFolder");
    return nullptr;
  }
}

// The group's title is copied rather than pointed at: the database may replace or reload its
// group records while the store lives on.
FoundObject* FoundObjectStore::EnsureTypeFolderLocked(const FoundObject& record) {
  const FileTypeDatabase* types = FileTypes();
  const FileType* type = types ? types->FindType(record.FileTypeId) : nullptr;
  if (!type) return nullptr;
  if (FoundObject* existing = FindFolderById(type->GroupId)) return existing;
  FoundObject fields{};
  fields.Flags = kTypeFolderFlags;
  fields.Id = type->GroupId;
  fields.ParentId = IdLostFiles;
  if (const FileType* group = types->FindGroup(type->GroupId)) {
    fields.Name = OwnName(group->TitleText());
    fields.Flags |= FoundNamed;
  }
  FoundObject* folder = NewRecord(fields);
  try {
    AddLocked(folder, true);
  } catch (...) {
    records_.ReleaseLast(folder);
    throw;
  }
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

void FoundObjectStore::UpdateFlags(FoundObject& record, uint16_t set, uint16_t clear) {
  Guard guard(mutex_);
  record.Flags = static_cast<uint16_t>((record.Flags & ~clear) | set);
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
