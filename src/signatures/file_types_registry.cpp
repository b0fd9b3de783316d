// Loading and saving the file-type database: one REG_BINARY value per group under
// "<application key>\Groups" and one per type under "<application key>\File Types", each the
// serialized record described in docs/formats/filesig.md.
#include <functional>

#include "platform/registry.h"
#include "platform/text.h"
#include "signatures/file_type_order.h"
#include "signatures/file_types.h"

namespace {

constexpr uint32_t kMaxValues = 32767;

std::u16string GroupsKey(std::u16string_view applicationKey) {
  return std::u16string(applicationKey) + u"\\Groups";
}

std::u16string TypesKey(std::u16string_view applicationKey) {
  return std::u16string(applicationKey) + u"\\File Types";
}

// Calls read for every value of the key that may hold a record; false when the key cannot be
// opened. Values that cannot be a record are logged and skipped.
bool ForEachRecordValue(
    std::u16string_view keyPath,
    const std::function<void(const std::u16string&, std::span<const uint8_t>)>& read) {
  platform::RegistryKey key;
  if (key.Open(platform::RegistryRoot::CurrentUser, keyPath) != platform::kErrorSuccess)
    return false;
  for (uint32_t index = 0; index < kMaxValues; ++index) {
    std::u16string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    long result = key.EnumValue(index, &name, &type, &data);
    if (result == platform::kErrorNoMoreItems) break;
    if (result != platform::kErrorSuccess) {
      LogFileTypeProblem(platform::Format(u"File types: value %u of %s cannot be read (error %d)",
                                          index, keyPath, static_cast<int>(result)));
      break;
    }
    if (type != platform::kRegBinary || data.size() > kMaxSerializedFileType) {
      LogFileTypeProblem(platform::Format(
          u"File types: value '%s' skipped: not a record of at most 16383 bytes", name));
      continue;
    }
    read(name, data);
  }
  return true;
}

void LogRefusedValue(const std::u16string& name, const std::u16string& problem) {
  LogFileTypeProblem(platform::Format(u"File types: value '%s' skipped: %s", name, problem));
}

void WriteRecords(std::u16string_view keyPath,
                  const std::vector<std::unique_ptr<FileType>>& records) {
  platform::RegistryKey key;
  if (key.Create(platform::RegistryRoot::CurrentUser, keyPath) != platform::kErrorSuccess) return;
  for (const std::unique_ptr<FileType>& record : records) {
    std::vector<uint8_t> data = record->Serialize();
    key.WriteBinary(RegistryValueName(*record), data.data(), static_cast<uint32_t>(data.size()));
  }
}

}  // namespace

void FileTypeDatabase::Load() { Load(ApplicationRegistryKey()); }

void FileTypeDatabase::Load(std::u16string_view applicationKey) {
  Clear();
  registryKey_ = std::u16string(applicationKey);
  LoadGroups();
  const bool defaultGroups = groups_.empty();
  LoadTypes();
  const bool defaultTypes = types_.empty();
  RestoreSavedOrder();
  BuildDefaults(defaultGroups, defaultTypes);
  RebuildExtensionIndex();
  loaded_ = true;
  if (defaultGroups || defaultTypes) Save();
}

void FileTypeDatabase::LoadGroups() {
  ForEachRecordValue(GroupsKey(registryKey_),
                     [this](const std::u16string& name, std::span<const uint8_t> data) {
                       DeserializeResult read = DeserializeFileType(data);
                       if (!read.type) return LogRefusedValue(name, read.problem);
                       AddGroup(std::move(read.type));
                     });
}

// A value whose id is already loaded replaces that type, so a later value wins.
void FileTypeDatabase::LoadTypes() {
  ForEachRecordValue(TypesKey(registryKey_),
                     [this](const std::u16string& name, std::span<const uint8_t> data) {
                       DeserializeResult read = DeserializeFileType(data);
                       if (!read.type) return LogRefusedValue(name, read.problem);
                       if (FileType* existing = FindType(read.type->TypeId))
                         existing->ReplaceRecord(*read.type);
                       else
                         AddType(std::move(read.type));
                     });
}

// Without a saved order (a registry written before the order was kept) the built-in records
// take the order of the built-in table.
void FileTypeDatabase::RestoreSavedOrder() {
  std::vector<int32_t> groupOrder = ReadSavedOrder(registryKey_, u"Groups");
  if (groupOrder.empty())
    for (const FileType& group : BuiltinGroups()) groupOrder.push_back(group.GroupId);
  SortByOrder(groups_, groupOrder, &FileTypeHeader::GroupId);

  std::vector<int32_t> typeOrder = ReadSavedOrder(registryKey_, u"File Types");
  if (typeOrder.empty())
    for (const FileType& type : BuiltinTypes()) typeOrder.push_back(type.TypeId);
  SortByOrder(types_, typeOrder, &FileTypeHeader::TypeId);
}

void FileTypeDatabase::BuildDefaults(bool groups, bool types) {
  if (groups)
    for (FileType& group : BuiltinGroups()) AddGroup(std::make_unique<FileType>(std::move(group)));
  if (types)
    for (FileType& type : BuiltinTypes()) AddType(std::move(type));
}

void FileTypeDatabase::Save() const {
  WriteRecords(GroupsKey(KeyPath()), groups_);
  WriteRecords(TypesKey(KeyPath()), types_);
  WriteSavedOrder(KeyPath(), u"Groups", groups_, &FileTypeHeader::GroupId);
  WriteSavedOrder(KeyPath(), u"File Types", types_, &FileTypeHeader::TypeId);
}

bool FileTypeDatabase::SaveType(const FileType& type) const {
  platform::RegistryKey key;
  if (key.Create(platform::RegistryRoot::CurrentUser, TypesKey(KeyPath())) !=
      platform::kErrorSuccess)
    return false;
  std::vector<uint8_t> data = type.Serialize();
  const bool written =
      key.WriteBinary(RegistryValueName(type), data.data(), static_cast<uint32_t>(data.size())) ==
      platform::kErrorSuccess;
  WriteSavedOrder(KeyPath(), u"File Types", types_, &FileTypeHeader::TypeId);
  return written;
}
