// lumenard-cli recover PATH --to FOLDER (--all | --id N ... | --path GLOB ...): analyses the
// drive or image as analyse does, then copies the chosen files and folders below FOLDER, at
// the paths the listing shows, with the recovery engine of the Windows program.
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "cli/analysis_run.h"
#include "cli/command.h"
#include "cli/object_listing.h"
#include "cli/progress.h"
#include "cli/recover_choice.h"
#include "filesystems/found_object_store.h"
#include "platform/file.h"
#include "platform/interrupt.h"
#include "platform/text.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace {

constexpr std::chrono::milliseconds kPollInterval{100};

struct RecoverRequest {
  std::string path;
  std::u16string to;
  RecoverChoice choice;
  bool deletedOnly = false;
  bool flat = false;
  bool tsv = false;
  std::optional<uint64_t> volumeOffset;
  SizeAnswer unknownSize;
  AnalysisRun::Passes passes;
};

struct Totals {
  int files = 0;
  int complete = 0;
  int incomplete = 0;
  int failed = 0;
  int64_t bytes = 0;
};

// The log's error lines while the copy runs, for the command's thread to print between
// redraws of the bar; the line per file is not shown.
class ErrorLines : public IMessageTarget {
 public:
  void Post(uint32_t message, uintptr_t wParam, intptr_t) override {
    if (message != UM_LOG_LINE || wParam == 0) return;
    std::string line = platform::Utf16ToUtf8(reinterpret_cast<const char16_t*>(wParam));
    if (line.rfind("ERR: ", 0) != 0 && line.rfind("CRITICALERR: ", 0) != 0) return;
    std::lock_guard lock(lock_);
    lines_.push_back(std::move(line));
  }
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Post(message, wParam, lParam);
    return 0;
  }
  std::vector<std::string> Take() {
    std::lock_guard lock(lock_);
    return std::exchange(lines_, {});
  }

 private:
  std::mutex lock_;
  std::vector<std::string> lines_;
};

const char* OutcomeWord(RecoveryOutcome outcome) {
  switch (outcome) {
    case RecoveryOutcome::Complete:
      return "complete";
    case RecoveryOutcome::Incomplete:
      return "incomplete";
    case RecoveryOutcome::Skipped:
      return "skipped";
    case RecoveryOutcome::Folder:
      return "folder";
    default:
      return "failed";
  }
}

