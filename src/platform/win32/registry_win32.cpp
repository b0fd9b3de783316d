// The registry on Windows: thin wrappers over the Reg* calls, which already have the semantics
// that registry.h promises. Keys are opened for reading and writing (KEY_READ | KEY_WRITE).
#include "platform/registry.h"

#include <windows.h>

#include <utility>

namespace platform {

namespace {

constexpr long kErrorInvalidHandle = ERROR_INVALID_HANDLE;
constexpr long kErrorInvalidParameter = ERROR_INVALID_PARAMETER;
constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
// The longest value name the registry allows, and its terminating zero.
constexpr DWORD kValueNameUnits = 16384;
// A value may grow between the size query and the read; a few rounds settle that.
constexpr int kEnumAttempts = 4;

HKEY RootHandle(RegistryRoot root) {
  return root == RegistryRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

// Reg* calls want zero-terminated text.
std::wstring Terminated(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

bool NamesWholeRoot(std::u16string_view path) {
  return path.find_first_not_of(u'\\') == std::u16string_view::npos;
}

}  // namespace

struct RegistryKey::Impl {
  HKEY handle = nullptr;
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
  HKEY handle = nullptr;
  long result = RegOpenKeyExW(RootHandle(root), Terminated(path).c_str(), 0, kAccess, &handle);
  if (result == ERROR_SUCCESS) impl_ = new Impl{handle};
  return result;
}

long RegistryKey::Create(RegistryRoot root, std::u16string_view path) {
  Close();
  HKEY handle = nullptr;
  long result = RegCreateKeyExW(RootHandle(root), Terminated(path).c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, kAccess, nullptr, &handle, nullptr);
  if (result == ERROR_SUCCESS) impl_ = new Impl{handle};
  return result;
}

void RegistryKey::Close() {
  if (!impl_) return;
  RegCloseKey(impl_->handle);
  delete impl_;
  impl_ = nullptr;
}

bool RegistryKey::IsOpen() const { return impl_ != nullptr; }

long RegistryKey::QueryValue(std::u16string_view name, uint32_t* type, void* data,
                             uint32_t* size) const {
  if (!impl_) return kErrorInvalidHandle;
  DWORD valueType = 0;
  DWORD valueSize = size ? *size : 0;
  long result = RegQueryValueExW(impl_->handle, Terminated(name).c_str(), nullptr, &valueType,
                                 static_cast<BYTE*>(data), size ? &valueSize : nullptr);
  if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
    if (type) *type = valueType;
    if (size) *size = valueSize;
  }
  return result;
}

long RegistryKey::SetValue(std::u16string_view name, uint32_t type, const void* data,
                           uint32_t size) {
  if (!impl_) return kErrorInvalidHandle;
  if (!data && size != 0) return kErrorInvalidParameter;
  return RegSetValueExW(impl_->handle, Terminated(name).c_str(), 0, type,
                        static_cast<const BYTE*>(data), size);
}

long RegistryKey::DeleteValue(std::u16string_view name) {
  if (!impl_) return kErrorInvalidHandle;
  return RegDeleteValueW(impl_->handle, Terminated(name).c_str());
}

long RegistryKey::EnumValue(uint32_t index, std::u16string* name, uint32_t* type,
                            std::vector<uint8_t>* data) const {
  if (!impl_) return kErrorInvalidHandle;
  std::wstring nameBuffer(kValueNameUnits, L'\0');
  for (int attempt = 0; attempt < kEnumAttempts; ++attempt) {
    DWORD nameUnits = kValueNameUnits;
    DWORD valueType = 0;
    DWORD valueSize = 0;
    long result = RegEnumValueW(impl_->handle, index, nameBuffer.data(), &nameUnits, nullptr,
                                &valueType, nullptr, &valueSize);
    if (result != ERROR_SUCCESS) return result;
    if (data) {
      // One spare byte keeps the buffer pointer valid for an empty value.
      std::vector<uint8_t> bytes(static_cast<size_t>(valueSize) + 1);
      nameUnits = kValueNameUnits;
      result = RegEnumValueW(impl_->handle, index, nameBuffer.data(), &nameUnits, nullptr,
                             &valueType, bytes.data(), &valueSize);
      if (result == ERROR_MORE_DATA) continue;
      if (result != ERROR_SUCCESS) return result;
      bytes.resize(valueSize);
      *data = std::move(bytes);
    }
    if (name) name->assign(nameBuffer.begin(), nameBuffer.begin() + nameUnits);
    if (type) *type = valueType;
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

long DeleteRegistryTree(RegistryRoot root, std::u16string_view path) {
  if (NamesWholeRoot(path)) return kErrorInvalidParameter;
  return RegDeleteTreeW(RootHandle(root), Terminated(path).c_str());
}

}  // namespace platform
