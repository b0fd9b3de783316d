// lumenard-cli lost-drives PATH [--format text|tsv]: the search for lost drives over a drive or
// drive image. Every sector is read; each FAT or NTFS boot sector found becomes a volume of its
// own, listed with its offset, file system, size and label.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/analysis_run.h"
#include "cli/command.h"
#include "platform/text.h"
#include "volumes/volume.h"

namespace {

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

// Tabs and line breaks in a label would break a row.
std::string TsvField(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return text;
}

int RunLostDrives(const CliArgs& args) {
  CliOptions options(args, {}, {"--format", "--threads"});
  if (!options.ok()) return CliUsageError(options.error());
  if (options.Positional().size() != 1)
    return CliUsageError("lost-drives takes one drive or image");
  const std::string format = options.Value("--format").value_or("text");
  if (format != "text" && format != "tsv") return CliUsageError("the format is text or tsv");

  AnalysisRun run(AnalysisRun::Output::Bar);
  if (const std::optional<std::string> threads = options.Value("--threads")) {
    const std::optional<uint64_t> count = ParseCliNumber(*threads);
    if (!count || *count < 1 || *count > 64)
      return CliUsageError("--threads is a number from 1 to 64");
    run.SetSearchThreads(static_cast<int32_t>(*count));
  }
  std::vector<CVolume*> found;
  if (!run.Load(options.Positional()[0]) || !run.SearchLostDrives(found)) return kExitFailure;
  if (format == "tsv") {
    std::cout << "offset\tfile_system\tsize\tlabel\n";
    for (CVolume* volume : found)
      std::cout << volume->StartOffset << '\t' << TsvField(Utf8(volume->GetFileSystemName()))
                << '\t' << volume->TotalBytes << '\t'
                << TsvField(Utf8(platform::Trim(volume->Label))) << '\n';
  } else {
    if (found.empty()) std::cout << "No lost drives found.\n";
    for (CVolume* volume : found) {
      std::cout << Utf8(volume->GetFileSystemName()) << " at offset " << volume->StartOffset << ", "
                << volume->TotalBytes << " bytes";
      const std::u16string label = platform::Trim(volume->Label);
      if (!label.empty()) std::cout << ", label \"" << Utf8(label) << '"';
      std::cout << '\n';
    }
  }
  std::cout.flush();
  return kExitSuccess;
}

}  // namespace

// Registered by hand: the command's name has a hyphen.
static const bool lumenard_cli_registered_lost_drives = RegisterCliCommand(
    {"lost-drives", "lost-drives PATH [--threads N] [--format text|tsv]",
     "search a drive or drive image for lost FAT and NTFS volumes", RunLostDrives,
     "  Reads every 512-byte sector and lists each FAT or NTFS boot sector it finds as a volume\n"
     "  of its own, also where no partition table names it any more.\n"
     "  --threads N    the scan's worker threads (1 to 64; 1 by default)\n"
     "  --format tsv   for scripts: a header line, then one tab-separated line per volume:\n"
     "                 offset file_system size label (offset and size in bytes)\n"
     "  A volume at offset 0 is the drive or image itself.\n"});
