// lumenard-cli cat PATH --id N [--volume-offset BYTES] | --start BYTES: analyses the drive or
// image as analyse does, without a word, and writes the data of one found file to standard
// output, read as the recovery reads it, up to the file's size. A lost file has no identifier
// of its own: it is named by where it starts, as analyse --sectors-only lists it.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "cli/analysis_run.h"
#include "cli/command.h"
#include "filesystems/found_object.h"
#include "filesystems/found_object_store.h"
#include "volumes/volume.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr uint32_t kPieceBytes = 1 << 20;

// Standard output passes bytes unchanged while this object lives: on Windows it is in text
// mode, which would turn every line feed into CR LF.
class BinaryStandardOutput {
 public:
  BinaryStandardOutput() {
    std::cout.flush();
    std::fflush(stdout);
#ifdef _WIN32
    previousMode_ = _setmode(_fileno(stdout), _O_BINARY);
#endif
  }
  ~BinaryStandardOutput() {
    std::cout.flush();
    std::fflush(stdout);
#ifdef _WIN32
    if (previousMode_ != -1) _setmode(_fileno(stdout), previousMode_);
#endif
  }
  BinaryStandardOutput(const BinaryStandardOutput&) = delete;
  BinaryStandardOutput& operator=(const BinaryStandardOutput&) = delete;

 private:
  int previousMode_ = -1;
};

std::string Offsets(const std::vector<CVolume*>& volumes) {
  std::string text;
  for (const CVolume* volume : volumes)
    text += (text.empty() ? "" : ", ") + std::to_string(volume->StartOffset);
  return text;
}

// The analysed volume at the offset, or the only one; null with the reason in error.
CVolume* ChooseVolume(const AnalysisRun& run, std::optional<uint64_t> offset, std::string& error) {
  const std::vector<CVolume*>& volumes = run.AnalysedVolumes();
  if (offset) {
    for (CVolume* volume : volumes)
      if (volume->StartOffset == *offset) return volume;
    error = "no volume was analysed at offset " + std::to_string(*offset) + " (volumes at " +
            Offsets(volumes) + ")";
    return nullptr;
  }
  if (volumes.size() == 1) return volumes.front();
  error = "the drive holds " + std::to_string(volumes.size()) + " volumes (at offsets " +
          Offsets(volumes) + "): choose one with --volume-offset";
  return nullptr;
}

// A copy of the file with the identifier: a live one before deleted ones (a deleted FAT file
// can share its first cluster, and so its identifier, with a live one). Nothing, with the
// reason in error, when there is no such file.
std::optional<FoundObject> FindFile(CVolume& volume, int32_t id, std::string& error) {
  FoundObjectStore::Guard guard = volume.Store.Lock();
  std::vector<const FoundObject*> files;
  bool folder = false;
  for (const FoundObject* object : volume.Store.FindAllById(id)) {
    if (object->Flags & FoundDriveNode) continue;
    if (object->Flags & FoundFolder)
      folder = true;
    else
      files.push_back(object);
  }
  if (files.empty()) {
    error = folder ? "object " + std::to_string(id) + " is a folder"
                   : "no object with id " + std::to_string(id) + " on the volume at offset " +
                         std::to_string(volume.StartOffset);
    return std::nullopt;
  }
  std::stable_partition(files.begin(), files.end(),
                        [](const FoundObject* file) { return !(file->Flags & FoundDeleted); });
  if (files.size() > 1)
    std::cerr << "lumenard-cli: " << files.size() << " files have id " << id
              << "; writing the first " << ((files[0]->Flags & FoundDeleted) ? "deleted" : "live")
              << " one\n";
  return *files.front();
}

// A copy of the lost file that the sector scan found at the position.
std::optional<FoundObject> FindLostFile(CVolume& volume, uint64_t start, std::string& error) {
  FoundObjectStore::Guard guard = volume.Store.Lock();
  for (const FoundObject* object : volume.Store.AllObjects())
    if ((object->Flags & FoundLost) && !(object->Flags & FoundFolder) && object->Start >= 0 &&
        static_cast<uint64_t>(object->Start) == start)
      return *object;
  error = "no lost file starts at byte " + std::to_string(start);
  return std::nullopt;
}

