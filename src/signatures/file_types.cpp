#include "signatures/file_types.h"

#include <algorithm>

#include "app/app.h"
#include "app/log.h"
#include "filesystems/found_object.h"
#include "platform/text.h"

FileTypeDatabase* g_pFileTypes = nullptr;

FileTypeDatabase::FileTypeDatabase() = default;
FileTypeDatabase::~FileTypeDatabase() = default;

void LogFileTypeProblem(std::u16string_view text) {
  if (g_pLog) g_pLog->Add(LogLevelError, text);
}

std::u16string ApplicationRegistryKey() {
  if (g_pApp) return g_pApp->GetRegistryKey();
  return u"Software\\Corvane\\Lumenard\\2.0";
}

std::u16string RegistryValueName(const FileType& record) {
  return platform::Format(u"%d.%d.%s.%s", record.GroupId, record.TypeId, record.TitleText(),
                          record.FirstExtension());
}

void FileTypeDatabase::Clear() {
  extensionIndex_.clear();
  extensionLookup_.clear();
  types_.clear();
  groups_.clear();
  loaded_ = false;
}

FileType* FileTypeDatabase::AddType(std::unique_ptr<FileType> type) {
  if (!type) return nullptr;
  if (type->TypeId > kMaxTypeId) {
    LogFileTypeProblem(platform::Format(
        u"File type %d \"%s\" not added: found objects keep type ids up to 32767",
        type->TypeId, type->DescriptionText()));
    return nullptr;
  }
  if (FindType(type->TypeId)) {
    LogFileTypeProblem(platform::Format(u"File type %d \"%s\" not added: the id is in use",
                                        type->TypeId, type->DescriptionText()));
    return nullptr;
  }
  if (type->SerializedSize() > kMaxSerializedFileType) {
    LogFileTypeProblem(platform::Format(
        u"File type %d \"%s\" not added: its record of %u bytes exceeds the 16383 bytes the "
        u"registry keeps",
        type->TypeId, type->DescriptionText(), static_cast<unsigned>(type->SerializedSize())));
    return nullptr;
  }
  types_.push_back(std::move(type));
  FileType* added = types_.back().get();
  IndexExtensions(added);
  return added;
}

bool FileTypeDatabase::ReplaceType(FileType& existing, const FileType& record) {
  if (record.SerializedSize() > kMaxSerializedFileType) {
    LogFileTypeProblem(
        platform::Format(u"File type %d not replaced: its record of %u bytes exceeds the 16383 "
                         u"bytes the registry keeps",
                         record.TypeId, static_cast<unsigned>(record.SerializedSize())));
    return false;
  }
  existing.ReplaceRecord(record);
  RebuildExtensionIndex();
  return true;
}

FileType* FileTypeDatabase::AddGroup(std::unique_ptr<FileType> group) {
  if (!group) return nullptr;
  for (std::unique_ptr<FileType>& existing : groups_) {
    if (existing->GroupId == group->GroupId) {
      existing = std::move(group);
      return existing.get();
    }
  }
  groups_.push_back(std::move(group));
  return groups_.back().get();
}

FileType* FileTypeDatabase::FindType(int32_t typeId) const {
  for (const std::unique_ptr<FileType>& type : types_)
    if (type->TypeId == typeId) return type.get();
  return nullptr;
}

FileType* FileTypeDatabase::FindGroup(int32_t groupId) const {
  for (const std::unique_ptr<FileType>& group : groups_)
    if (group->GroupId == groupId) return group.get();
  return nullptr;
}

FileType* FileTypeDatabase::FindTypeByExtension(std::u16string_view extension) const {
  auto found = extensionLookup_.find(platform::AsciiUpper(extension));
  return found == extensionLookup_.end() ? nullptr : found->second;
}

FileType* FileTypeDatabase::TypeOfObject(FoundObject& object) const {
  if (object.FileTypeId != 0) {
    if (FileType* type = FindType(object.FileTypeId)) return type;
  }
  if (!object.Name) return nullptr;
  std::u16string_view name(object.Name);
  size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos || dot + 1 == name.size()) return nullptr;
  FileType* type = FindTypeByExtension(name.substr(dot + 1));
  if (type) object.FileTypeId = static_cast<int16_t>(type->TypeId);
  return type;
}

void FileTypeDatabase::IndexExtensions(FileType* type) {
  for (std::u16string& extension : type->ExtensionList()) {
    std::u16string upper = platform::AsciiUpper(extension);
    if (extensionLookup_.emplace(upper, type).second)
      extensionIndex_.emplace_back(std::move(upper), type);
  }
}

void FileTypeDatabase::RebuildExtensionIndex() {
  extensionIndex_.clear();
  extensionLookup_.clear();
  for (const std::unique_ptr<FileType>& type : types_) IndexExtensions(type.get());
}
