// The found-object store's records and indexes: adding, looking up and clearing. The tree and
// its placeholder folders are in found_object_tree.cpp, the lost objects in found_object_lost.cpp.
#include "filesystems/found_object_store.h"

#include <algorithm>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/log.h"
#include "filesystems/found_object_store_parts.h"
#include "signatures/file_types.h"

using found_object_store_parts::HasOwnPosition;
using found_object_store_parts::IsFolder;
using found_object_store_parts::LogOutOfMemory;

void found_object_store_parts::LogOutOfMemory(std::u16string_view operation) {
  if (!g_pLog) return;
  try {
    g_pLog->LogError(u"FoundObjectStore.%s: Can't allocate memory", std::u16string(operation));
  } catch (...) {
  }
}

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

void FoundObjectStore::UpdateFlags(FoundObject& record, uint16_t set, uint16_t clear) {
  Guard guard(mutex_);
  record.Flags = static_cast<uint16_t>((record.Flags & ~clear) | set);
}
