// The registry: Win32 Reg* on Windows; on POSIX a file-backed store with the same keys, value
// names and types under $LUMENARD_HOME (default $XDG_CONFIG_HOME/lumenard, else
// ~/.config/lumenard), each key written atomically (temporary file, then rename).
// Results are Win32 error codes, so callers handle both stores alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegistryRoot { CurrentUser, ClassesRoot };

constexpr uint32_t kRegSz = 1;      // REG_SZ
constexpr uint32_t kRegBinary = 3;  // REG_BINARY

constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidData = 13;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey();
  RegistryKey(RegistryKey&& other) noexcept;
  RegistryKey& operator=(RegistryKey&& other) noexcept;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens an existing key (RegOpenKeyExW); the result tells why it failed.
  long Open(RegistryRoot root, std::u16string_view path);
  // Opens or creates the key and its parents (RegCreateKeyExW).
  long Create(RegistryRoot root, std::u16string_view path);
  void Close();
  bool IsOpen() const;

  // RegQueryValueExW: with data null only type and size are returned; with a buffer smaller
  // than the value kErrorMoreData and the needed size. An empty name is the default value.
  long QueryValue(std::u16string_view name, uint32_t* type, void* data, uint32_t* size) const;
  long SetValue(std::u16string_view name, uint32_t type, const void* data, uint32_t size);
  long DeleteValue(std::u16string_view name);
  // RegEnumValueW: kErrorNoMoreItems past the last value. Values are listed in the order
  // they were first written (Wine's registry lists them sorted by name instead).
  long EnumValue(uint32_t index, std::u16string* name, uint32_t* type,
                 std::vector<uint8_t>* data) const;

  // Conveniences over the calls above. The readers want the value's own type (REG_BINARY,
  // REG_SZ) and give kErrorInvalidData for another.
  long ReadBinary(std::u16string_view name, std::vector<uint8_t>* data) const;
  long WriteBinary(std::u16string_view name, const void* data, uint32_t size);
  long ReadString(std::u16string_view name, std::u16string* text) const;
  // Written with its terminating zero, as Win32 programs do.
  long WriteString(std::u16string_view name, std::u16string_view text);

 private:
  struct Impl;
  Impl* impl_ = nullptr;
};

// Removes a key and everything below it (tests and uninstall use it). An empty path is
// refused: it would name the whole root.
long DeleteRegistryTree(RegistryRoot root, std::u16string_view path);

// The POSIX store reports a damaged store file with one line of text through this sink, which
// the application points at its log. Without a sink the line goes to the standard error stream.
using RegistryWarningSink = void (*)(std::u16string_view line);
void SetRegistryWarningSink(RegistryWarningSink sink);

}  // namespace platform
