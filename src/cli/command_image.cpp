// lumenard-cli image SOURCE DEST.dsk: copies a drive or a drive image sector by sector into an
// image file. Sectors that cannot be read are written as zeros and counted; Ctrl-C stops the
// copy and leaves the sectors copied so far in the file.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "cli/command.h"
#include "cli/engine_session.h"
#include "cli/progress.h"
#include "cli/volume_from_path.h"
#include "platform/text.h"
#include "volumes/image.h"
#include "volumes/volume.h"

namespace {

constexpr uint32_t kPollMs = 100;
// After Ctrl-C the worker ends after its current read; a failing drive may take a while.
constexpr uint32_t kStopWaitMs = 60000;

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted = true; }

// Ctrl-C asks the copy to stop instead of ending the program, while this object lives.
class InterruptGuard {
 public:
  InterruptGuard() {
    g_interrupted = false;
    previous_ = std::signal(SIGINT, OnInterrupt);
  }
  ~InterruptGuard() { std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_); }

 private:
  void (*previous_)(int) = SIG_DFL;
};

std::string ProgressLabel(uint64_t unreadable) {
  if (unreadable == 0) return "Imaging";
  return "Imaging (" + std::to_string(unreadable) + " unreadable)";
}

// Follows the worker on the progress bar until it ends.
void FollowCopy(ImageJob& job, ProgressBar& bar) {
  uint64_t shownUnreadable = 0;
  while (!job.Finished.Wait(kPollMs)) {
    if (g_interrupted && job.Copying.load() == 1) {
      bar.Clear();
      std::cerr << "lumenard-cli: stopping after the current read...\n";
      if (!StopImageThread(job, kStopWaitMs))
        std::cerr << "lumenard-cli: the drive does not answer\n";
      break;
    }
    bar.SetTotal(job.TotalSectors.load() * kSectorSize);
    if (uint64_t unreadable = job.UnreadableSectors.load(); unreadable != shownUnreadable) {
      shownUnreadable = unreadable;
      bar.SetLabel(ProgressLabel(unreadable));
    }
    bar.Update(job.CurrentSector.load() * kSectorSize);
  }
  bar.Update(job.CurrentSector.load() * kSectorSize);
  bar.Finish();
}

std::string Seconds(uint32_t milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", milliseconds / 1000.0);
  return text;
}

int Report(const ImageJob& job, const std::string& dest, uint32_t elapsedMs) {
  const uint64_t copied = job.CurrentSector.load();
  const uint64_t unreadable = job.UnreadableSectors.load();
  const uint64_t perSecond = elapsedMs == 0 ? 0 : copied * kSectorSize * 1000 / elapsedMs;
  const std::string copiedText = std::to_string(copied) + " of " +
                                 std::to_string(job.TotalSectors.load()) + " sectors (" +
                                 FormatByteSize(copied * kSectorSize) + ")";
  const std::string speedText = Seconds(elapsedMs) + ", " + FormatByteSize(perSecond) + "/s";
  const std::string unreadableText = std::to_string(unreadable) + " unreadable sector" +
                                     (unreadable == 1 ? "" : "s") + " written as zeros";
  switch (job.Outcome.load()) {
    case ImageOutcome::Complete:
      std::cout << "Copied " << copiedText << " to " << dest << " in " << speedText << "\n"
                << unreadableText << "\n";
      return kExitSuccess;
    case ImageOutcome::Stopped:
      std::cout << "Stopped after " << copiedText << " in " << speedText << "\n"
                << unreadableText << "\n"
                << dest << " is a partial image: the sectors after these are missing\n";
      return kExitFailure;
    case ImageOutcome::WriteFailed:
      std::cout << "Copied " << copiedText << " before a write failed\n"
                << dest << " is a partial image: the sectors after these are missing\n";
      return CliFailure("cannot write '" + dest + "'");
    case ImageOutcome::FileNotCreated:
      return CliFailure("cannot create '" + dest + "'");
    case ImageOutcome::SourceNotOpened:
      return CliFailure("cannot open the source");
    case ImageOutcome::NoSize:
      return CliFailure("the size of the source is not known; " + dest + " is empty");
    default:
      return CliFailure("the copy did not end");
  }
}

int RunImage(const CliArgs& args) {
  if (args.size() != 2) return CliUsageError("image takes a source and an image file");
  EngineSession session;
  std::unique_ptr<CVolume> source = VolumeFromPath(args[0]);
  if (!source) return kExitFailure;
  source->QueryInformation();
  if (source->State != VolumeStateReady || source->TotalBytes == 0)
    return CliFailure("cannot read '" + args[0] + "'");

  auto job = std::make_shared<ImageJob>();
  job->Source = source.get();
  job->ImagePath = platform::Utf8ToUtf16(args[1]);
  InterruptGuard interrupts;
  ProgressBar bar(ProgressLabel(0), source->TotalBytes / kSectorSize * kSectorSize);
  const auto started = std::chrono::steady_clock::now();
  if (!StartImageThread(nullptr, job)) return CliFailure("the copy was not started");
  FollowCopy(*job, bar);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  if (!job->Finished.Wait(0)) {
    // The worker shares the job and the source must outlive it: leave both to it.
    source.release();
    return CliFailure("gave up waiting for the drive; '" + args[1] + "' is a partial image");
  }
  return Report(*job, args[1], static_cast<uint32_t>(elapsed.count()));
}

}  // namespace

LUMENARD_CLI_COMMAND_WITH_DETAILS(
    image, "image SOURCE DEST.dsk",
    "copy a drive or drive image sector by sector into an image file",
    "  Unreadable sectors are written as zeros and counted; the copy goes on to the end.\n"
    "  Ctrl-C stops the copy and leaves a partial image with the sectors copied so far.\n"
    "  Drives are only read: DEST must be a file, and not the source itself.\n",
    RunImage);
