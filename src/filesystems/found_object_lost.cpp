// The found-object store's lost objects: what the sector scan finds is merged into a file that
// starts at the same position, or named, filed under its file-type group's folder in "Lost
// files", and sized by the position of the next object found.
#include <limits>
#include <new>
#include <string>

#include "app/strings.h"
#include "filesystems/found_object_store.h"
#include "filesystems/found_object_store_parts.h"
#include "platform/text.h"
#include "signatures/file_types.h"

using found_object_store_parts::IsFolder;
using found_object_store_parts::LogOutOfMemory;

namespace {

constexpr uint32_t kLostFileName = 4865;

constexpr uint16_t kTypeFolderFlags = FoundFolder | FoundHasDeleted;

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

}  // namespace

// Inserts by position and infers the sizes of the lost objects on either side.
void FoundObjectStore::IndexPosition(FoundObject* record, uint32_t seq) {
  const auto neighbours = byStart_.Insert(record->Start, seq, record);
  if (SizeIsInferred(*record) && neighbours.next)
    record->Size = Distance(record->Start, neighbours.next->key);
  if (neighbours.previous && SizeIsInferred(*neighbours.previous->record))
    neighbours.previous->record->Size = Distance(neighbours.previous->key, record->Start);
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