// Writes the object's bytes up to its size; false, with the reason in error, when a read or
// the write fails.
bool WriteData(CVolume& volume, const FoundObject& file, std::string& error) {
  const std::string what = (file.Flags & FoundLost)
                               ? "the lost file at byte " + std::to_string(file.Start)
                               : "object " + std::to_string(file.Id);
  if (file.Size < 0) {
    error = "the size of " + what + " is not known";
    return false;
  }
  const uint64_t size = static_cast<uint64_t>(file.Size);
  std::vector<char> piece(kPieceBytes);
  BinaryStandardOutput binary;
  for (uint64_t done = 0; done < size;) {
    const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(kPieceBytes, size - done));
    const uint32_t got = volume.ReadObjectData(file, piece.data(), done, want);
    if (got == 0) {
      error = "cannot read " + what + " at byte " + std::to_string(done) + " of " +
              std::to_string(size);
      return false;
    }
    const uint32_t usable = std::min(got, want);
    std::cout.write(piece.data(), usable);
    done += usable;
  }
  std::cout.flush();
  if (!std::cout) {
    error = "cannot write to standard output";
    return false;
  }
  return true;
}

int CatLostFile(const std::string& path, const std::string& startText) {
  const std::optional<uint64_t> start = ParseCliNumber(startText);
  if (!start) return CliUsageError("the start is a number of bytes");
  AnalysisRun run(AnalysisRun::Output::Quiet);
  AnalysisRun::Passes passes;
  passes.sectors = passes.sectorsOnly = true;
  std::string error;
  bool showLog = true;
  if (run.Load(path) && run.Analyse(passes)) {
    CVolume* volume = run.AnalysedVolumes().front();
    std::optional<FoundObject> file = FindLostFile(*volume, *start, error);
    if (file && WriteData(*volume, *file, error)) return kExitSuccess;
    showLog = file.has_value();
  }
  if (showLog)
    for (const std::string& line : run.TakeLogLines()) std::cerr << line << '\n';
  return error.empty() ? kExitFailure : CliFailure(error);
}

int RunCat(const CliArgs& args) {
  CliOptions options(args, {}, {"--id", "--volume-offset", "--start"});
  if (!options.ok()) return CliUsageError(options.error());
  if (options.Positional().size() != 1) return CliUsageError("cat takes one drive or image");
  if (const std::optional<std::string> start = options.Value("--start")) {
    if (options.Value("--id") || options.Value("--volume-offset"))
      return CliUsageError("--start names a lost file by itself: no --id or --volume-offset");
    return CatLostFile(options.Positional()[0], *start);
  }
  const std::optional<std::string> idText = options.Value("--id");
  if (!idText)
    return CliUsageError("cat needs the object's --id or a lost file's --start (see analyse)");
  const std::optional<uint64_t> id = ParseCliNumber(*idText);
  if (!id || *id > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
    return CliUsageError("the id is a number from 0 to 2147483647");
  std::optional<uint64_t> offset;
  if (const std::optional<std::string> text = options.Value("--volume-offset")) {
    offset = ParseCliNumber(*text);
    if (!offset) return CliUsageError("the volume offset is a number of bytes");
  }

  AnalysisRun run(AnalysisRun::Output::Quiet);
  std::string error;
  // When the drive or the data cannot be read, what the engine logged tells why.
  bool showLog = true;
  if (run.Load(options.Positional()[0]) && run.Analyse()) {
    CVolume* volume = ChooseVolume(run, offset, error);
    std::optional<FoundObject> file;
    if (volume) file = FindFile(*volume, static_cast<int32_t>(*id), error);
    if (file && WriteData(*volume, *file, error)) return kExitSuccess;
    showLog = file.has_value();
  }
  if (showLog)
    for (const std::string& line : run.TakeLogLines()) std::cerr << line << '\n';
  return error.empty() ? kExitFailure : CliFailure(error);
}

}  // namespace

LUMENARD_CLI_COMMAND_WITH_DETAILS(
    cat, "cat PATH --id ID [--volume-offset BYTES] | cat PATH --start BYTES",
    "write the data of one found file to standard output",
    "  Analyses the drive or image as analyse does, without printing, and writes the bytes of\n"
    "  the file with the ID of analyse's listing, up to its size, as the recovery reads them:\n"
    "  a deleted file's data is taken from where it lay, whatever now occupies that place.\n"
    "  --volume-offset  the volume_offset of the listing; needed when the drive holds\n"
    "                   several volumes\n"
    "  --start          a lost file instead: the start of analyse --sectors-only's listing,\n"
    "                   bytes from the start of the drive or image\n"
    "  Example: lumenard-cli cat disk.img --id 37 --volume-offset 1048576 > photo.jpg\n"
    "           lumenard-cli cat card.img --start 1048576 > image_1048576.jpg\n",
    RunCat);