// The folder part of the listing's path, which the engine recreates below the destination.
std::u16string ListingFolder(CVolume& volume, const FoundObject& object) {
  const std::u16string path = ListedObjectPath(volume.Store, object);
  const size_t slash = path.rfind(u'/');
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

void SetDestinationSetting(const std::u16string& folder, bool flat) {
  SettingsRecord& settings = g_pApp->Settings;
  const size_t length = std::min(folder.size(), std::size(settings.DestinationFolder) - 1);
  std::copy_n(folder.begin(), length, settings.DestinationFolder);
  settings.DestinationFolder[length] = 0;
  settings.KeepFolderStructure = flat ? 0 : 1;
}

uint64_t ListedBytes(const CRecovery& job) {
  uint64_t bytes = 0;
  for (const FoundObject* object : job.List)
    if (!(object->Flags & FoundFolder) && object->Size > 0)
      bytes += static_cast<uint64_t>(object->Size);
  return bytes;
}

void PrintLines(ProgressBar& bar, ErrorLines& errors) {
  std::vector<std::string> lines = errors.Take();
  if (lines.empty()) return;
  bar.Clear();
  for (const std::string& line : lines) std::cerr << line << '\n';
  std::cerr.flush();
}

std::string FilesLabel(const std::string& label, int done, int files) {
  return label + " " + std::to_string(done) + "/" + std::to_string(files) + " files";
}

// Runs the job to its end, drawing the bar and passing Ctrl-C on as a stop.
void FollowRun(CRecovery& job, ErrorLines& errors, const std::string& label) {
  // Files before each list position: folders of the list are not counted.
  std::vector<int> filesBefore(job.List.size() + 1, 0);
  for (size_t i = 0; i < job.List.size(); ++i)
    filesBefore[i + 1] = filesBefore[i] + ((job.List[i]->Flags & FoundFolder) ? 0 : 1);
  const int files = filesBefore.back();
  auto filesDone = [&](bool current) {
    const size_t index = std::min(
        static_cast<size_t>(std::max(job.Index.load(), 0)) + (current ? 1 : 0), job.List.size());
    return filesBefore[index];
  };
  ProgressBar bar(label, ListedBytes(job));
  bool stopping = false;
  while (!job.Wait(static_cast<uint32_t>(kPollInterval.count()))) {
    if (!stopping && platform::InterruptRequested()) {
      stopping = true;
      StopRecovery(job);
      bar.Clear();
      std::cerr << "lumenard-cli: stopping after the current piece\n";
    }
    PrintLines(bar, errors);
    bar.SetLabel(FilesLabel(label, filesDone(true), files));
    bar.Update(static_cast<uint64_t>(job.BytesWritten.load()));
  }
  PrintLines(bar, errors);
  bar.SetLabel(FilesLabel(label, filesDone(false), files));
  bar.Update(static_cast<uint64_t>(job.BytesWritten.load()));
  bar.Finish();
}

void Tally(const std::vector<RecoveryResult>& results, Totals& totals,
           const RecoverRequest& request, std::string& tsv) {
  for (const RecoveryResult& result : results) {
    if (result.Outcome != RecoveryOutcome::Folder) {
      ++totals.files;
      totals.bytes += result.Bytes;
      if (result.Outcome == RecoveryOutcome::Complete)
        ++totals.complete;
      else if (result.Outcome == RecoveryOutcome::Incomplete)
        ++totals.incomplete;
      else
        ++totals.failed;
    }
    if (!request.tsv) continue;
    std::string source = platform::Utf16ToUtf8(result.SourcePath);
    std::string target = platform::Utf16ToUtf8(result.TargetPath);
    for (std::string* text : {&source, &target})
      for (char& c : *text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    tsv += source + '\t' + target + '\t' + std::to_string(result.Bytes) + '\t' +
           OutcomeWord(result.Outcome) + '\n';
  }
}

// Recovers the choice of one volume below folder. False when the run could not start.
bool RecoverVolume(CVolume& volume, const std::u16string& folder, const RecoverRequest& request,
                   Totals& totals, std::string& tsv, bool& diskFull) {
  CRecovery& job = g_pComputer->MainJob;
  CliPrompter prompter(request.unknownSize);
  job.SetPrompter(&prompter);
  job.SetFolderPathRule(ListingFolder);
  CliSelection selection(volume, ChosenObjects(volume, request.choice));
  BuildRecoveryList(job, selection);
  if (request.deletedOnly)
    std::erase_if(job.List,
                  [](const FoundObject* object) { return !(object->Flags & FoundDeleted); });
  // Each volume's folder is made, also for a volume with nothing to recover.
  platform::CreateFolders(folder);
  if (job.List.empty()) return true;
  if (!CheckDestination(job, volume, folder, false)) return false;
  SetDestinationSetting(folder, request.flat);

  ErrorLines errors;
  IMessageTarget* previousLog = g_pApp->LogWindow();
  g_pApp->SetLogWindowTarget(&errors);
  const bool started = StartRecovery(job, volume);
  if (started) FollowRun(job, errors, "Recovering");
  g_pApp->SetLogWindowTarget(previousLog);
  job.SetPrompter(nullptr);
  if (!started) return false;
  Tally(job.Results(), totals, request, tsv);
  diskFull = diskFull || job.StoppedOnFullDisk();
  return true;
}

std::optional<RecoverRequest> ParseRequest(const CliArgs& args, int& code) {
  CliOptions options(args, {"--all", "--deleted-only", "--flat", "--sectors", "--sectors-only"},
                     {"--to", "--id", "--path", "--volume-offset", "--unknown-size", "--format"});
  code = kExitUsage;
  if (!options.ok()) return CliUsageError(options.error()), std::nullopt;
  if (options.Positional().size() != 1)
    return CliUsageError("recover takes one drive or image"), std::nullopt;
  RecoverRequest request;
  request.path = options.Positional()[0];
  const std::optional<std::string> to = options.Value("--to");
  if (!to || to->empty())
    return CliUsageError("recover needs the folder --to write into"), std::nullopt;
  request.to = platform::Utf8ToUtf16(*to);
  request.choice.all = options.Has("--all");
  for (const std::string& text : options.Values("--id")) {
    const std::optional<uint64_t> id = ParseCliNumber(text);
    if (!id || *id > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
      return CliUsageError("an id is a number from 0 to 2147483647"), std::nullopt;
    request.choice.ids.push_back(static_cast<int32_t>(*id));
  }
  request.choice.globs = options.Values("--path");
  if (!request.choice.all && request.choice.ids.empty() && request.choice.globs.empty())
    return CliUsageError("choose what to recover with --all, --id or --path"), std::nullopt;
  request.deletedOnly = options.Has("--deleted-only");
  request.flat = options.Has("--flat");
  request.passes.sectorsOnly = options.Has("--sectors-only");
  request.passes.sectors = options.Has("--sectors") || request.passes.sectorsOnly;
  if (const std::optional<std::string> format = options.Value("--format")) {
    if (*format != "tsv") return CliUsageError("the only --format of recover is tsv"), std::nullopt;
    request.tsv = true;
  }
  if (const std::optional<std::string> text = options.Value("--volume-offset")) {
    request.volumeOffset = ParseCliNumber(*text);
    if (!request.volumeOffset)
      return CliUsageError("the volume offset is a number of bytes"), std::nullopt;
  }
  const std::optional<SizeAnswer> size =
      ParseUnknownSize(options.Value("--unknown-size").value_or("next"));
  if (!size)
    return CliUsageError("--unknown-size is next, next-same, default, skip or a size such as 512K"),
           std::nullopt;
  request.unknownSize = *size;
  code = kExitSuccess;
  return request;
}

// The analysed volumes to recover from, each with its folder; empty after a message.
std::vector<std::pair<CVolume*, std::u16string>> Targets(const AnalysisRun& run,
                                                         const RecoverRequest& request) {
  std::vector<std::pair<CVolume*, std::u16string>> targets;
  const std::vector<CVolume*>& volumes = run.AnalysedVolumes();
  if (request.volumeOffset) {
    for (CVolume* volume : volumes)
      if (volume->StartOffset == *request.volumeOffset) targets.emplace_back(volume, request.to);
    if (targets.empty())
      CliFailure("no volume was analysed at offset " + std::to_string(*request.volumeOffset));
    return targets;
  }
  if (volumes.size() == 1) return {{volumes.front(), request.to}};
  for (CVolume* volume : volumes)
    targets.emplace_back(
        volume,
        platform::JoinPath(request.to,
                           platform::Utf8ToUtf16("volume_" + std::to_string(volume->StartOffset))));
  return targets;
}

int RunRecover(const CliArgs& args) {
  int code = kExitSuccess;
  const std::optional<RecoverRequest> request = ParseRequest(args, code);
  if (!request) return code;

  AnalysisRun run(AnalysisRun::Output::Bar);
  if (!run.Load(request->path) || !run.Analyse(request->passes)) return kExitFailure;
  const auto targets = Targets(run, *request);
  if (targets.empty()) return kExitFailure;

  Totals totals;
  std::string tsv;
  bool diskFull = false;
  bool refused = false;
  platform::CatchInterrupt();
  for (const auto& [volume, folder] : targets) {
    if (platform::InterruptRequested() || diskFull) break;
    if (!RecoverVolume(*volume, folder, *request, totals, tsv, diskFull)) refused = true;
  }
  const bool interrupted = platform::InterruptRequested();
  platform::ReleaseInterrupt();

  if (request->tsv) {
    std::cout << "source_path\ttarget_path\tsize\toutcome\n" << tsv;
    std::cout.flush();
  }
  std::ostream& summary = request->tsv ? std::cerr : std::cout;
  summary << "recovered " << totals.complete << " of " << totals.files << " files (" << totals.bytes
          << " bytes), " << totals.incomplete << " incomplete, " << totals.failed << " failed\n";
  if (interrupted) std::cerr << "lumenard-cli: stopped by Ctrl-C\n";
  if (refused) return CliFailure("the destination could not be used");
  return totals.complete == totals.files && !interrupted && !diskFull ? kExitSuccess : kExitFailure;
}

}  // namespace

LUMENARD_CLI_COMMAND_WITH_DETAILS(
    recover,
    "recover PATH --to FOLDER (--all | --id ID ... | --path GLOB ...) [--deleted-only]\n"
    "        [--volume-offset BYTES] [--unknown-size next|next-same|default|skip|SIZE[K|M|G]]\n"
    "        [--sectors | --sectors-only] [--flat] [--format tsv]",
    "copy found files and folders into a folder",
    "  Analyses the drive or image as analyse does, then copies the chosen files below FOLDER\n"
    "  at the paths of analyse's listing (FOLDER/Photos/2019/a.jpg, FOLDER/Lost folders/...),\n"
    "  with their times. A file written in this run is never replaced: the next one of the\n"
    "  same name becomes 'name (1).ext'. FOLDER must not lie on the disk being read.\n"
    "  --all             every file and folder of the listing (empty folders too)\n"
    "  --id ID           the object with the listing's ID; a folder brings what it holds\n"
    "  --path GLOB       objects whose listing path matches ('*' and '?' within a name,\n"
    "                    '**' across folders); --id and --path may be repeated\n"
    "  --deleted-only    only deleted files and folders\n"
    "  --volume-offset   one volume of several; without it each volume goes below\n"
    "                    FOLDER/volume_<byte offset>/\n"
    "  --unknown-size    the size of a lost file whose content did not give one: the distance\n"
    "                    to the next found file (next, the default), to the next of its type\n"
    "                    (next-same), its type's usual size (default), skip it, or a size\n"
    "  --sectors         the sector pass too: lost files go below FOLDER/Lost files/<group>/\n"
    "  --sectors-only    the sector pass alone (a card without a file system)\n"
    "  --flat            every file straight into FOLDER, without the folder tree\n"
    "  --format tsv      one line per object: source_path target_path size outcome\n"
    "                    (complete, incomplete, failed, skipped, folder)\n"
    "  Ends with 'recovered N of M files (B bytes), P incomplete, F failed'; the exit code is 0\n"
    "  only when every file was written whole. A part that cannot be read is written as zeros\n"
    "  and the file counts as incomplete. Ctrl-C stops after the current piece.\n",
    RunRecover);
