// The file-type database: the groups and the file types the program recognises, in scan order,
// kept in the registry under the application key ("\Groups" and "\File Types") and rebuilt
// from the built-in table when the registry holds none. One per process, owned by the
// computer object and reached through g_pFileTypes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "signatures/file_type.h"

struct FoundObject;

// Group ids; types of the system group (-16) have no group record.
constexpr int32_t GroupDocuments = -144;
constexpr int32_t GroupArchives = -48;
constexpr int32_t GroupDatabases = -64;
constexpr int32_t GroupImages = -115;
constexpr int32_t GroupPhotos = -117;
constexpr int32_t GroupVideo = -120;
constexpr int32_t GroupAudio = -122;
constexpr int32_t GroupStorages = -112;
constexpr int32_t GroupMobile = -128;
constexpr int32_t GroupExecutable = -80;
constexpr int32_t GroupEmail = -133;
constexpr int32_t GroupSystem = -16;

// The application's registry key: g_pApp's, or the program's default when there is no
// application object (tools and tests).
std::u16string ApplicationRegistryKey();

class FileTypeDatabase {
 public:
  FileTypeDatabase();
  ~FileTypeDatabase();
  FileTypeDatabase(const FileTypeDatabase&) = delete;
  FileTypeDatabase& operator=(const FileTypeDatabase&) = delete;

  // Group records in creation order (at most one per GroupId).
  const std::vector<std::unique_ptr<FileType>>& Groups() const { return groups_; }
  // The types in scan order.
  const std::vector<std::unique_ptr<FileType>>& Types() const { return types_; }
  // (extension in upper case, type) in the order they were indexed; the first type that lists
  // an extension owns it.
  const std::vector<std::pair<std::u16string, FileType*>>& ExtensionIndex() const {
    return extensionIndex_;
  }

  // Fills the database from HKEY_CURRENT_USER\<applicationKey>\Groups and \File Types, or from
  // the built-in table (then saved) when a key is missing or holds no readable value. Damaged
  // values are logged and skipped. Remembers the key for Save.
  void Load(std::u16string_view applicationKey);
  // Load with the application's key (g_pApp).
  void Load();
  bool IsLoaded() const { return loaded_; }
  const std::u16string& RegistryKey() const { return registryKey_; }
  // Writes every group and type as a REG_BINARY value named "%d.%d.%s.%s" (GroupId, TypeId,
  // Title, first extension), and their order (file_type_order.h). A key that cannot be opened
  // is skipped.
  void Save() const;
  // Writes one type's value under "\File Types", and the order of the types.
  bool SaveType(const FileType& type) const;

  // Appends a type (taking ownership) and indexes the extensions no earlier type owns. Refused
  // (null, with a log line) when its id is already used or its record exceeds 16383 bytes,
  // which the registry loader could not read back.
  FileType* AddType(std::unique_ptr<FileType> type);
  FileType* AddType(FileType type) { return AddType(std::make_unique<FileType>(std::move(type))); }
  // Replaces a type's header and signatures, keeping its place in the scan order.
  bool ReplaceType(FileType& existing, const FileType& record);
  // Adds a group record, or replaces the record of a group with the same id.
  FileType* AddGroup(std::unique_ptr<FileType> group);

  FileType* FindType(int32_t typeId) const;
  FileType* FindGroup(int32_t groupId) const;
  // By the owner of the extension (without a dot, any case), or null.
  FileType* FindTypeByExtension(std::u16string_view extension) const;
  // The object's type: by its type id, else by the extension of its name; sets the object's
  // type id when found that way.
  FileType* TypeOfObject(FoundObject& object) const;

  // True when a signature of the type holds at candidate with readable bytes from there.
  static bool Matches(const FileType& type, const uint8_t* candidate, size_t readable) {
    return type.Matches(candidate, readable);
  }

  // Rebuilds ExtensionIndex from the types in list order.
  void RebuildExtensionIndex();
  // Empties the database (groups, types, index) and marks it not loaded.
  void Clear();

 private:
  void IndexExtensions(FileType* type);
  void LoadGroups();
  void LoadTypes();
  void BuildDefaults(bool groups, bool types);
  void RestoreSavedOrder();
  // The key given to Load, or the application's before the first Load.
  std::u16string KeyPath() const {
    return registryKey_.empty() ? ApplicationRegistryKey() : registryKey_;
  }

  std::vector<std::unique_ptr<FileType>> groups_;
  std::vector<std::unique_ptr<FileType>> types_;
  std::vector<std::pair<std::u16string, FileType*>> extensionIndex_;
  std::unordered_map<std::u16string, FileType*> extensionLookup_;
  std::u16string registryKey_;
  bool loaded_ = false;
};

// The value name of a record: "%d.%d.%s.%s" with GroupId, TypeId, Title, first extension.
std::u16string RegistryValueName(const FileType& record);

// Writes the log line for a problem with the database or its files (nothing without a log).
void LogFileTypeProblem(std::u16string_view text);

// The built-in table: the eleven groups and the built-in types, in creation order.
std::vector<FileType> BuiltinGroups();
std::vector<FileType> BuiltinTypes();

extern FileTypeDatabase* g_pFileTypes;
