// The registry on POSIX: a file-backed store with the keys, value names, types and results of
// the Win32 registry (docs/formats/registry-store.md). Each key is a folder, its values one
// file in it; every call takes the store's process-wide lock, reads the key's file (through a
// cache) and, when it changes something, replaces the file atomically.
#include "platform/registry.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <utility>

#include "platform/posix/registry_key_file.h"
#include "platform/posix/registry_location.h"
#include "platform/text.h"

namespace platform {

using namespace registry_store;

namespace {

// Makes the folder and each missing parent, readable by the user only.
long MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    std::string part = folder.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return ErrnoToRegistryError(errno);
    if (slash == std::string::npos) break;
  }
  struct stat info;
  if (stat(folder.c_str(), &info) != 0) return ErrnoToRegistryError(errno);
  return S_ISDIR(info.st_mode) ? kErrorSuccess : kErrorAccessDenied;
}

// The folder of a key, or the reason it has none.
long KeyFolder(RegistryRoot root, std::u16string_view path, std::string* folder, bool* isRoot) {
  std::string rootFolder = RootFolder(root);
  if (rootFolder.empty()) return kErrorPathNotFound;
  std::vector<std::string> names;
  if (!KeyFolderNames(path, &names)) return kErrorFileNameTooLong;
  *folder = rootFolder;
  for (const std::string& name : names) *folder += "/" + name;
  if (isRoot) *isRoot = names.empty();
  return kErrorSuccess;
}

const StoredValue* FindValue(const std::vector<StoredValue>& values, std::u16string_view name) {
  for (const StoredValue& value : values)
    if (EqualsNoCase(value.name, name)) return &value;
  return nullptr;
}

}  // namespace

struct RegistryKey::Impl {
  std::string folder;
  std::u16string displayName;

  long Load(const KeyValues** values) const { return LoadKeyValues(folder, displayName, values); }
};

RegistryKey::~RegistryKey() { Close(); }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : impl_(std::exchange(other.impl_, nullptr)) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    Close();
    impl_ = std::exchange(other.impl_, nullptr);
  }
  return *this;
}

long RegistryKey::Open(RegistryRoot root, std::u16string_view path) {
  Close();
  std::string folder;
  bool isRoot = false;
  long result = KeyFolder(root, path, &folder, &isRoot);
  if (result != kErrorSuccess) return result;
  std::lock_guard lock(StoreMutex());
  // A root always exists, as on Windows, even before anything was stored.
  if (isRoot) {
    result = MakeFolders(folder);
    if (result != kErrorSuccess) return result;
  }
  struct stat info;
  if (stat(folder.c_str(), &info) != 0) return ErrnoToRegistryError(errno);
  if (!S_ISDIR(info.st_mode)) return kErrorFileNotFound;
  impl_ = new Impl{std::move(folder), KeyDisplayName(root, path)};
  return kErrorSuccess;
}

long RegistryKey::Create(RegistryRoot root, std::u16string_view path) {
  Close();
  std::string folder;
  long result = KeyFolder(root, path, &folder, nullptr);
  if (result != kErrorSuccess) return result;
  std::lock_guard lock(StoreMutex());
  result = MakeFolders(folder);
  if (result != kErrorSuccess) return result;
  impl_ = new Impl{std::move(folder), KeyDisplayName(root, path)};
  return kErrorSuccess;
}

void RegistryKey::Close() {
  delete impl_;
  impl_ = nullptr;
}

bool RegistryKey::IsOpen() const { return impl_ != nullptr; }

