// lumenard-cli analyse PATH [--deleted-only] [--sectors|--sectors-only] [--threads N]
// [--free-space-only] [--format tree|tsv|json]: runs the file-system pass over a drive image or
// a drive (over each volume of its partition table, when it has one), the sector pass after it
// or alone, and prints the files and folders found, live, deleted and lost.
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/analysis_run.h"
#include "cli/command.h"
#include "cli/object_listing.h"
#include "filesystems/file_system.h"
#include "platform/text.h"
#include "volumes/volume.h"

namespace {

enum class Format { Tree, Tsv, Json };

std::optional<Format> ParseFormat(const std::string& name) {
  if (name == "tree") return Format::Tree;
  if (name == "tsv") return Format::Tsv;
  if (name == "json") return Format::Json;
  return std::nullopt;
}

std::string Counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// "FAT16 volume at offset 1048576 of disk.img, label "DATA": 3 folders and 12 files, 2 deleted".
std::string Heading(CVolume& volume, const std::vector<ObjectRow>& rows) {
  size_t folders = 0, deleted = 0, lost = 0;
  for (const ObjectRow& row : rows) {
    folders += row.folder;
    deleted += row.deleted && !row.lost;
    lost += row.lost;
  }
  // A card or carving image scanned sector by sector has no file system to name.
  std::string heading = volume.FileSystemType() == FsTypeNone
                            ? platform::Utf16ToUtf8(volume.GetDisplayName()) + " (no file system)"
                            : platform::Utf16ToUtf8(volume.GetFileSystemName()) +
                                  " volume at offset " + std::to_string(volume.StartOffset) +
                                  " of " + platform::Utf16ToUtf8(volume.Parent->GetDisplayName());
  const std::u16string label = platform::Trim(volume.Label);
  if (!label.empty()) heading += ", label \"" + platform::Utf16ToUtf8(label) + "\"";
  return heading + ": " + Counted(folders, "folder") + " and " +
         Counted(rows.size() - folders, "file") + ", " + std::to_string(deleted) + " deleted" +
         (lost != 0 ? ", " + std::to_string(lost) + " lost" : "");
}

void Print(Format format, const std::vector<CVolume*>& volumes, RowFilter filter) {
  if (format == Format::Tsv) WriteTsvHeader(std::cout);
  if (format == Format::Json) std::cout << "[";
  bool first = true;
  for (CVolume* volume : volumes) {
    const std::vector<ObjectRow> rows = ListObjects(*volume, filter);
    switch (format) {
      case Format::Tree:
        if (!first) std::cout << '\n';
        WriteTree(std::cout, Heading(*volume, rows), rows);
        first = false;
        break;
      case Format::Tsv:
        WriteTsvRows(std::cout, rows);
        break;
      case Format::Json:
        for (const ObjectRow& row : rows) {
          std::cout << (first ? "\n  " : ",\n  ") << JsonObject(row);
          first = false;
        }
        break;
    }
  }
  if (format == Format::Json) std::cout << (first ? "]\n" : "\n]\n");
  std::cout.flush();
}

int RunAnalyse(const CliArgs& args) {
  CliOptions options(args, {"--deleted-only", "--sectors", "--sectors-only", "--free-space-only"},
                     {"--format", "--threads"});
  if (!options.ok()) return CliUsageError(options.error());
  if (options.Positional().size() != 1) return CliUsageError("analyse takes one drive or image");
  AnalysisRun::Passes passes;
  passes.sectorsOnly = options.Has("--sectors-only");
  passes.sectors = options.Has("--sectors") || passes.sectorsOnly;
  passes.freeSpaceOnly = options.Has("--free-space-only");
  if (passes.freeSpaceOnly && !options.Has("--sectors"))
    return CliUsageError(
        "--free-space-only needs --sectors (the file-system pass marks the space in use)");
  if (const std::optional<std::string> threads = options.Value("--threads")) {
    const std::optional<uint64_t> count = ParseCliNumber(*threads);
    if (!count || *count < 1 || *count > 64)
      return CliUsageError("--threads is a number from 1 to 64");
    if (!passes.sectors) return CliUsageError("--threads needs --sectors or --sectors-only");
    passes.threads = static_cast<int32_t>(*count);
  }
  const std::optional<Format> format = ParseFormat(options.Value("--format").value_or("tree"));
  if (!format) return CliUsageError("the format is tree, tsv or json");
  const RowFilter filter = options.Has("--deleted-only") ? RowFilter::DeletedOnly : RowFilter::All;

  AnalysisRun run(AnalysisRun::Output::Bar);
  if (!run.Load(options.Positional()[0]) || !run.Analyse(passes)) return kExitFailure;
  Print(*format, run.AnalysedVolumes(), filter);
  int code = kExitSuccess;
  for (CVolume* volume : run.Volumes())
    if (std::find(run.AnalysedVolumes().begin(), run.AnalysedVolumes().end(), volume) ==
        run.AnalysedVolumes().end())
      code = CliFailure("the volume at offset " + std::to_string(volume->StartOffset) +
                        " could not be read");
  return code;
}

}  // namespace

LUMENARD_CLI_COMMAND_WITH_DETAILS(
    analyse,
    "analyse PATH [--deleted-only] [--sectors|--sectors-only] [--threads N] [--free-space-only] "
    "[--format tree|tsv|json]",
    "list the files and folders, live, deleted and lost, of a drive or drive image",
    "  Reads the FAT12, FAT16, FAT32 or NTFS structures of the drive or image, or of every\n"
    "  volume of its partition table, and lists what they hold, deleted files and folders\n"
    "  included; what lay in a folder that is gone is listed under \"Lost folders\".\n"
    "  Then, with --sectors, it reads every 512-byte sector and lists the files it recognises\n"
    "  by their signatures under \"Lost files\", in a folder per file-type group.\n"
    "  --deleted-only  only what was deleted\n"
    "  --sectors       the sector pass after the file-system pass\n"
    "  --sectors-only  the sector pass alone, over the whole drive or image (a card without\n"
    "                  a file system, a carving image)\n"
    "  --threads N     the sector pass's worker threads (1 to 64; 1 by default)\n"
    "  --free-space-only  the sector pass skips the clusters the file system has in use\n"
    "  --format tree   an indented listing per volume (the default)\n"
    "  --format tsv    for scripts: a header line, then one tab-separated line per object:\n"
    "                  volume_offset state kind id parent_id size start created modified path\n"
    "                  (state live, deleted or lost, kind file or folder, sizes and offsets in\n"
    "                  bytes, size -1 when unknown,\n"
    "                  times as FILETIME integers with 0 when unknown, path from the volume's\n"
    "                  root with '/' between names)\n"
    "  --format json   an array of objects with the same fields\n"
    "  `lumenard-cli cat PATH --id ID --volume-offset OFFSET` writes an object's data,\n"
    "  `lumenard-cli cat PATH --start BYTES` a lost file's.\n",
    RunAnalyse);
