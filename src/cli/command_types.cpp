// lumenard-cli types: the file-type database in scan order, which types hold at the start of a
// file, and writing one type as a signature file.
#include <iostream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/engine_session.h"
#include "platform/file.h"
#include "platform/text.h"
#include "signatures/file_types.h"
#include "signatures/signature_file.h"

namespace {

// Enough for every condition the program makes (they test the first 512 bytes) and for added
// types with larger offsets.
constexpr uint32_t kMatchReadSize = 65536;

std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::string Padded(std::string text, size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text;
}

std::string GroupName(const FileTypeDatabase& database, int32_t groupId) {
  if (const FileType* group = database.FindGroup(groupId)) return Utf8(group->DisplayName());
  if (groupId == GroupSystem) return "(system)";
  return "(group " + std::to_string(groupId) + ")";
}

void PrintDatabase(const FileTypeDatabase& database) {
  std::cout << "Groups:\n";
  for (const auto& group : database.Groups())
    std::cout << "  " << Padded(std::to_string(group->GroupId), 6) << Utf8(group->DisplayName())
              << "\n";
  std::cout << "\nTypes, in scan order:\n"
            << "  " << Padded("ID", 6) << Padded("GROUP", 27) << Padded("SIGS", 6)
            << "DESCRIPTION [EXTENSIONS]\n";
  for (const auto& type : database.Types())
    std::cout << "  " << Padded(std::to_string(type->TypeId), 6)
              << Padded(GroupName(database, type->GroupId), 27)
              << Padded(std::to_string(type->Signatures.size()), 6) << Utf8(type->DisplayName())
              << " [" << Utf8(type->ExtensionsText()) << "]\n";
  std::cout << "\n"
            << database.Groups().size() << " groups, " << database.Types().size() << " types\n";
}

int PrintMatches(const FileTypeDatabase& database, const std::string& path) {
  platform::File file;
  if (!file.OpenRead(platform::Utf8ToUtf16(path)))
    return CliFailure("cannot open " + path + ": " +
                      Utf8(platform::SystemErrorMessage(platform::LastError())));
  std::vector<uint8_t> start(kMatchReadSize);
  platform::ReadResult read = file.ReadAt(0, start.data(), kMatchReadSize);
  if (read.status != platform::ReadStatus::Ok) return CliFailure("cannot read " + path);
  int matches = 0;
  for (const auto& type : database.Types()) {
    if (!FileTypeDatabase::Matches(*type, start.data(), read.bytes)) continue;
    std::cout << Padded(std::to_string(type->TypeId), 6) << Utf8(type->DisplayName()) << "\n";
    ++matches;
  }
  if (matches == 0) std::cout << "no type matches the start of " << path << "\n";
  return kExitSuccess;
}

int ExportType(const FileTypeDatabase& database, const std::string& idText,
               const std::string& path) {
  std::optional<uint64_t> id = ParseCliNumber(idText);
  const FileType* type =
      id && *id <= INT32_MAX ? database.FindType(static_cast<int32_t>(*id)) : nullptr;
  if (!type) return CliFailure("no file type with id " + idText);
  if (!WriteSignatureFile(*type, platform::Utf8ToUtf16(path)))
    return CliFailure("cannot write " + path);
  std::cout << "wrote " << path << " (" << type->SerializedSize()
            << " bytes): " << Utf8(type->DisplayName()) << "\n";
  return kExitSuccess;
}

int RunTypes(const CliArgs& args) {
  CliOptions options(args, {}, {"--match", "--export"});
  if (!options.ok()) return CliUsageError(options.error());
  const bool match = options.Has("--match");
  const bool exportType = options.Has("--export");
  const size_t expectedWords = exportType ? 1 : 0;
  if ((match && exportType) || options.Positional().size() != expectedWords)
    return CliUsageError("types takes --match FILE, or --export ID FILE.filesig, or nothing");

  EngineSession session;
  FileTypeDatabase local;
  FileTypeDatabase& database = g_pFileTypes ? *g_pFileTypes : local;
  if (!database.IsLoaded()) database.Load();
  if (match) return PrintMatches(database, *options.Value("--match"));
  if (exportType) return ExportType(database, *options.Value("--export"), options.Positional()[0]);
  PrintDatabase(database);
  return kExitSuccess;
}

}  // namespace

LUMENARD_CLI_COMMAND_WITH_DETAILS(
    types, "types [--match FILE | --export ID FILE.filesig]",
    "list the file types, or name those whose signatures hold at a file's start",
    "  --match FILE               the types whose signatures hold at the start of FILE\n"
    "  --export ID FILE.filesig   write the type with that id as a signature file\n"
    "The file types are kept under $LUMENARD_HOME (the registry on Windows).",
    RunTypes);
