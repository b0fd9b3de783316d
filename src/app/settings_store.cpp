#include "app/settings_store.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "platform/file.h"
#include "platform/path_rules.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/time.h"

static_assert(std::endian::native == std::endian::little, "the record is stored as it lies in memory");

namespace {

using platform::RegistryKey;
using platform::RegistryRoot;

constexpr SettingsTextField kReservedTextField{offsetof(SettingsRecord, ReservedText),
                                               sizeof(SettingsRecord::ReservedText) / sizeof(char16_t)};
constexpr int32_t kDefaultUpdateCheckDays = 30;
constexpr uint32_t kWindowPlacementLength = 44;

uint8_t* Bytes(SettingsRecord& record) { return reinterpret_cast<uint8_t*>(&record); }
const uint8_t* Bytes(const SettingsRecord& record) { return reinterpret_cast<const uint8_t*>(&record); }

char16_t CharAt(const SettingsRecord& record, SettingsTextField field, size_t index) {
  char16_t c;
  std::memcpy(&c, Bytes(record) + field.offset + index * sizeof(char16_t), sizeof(c));
  return c;
}

void SetCharAt(SettingsRecord& record, SettingsTextField field, size_t index, char16_t c) {
  std::memcpy(Bytes(record) + field.offset + index * sizeof(char16_t), &c, sizeof(c));
}

std::u16string DefaultDestinationFolder() { return platform::DefaultRecoveryFolder(); }

// A stored record may hold text fields without their terminating zero; later readers treat
// them as zero-terminated, so the last character of such a field is cleared.
void TerminateTextFields(SettingsRecord& record) {
  for (SettingsTextField field :
       {kDestinationFolderField, kTemporaryFolderField, kLogFileNameField, kReservedTextField}) {
    if (ReadSettingsText(record, field).size() == field.capacity)
      SetCharAt(record, field, field.capacity - 1, u'\0');
  }
}

// The stored value, zero-padded to the record's size; false when it is missing, not binary,
// longer than the record or too short to hold even the checksum.
bool ReadStoredRecord(std::u16string_view keyPath, SettingsRecord& stored) {
  RegistryKey key;
  if (key.Open(RegistryRoot::CurrentUser, keyPath) != platform::kErrorSuccess) return false;
  std::memset(&stored, 0, sizeof(stored));
  uint32_t type = 0;
  uint32_t size = sizeof(stored);
  if (key.QueryValue(kSettingsValueName, &type, &stored, &size) != platform::kErrorSuccess) return false;
  if (type != platform::kRegBinary || size > sizeof(stored) || size < sizeof(uint32_t)) return false;
  std::memset(Bytes(stored) + size, 0, sizeof(stored) - size);
  return true;
}

bool WriteClassKey(std::u16string_view path, std::u16string_view text) {
  RegistryKey key;
  if (key.Create(RegistryRoot::ClassesRoot, path) != platform::kErrorSuccess) return false;
  return key.WriteString(u"", text) == platform::kErrorSuccess;
}

}  // namespace

uint32_t Checksum(const SettingsRecord& record) {
  const uint8_t* words = Bytes(record) + sizeof(uint32_t);
  uint32_t sum = 0;
  for (size_t i = 0; i < kSettingsChecksumWords; ++i) {
    uint32_t word;
    std::memcpy(&word, words + i * sizeof(word), sizeof(word));
    sum += word;
  }
  return sum;
}

bool LoadSettings(SettingsRecord& record, std::u16string_view keyPath) {
  // On the heap: the record is 110 KB.
  auto stored = std::make_unique<SettingsRecord>();
  bool loaded = false;
  if (ReadStoredRecord(keyPath, *stored)) {
    if (Checksum(*stored) == stored->Checksum) {
      record = *stored;
      TerminateTextFields(record);
      loaded = true;
    }
  }
  if (!loaded) SetDefaults(record, keyPath);
  record.RescanPending = 1;
  return loaded;
}

void FillDefaults(SettingsRecord& record) {
  std::memset(&record, 0, sizeof(record));
  std::memcpy(record.WizardPlacement, &kWindowPlacementLength, sizeof(kWindowPlacementLength));

  record.Reserved40 = 1;
  record.Reserved44 = 1;
  record.Reserved56 = 1;
  record.ShowLegend = 1;
  record.ShowLog = 1;
  record.ShowStatusBar = 1;
  record.ShowToolbar = 1;
  record.ShowSplash = 1;
  record.Reserved80 = 1;
  record.ConfirmExit = 1;
  record.ConfirmStopScanning = 1;
  record.ConfirmRecoveryAbort = 1;
  record.ConfirmFileOverwrite = 1;
  record.Reserved104 = 5400;
  record.LogToDebugger = 1;
  record.ClearLogOnStartup = 1;
  record.MaxLogSizeKB = 10240;
  record.UpdateCheckDays = kDefaultUpdateCheckDays;
  record.NextUpdateCheck = platform::SystemTimeAsFileTime() + kDefaultUpdateCheckDays * platform::kFileTimeTicksPerDay;
  record.AnalyzeQueued = 1;
  record.ScanMode = 1;
  record.SearchThreads = 1;
  record.ReadRetries = 10;
  record.Reserved188 = 1;

  WriteSettingsText(record, kDestinationFolderField, DefaultDestinationFolder());
  WriteSettingsText(record, kTemporaryFolderField, platform::TempFolder());
  WriteSettingsText(record, kLogFileNameField, u"Lumenard.log");
  WriteSettingsText(record, kReservedTextField, u"*");
}

bool SetDefaults(SettingsRecord& record, std::u16string_view keyPath) {
  FillDefaults(record);
  RegisterFileType();
  SaveSettings(record, keyPath);
  return true;
}

bool SaveSettings(SettingsRecord& record, std::u16string_view keyPath) {
  // The stored copy must always carry its own checksum, or the next start would discard it.
  record.Checksum = Checksum(record);
  RegistryKey key;
  if (key.Create(RegistryRoot::CurrentUser, keyPath) != platform::kErrorSuccess) return false;
  return key.SetValue(kSettingsValueName, platform::kRegBinary, &record, sizeof(record)) == platform::kErrorSuccess;
}

bool SaveIfChanged(SettingsRecord& record, std::u16string_view keyPath) {
  if (Checksum(record) == record.Checksum) return true;
  return SaveSettings(record, keyPath);
}

bool RegisterFileType() { return RegisterFileType(platform::ProgramPath()); }

bool RegisterFileType(std::u16string_view programPath) {
  const std::u16string path(programPath);
  if (!WriteClassKey(u".filesig", u"Corvane.FileSignature")) return false;
  if (!WriteClassKey(u"Corvane.FileSignature", u"File Signature")) return false;
  if (!WriteClassKey(u"Corvane.FileSignature\\DefaultIcon", path + u",0")) return false;
  return WriteClassKey(u"Corvane.FileSignature\\shell\\open\\command", u"\"" + path + u"\" \"/addsig %1\"");
}

std::u16string ReadSettingsText(const SettingsRecord& record, SettingsTextField field) {
  std::u16string text;
  for (size_t i = 0; i < field.capacity; ++i) {
    char16_t c = CharAt(record, field, i);
    if (c == u'\0') break;
    text.push_back(c);
  }
  return text;
}

void WriteSettingsText(SettingsRecord& record, SettingsTextField field, std::u16string_view text) {
  const size_t length = std::min(text.size(), field.capacity - 1);
  for (size_t i = 0; i < field.capacity; ++i) SetCharAt(record, field, i, i < length ? text[i] : u'\0');
}