long RegistryKey::QueryValue(std::u16string_view name, uint32_t* type, void* data,
                             uint32_t* size) const {
  if (!impl_) return kErrorInvalidHandle;
  if (data && !size) return kErrorInvalidParameter;
  std::lock_guard lock(StoreMutex());
  const KeyValues* values = nullptr;
  long result = impl_->Load(&values);
  if (result != kErrorSuccess) return result;
  const StoredValue* value = FindValue(values->values, name);
  if (!value) return kErrorFileNotFound;
  uint32_t needed = static_cast<uint32_t>(value->data.size());
  if (type) *type = value->type;
  if (!size) return kErrorSuccess;
  uint32_t room = *size;
  *size = needed;
  if (!data) return kErrorSuccess;
  if (room < needed) return kErrorMoreData;
  std::copy(value->data.begin(), value->data.end(), static_cast<uint8_t*>(data));
  return kErrorSuccess;
}

long RegistryKey::SetValue(std::u16string_view name, uint32_t type, const void* data,
                           uint32_t size) {
  if (!impl_) return kErrorInvalidHandle;
  if ((!data && size != 0) || name.size() > kMaxValueNameUnits) return kErrorInvalidParameter;
  std::lock_guard lock(StoreMutex());
  const KeyValues* current = nullptr;
  long result = impl_->Load(&current);
  if (result != kErrorSuccess) return result;
  if (!current->writable) return kErrorAccessDenied;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  // Saving a whole database rewrites every value; those that did not change cost no write.
  const StoredValue* same = FindValue(current->values, name);
  if (same && !current->damaged && same->type == type &&
      std::equal(same->data.begin(), same->data.end(), bytes, bytes + size))
    return kErrorSuccess;
  std::vector<StoredValue> values = current->values;
  std::vector<uint8_t> stored(bytes, bytes + size);
  auto it = std::find_if(values.begin(), values.end(),
                         [&](const StoredValue& v) { return EqualsNoCase(v.name, name); });
  if (it != values.end()) {
    it->type = type;
    it->data = std::move(stored);
  } else {
    values.push_back(StoredValue{std::u16string(name), type, std::move(stored)});
  }
  return SaveKeyValues(impl_->folder, std::move(values));
}

long RegistryKey::DeleteValue(std::u16string_view name) {
  if (!impl_) return kErrorInvalidHandle;
  std::lock_guard lock(StoreMutex());
  const KeyValues* current = nullptr;
  long result = impl_->Load(&current);
  if (result != kErrorSuccess) return result;
  if (!FindValue(current->values, name)) return kErrorFileNotFound;
  if (!current->writable) return kErrorAccessDenied;
  std::vector<StoredValue> values = current->values;
  std::erase_if(values, [&](const StoredValue& v) { return EqualsNoCase(v.name, name); });
  return SaveKeyValues(impl_->folder, std::move(values));
}

long RegistryKey::EnumValue(uint32_t index, std::u16string* name, uint32_t* type,
                            std::vector<uint8_t>* data) const {
  if (!impl_) return kErrorInvalidHandle;
  std::lock_guard lock(StoreMutex());
  const KeyValues* values = nullptr;
  long result = impl_->Load(&values);
  if (result != kErrorSuccess) return result;
  if (index >= values->values.size()) return kErrorNoMoreItems;
  const StoredValue& value = values->values[index];
  if (name) *name = value.name;
  if (type) *type = value.type;
  if (data) *data = value.data;
  return kErrorSuccess;
}

long DeleteRegistryTree(RegistryRoot root, std::u16string_view path) {
  std::string folder;
  bool isRoot = false;
  long result = KeyFolder(root, path, &folder, &isRoot);
  if (result != kErrorSuccess) return result;
  if (isRoot) return kErrorInvalidParameter;
  std::lock_guard lock(StoreMutex());
  struct stat info;
  if (lstat(folder.c_str(), &info) != 0) return ErrnoToRegistryError(errno);
  if (!S_ISDIR(info.st_mode)) return kErrorFileNotFound;
  ForgetKeys(folder);
  std::error_code error;
  std::filesystem::remove_all(folder, error);
  return error ? ErrnoToRegistryError(error.value()) : kErrorSuccess;
}

}  // namespace platform
