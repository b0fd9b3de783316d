// Signature files (.filesig): one serialized file type each, carried from one installation to
// another (docs/formats/filesig.md). A file comes from a stranger: it is checked in full before
// the database changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "signatures/file_types.h"
#include "signatures/signature_messages.h"

// The largest file accepted: a type's record must fit the 16383 bytes the registry loader reads.
constexpr size_t kMaxSignatureFileSize = kMaxSerializedFileType;

// Reads a signature file's bytes: exactly one record, whose sizes and counts agree with each
// other and with the file's length. Null, with the reason in problem, when refused.
std::unique_ptr<FileType> ParseSignatureFile(std::span<const uint8_t> bytes,
                                             std::u16string* problem);

// Adds the file's type to the database, or updates the type with the same id, saves the
// database and tells the user ("added", "updated", or "can't open" when the file cannot be read
// or is refused; then the database is unchanged). Quotes and blanks around the path are
// removed first. Returns the type, or null.
FileType* AddSignatureFile(FileTypeDatabase& database, std::u16string_view path,
                           ISignatureMessages& messages);

// Creates (or overwrites) the file with the type's serialized record. False when it cannot.
bool WriteSignatureFile(const FileType& type, std::u16string_view path);
// As WriteSignatureFile, telling the user "Error write a file!" when it fails.
bool SaveSignatureFile(const FileType& type, std::u16string_view path,
                       ISignatureMessages& messages);

// Adds a new type to the database and writes its registry value. A type whose id is already in
// use replaces that type, as its value would on the next start. Returns the type, or null.
FileType* AddToSignaturesList(FileTypeDatabase& database, std::unique_ptr<FileType> type);

// The "/addsig" start: imports the file named by the text after the switch into g_pFileTypes
// (or the application's saved database when there is none yet) and returns the exit code, 0.
int ImportSignatureFileFromCommandLine(std::u16string_view argumentText,
                                       ISignatureMessages& messages);
