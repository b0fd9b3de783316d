// Loading, saving and defaults of the settings record, and the .filesig file association.
// The record is stored as the REG_BINARY value "Settings" under a key of HKEY_CURRENT_USER
// (the application object passes "Software\Corvane\Lumenard\2.0"); a stored record whose
// checksum does not match is replaced by the defaults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/settings.h"

constexpr char16_t kSettingsValueName[] = u"Settings";
// The words the checksum adds up: everything after the checksum word itself.
constexpr size_t kSettingsChecksumWords = (sizeof(SettingsRecord) - sizeof(uint32_t)) / sizeof(uint32_t);
static_assert(kSettingsChecksumWords == 28000);

// Sum modulo 2^32 of the 28000 little-endian words after the first one.
uint32_t Checksum(const SettingsRecord& record);

// Reads the stored record. True when a valid one was loaded; otherwise the defaults are set,
// the file type registered and the defaults saved (SetDefaults), and the result is false.
// RescanPending is 1 afterwards either way.
bool LoadSettings(SettingsRecord& record, std::u16string_view keyPath);

// The default values of every field over a zero-filled record, without touching the registry.
void FillDefaults(SettingsRecord& record);
// FillDefaults, RegisterFileType and SaveSettings. Always true.
bool SetDefaults(SettingsRecord& record, std::u16string_view keyPath);

// Stores the record's current checksum in it and writes all 112004 bytes. True when written.
bool SaveSettings(SettingsRecord& record, std::u16string_view keyPath);
// Writes only when the checksum changed since the last save or load: true when nothing had to
// be written, else the result of SaveSettings. A failed write is not retried until the record
// changes again.
bool SaveIfChanged(SettingsRecord& record, std::u16string_view keyPath);

// Associates ".filesig" files with this program ("/addsig %1") under HKEY_CLASSES_ROOT.
// Stops silently when a key cannot be created (a user without the right); true when all four
// entries were written.
bool RegisterFileType();
bool RegisterFileType(std::u16string_view programPath);

// The record's text fields, by position and capacity in characters. Stored text may lack its
// terminating zero, so it is read only within the field.
struct SettingsTextField {
  size_t offset;
  size_t capacity;
};
constexpr SettingsTextField kDestinationFolderField{offsetof(SettingsRecord, DestinationFolder), 4096};
constexpr SettingsTextField kTemporaryFolderField{offsetof(SettingsRecord, TemporaryFolder), 4096};
constexpr SettingsTextField kLogFileNameField{offsetof(SettingsRecord, LogFileName), 1024};

// The text up to the first zero or the end of the field.
std::u16string ReadSettingsText(const SettingsRecord& record, SettingsTextField field);
// Cut to capacity - 1 characters; the rest of the field is zero-filled.
void WriteSettingsText(SettingsRecord& record, SettingsTextField field, std::u16string_view text);
