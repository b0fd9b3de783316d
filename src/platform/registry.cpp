// The parts of the registry that are the same on every system: the typed readers and writers
// over QueryValue and SetValue, and the sink for warnings about a damaged store.
#include "platform/registry.h"

#include <atomic>
#include <cstdio>

#include "platform/registry_warning.h"
#include "platform/text.h"

namespace platform {

namespace {

// A value may grow between the size query and the read; a few rounds settle that.
constexpr int kReadAttempts = 4;

std::atomic<RegistryWarningSink> g_warningSink{nullptr};

// Reads a value of the wanted type whole, whatever its size.
long ReadTyped(const RegistryKey& key, std::u16string_view name, uint32_t wantedType,
               std::vector<uint8_t>* bytes) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    uint32_t type = 0;
    uint32_t size = 0;
    long result = key.QueryValue(name, &type, nullptr, &size);
    if (result != kErrorSuccess) return result;
    if (type != wantedType) return kErrorInvalidData;
    // One spare byte keeps the buffer pointer valid for an empty value.
    bytes->assign(static_cast<size_t>(size) + 1, 0);
    result = key.QueryValue(name, &type, bytes->data(), &size);
    if (result == kErrorMoreData) continue;
    if (result != kErrorSuccess) return result;
    if (type != wantedType) return kErrorInvalidData;
    bytes->resize(size);
    return kErrorSuccess;
  }
  return kErrorMoreData;
}

}  // namespace

long RegistryKey::ReadBinary(std::u16string_view name, std::vector<uint8_t>* data) const {
  std::vector<uint8_t> bytes;
  long result = ReadTyped(*this, name, kRegBinary, &bytes);
  if (result == kErrorSuccess) *data = std::move(bytes);
  return result;
}

long RegistryKey::WriteBinary(std::u16string_view name, const void* data, uint32_t size) {
  return SetValue(name, kRegBinary, data, size);
}

long RegistryKey::ReadString(std::u16string_view name, std::u16string* text) const {
  std::vector<uint8_t> bytes;
  long result = ReadTyped(*this, name, kRegSz, &bytes);
  if (result != kErrorSuccess) return result;
  // Stored strings usually end with a zero but need not; an odd last byte is no character.
  std::u16string value;
  value.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0) break;
    value.push_back(unit);
  }
  *text = std::move(value);
  return kErrorSuccess;
}

long RegistryKey::WriteString(std::u16string_view name, std::u16string_view text) {
  std::vector<uint8_t> bytes;
  bytes.reserve((text.size() + 1) * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return SetValue(name, kRegSz, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void SetRegistryWarningSink(RegistryWarningSink sink) { g_warningSink.store(sink); }

void ReportRegistryWarning(std::u16string_view line) {
  RegistryWarningSink sink = g_warningSink.load();
  if (sink) {
    sink(line);
    return;
  }
  std::string text = Utf16ToUtf8(line);
  std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace platform
