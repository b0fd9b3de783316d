#include "filesystems/found_object_view.h"

#include <algorithm>
#include <limits>

#include "app/strings.h"
#include "platform/text.h"
#include "platform/time.h"
#include "signatures/file_types.h"

namespace {

constexpr uint32_t kUnknownText = 57116;
constexpr uint32_t kFolderText = 57118;

constexpr int64_t kKilobyte = 1024;
constexpr int64_t kMegabyte = 1024 * kKilobyte;
constexpr int64_t kGigabyte = 1024 * kMegabyte;

bool IsFolder(const FoundObject& record) { return (record.Flags & FoundFolder) != 0; }
bool IsDeleted(const FoundObject& record) { return (record.Flags & FoundDeleted) != 0; }

std::u16string_view NameOf(const FoundObject& record) {
  return record.Name ? std::u16string_view(record.Name) : std::u16string_view();
}

std::u16string Number(int64_t value) { return platform::Format(u"%I64d", value); }

int FolderIcon(const FoundObject& record, int32_t rootId) {
  if (record.Id == rootId) return 3;
  if (record.ParentId == IdLostFiles) return 6;
  if (record.ParentId == IdLostFolders || record.Id == IdLostFolders) return 8;
  if (IsDeleted(record)) return 6;
  if (record.Flags & FoundHasDeleted) return 4;
  return 2;
}

}  // namespace

std::u16string FoundSizeText(const FoundObject& record) {
  if (IsFolder(record)) return {};
  const int64_t size = record.Size;
  if (size == -1) return u"unknown";
  if (size > kGigabyte) return platform::Format(u"%I64d GB", size / kGigabyte);
  if (size > kMegabyte) return platform::Format(u"%I64d MB", size / kMegabyte);
  if (size > kKilobyte) return platform::Format(u"%I64d KB", size / kKilobyte);
  return Number(size);
}

std::u16string FoundDateText(const FoundObject& record) {
  return record.Created ? platform::LocalDateTimeText(record.Created) : std::u16string();
}

std::u16string FoundTypeText(const FoundObject& record, const ShellTypeName& shellTypeName) {
  if (IsFolder(record)) return StringResource(kFolderText);
  return shellTypeName ? shellTypeName(NameOf(record), record.Attributes) : std::u16string();
}

int FoundIconNumber(const FoundObject& record, int32_t rootId) {
  if (IsFolder(record)) return FolderIcon(record, rootId);
  const int deleted = IsDeleted(record) ? 1 : 0;
  return (record.Flags & FoundAlsoScanned) ? 10 + deleted : deleted;
}

int FoundTreeIconNumber(const FoundObject& record, int32_t rootId, bool expanded) {
  const int icon = FoundIconNumber(record, rootId);
  if (!expanded || !IsFolder(record)) return icon;
  if (record.Id == rootId || record.ParentId == IdLostFiles) return icon;
  return icon + 1;
}

int64_t SizeOnDisk(int64_t size, uint32_t bytesPerCluster) {
  if (size <= 0 || bytesPerCluster == 0) return size;
  const int64_t cluster = bytesPerCluster;
  const int64_t clusters = size / cluster + (size % cluster != 0 ? 1 : 0);
  if (clusters > std::numeric_limits<int64_t>::max() / cluster) return size;
  return clusters * cluster;
}

std::u16string FoundTimeText(platform::FileTime time) {
  return time ? platform::LocalDateTimeText(time) : StringResource(kUnknownText);
}

FoundObjectProperties DescribeFoundObject(const FoundObject& record,
                                          const FoundPropertyContext& context) {
  FoundObjectProperties properties;
  properties.State = IsDeleted(record) ? u"Deleted" : u"Live";
  properties.Id = platform::Format(u"%d", record.Id);
  properties.ParentId = platform::Format(u"%d", record.ParentId);
  properties.Name = std::u16string(NameOf(record));
  properties.Folder = context.FolderPath;
  if (IsFolder(record)) {
    properties.Type = StringResource(kFolderText);
    properties.Start = properties.Size = properties.SizeOnDisk = u"0";
  } else {
    properties.Start = Number(record.Start);
    properties.Size = Number(record.Size);
    properties.SizeOnDisk = Number(SizeOnDisk(record.Size, context.BytesPerCluster));
    if (!record.Name && context.FileTypes) {
      // A record without a name takes its type texts from the file-type database.
      FoundObject probe = record;
      if (const FileType* type = context.FileTypes->TypeOfObject(probe)) {
        properties.Type = std::u16string(type->DescriptionText());
        properties.TypeTitle = std::u16string(type->TitleText());
      }
    }
    if (properties.Type.empty()) properties.Type = FoundTypeText(record, context.ShellType);
  }
  properties.Created = FoundTimeText(record.Created);
  properties.Modified = FoundTimeText(record.Modified);
  properties.Accessed = FoundTimeText(record.Accessed);
  return properties;
}

bool FoundListLess(const FoundObject& a, const FoundObject& b, FoundListColumn column,
                   bool reversed) {
  if (IsFolder(a) != IsFolder(b)) return IsFolder(a);
  switch (column) {
    case FoundListColumn::Size:
      return reversed ? a.Size < b.Size : a.Size > b.Size;
    case FoundListColumn::Date:
      return reversed ? a.Created < b.Created : a.Created > b.Created;
    case FoundListColumn::Name:
    case FoundListColumn::Type:
    case FoundListColumn::Folder:
      break;
  }
  const int order = platform::CompareNoCase(NameOf(a), NameOf(b));
  return reversed ? order > 0 : order < 0;
}

void SortFoundList(std::vector<FoundObject*>& list, FoundListColumn column, bool reversed) {
  std::stable_sort(list.begin(), list.end(), [&](const FoundObject* a, const FoundObject* b) {
    return FoundListLess(*a, *b, column, reversed);
  });
}
