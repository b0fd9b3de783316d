// Copying a volume into a drive image file, and loading such a file as a drive.
#include "volumes/image.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include "app/message_target.h"
#include "app/messages.h"
#include "app/strings.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/path_rules.h"
#include "platform/text.h"
#include "volumes/computer.h"
#include "volumes/volume.h"
#include "volumes/volume_log.h"

namespace {

constexpr uint32_t kChunkBytes = static_cast<uint32_t>(kImageChunkSectors * kSectorSize);
constexpr int32_t kDriveTypeImage = 7;

uint32_t TickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void PostToDialog(ImageJob& job, uint32_t message, intptr_t lParam) {
  if (IMessageTarget* dialog = job.DialogWindow.load()) dialog->Post(message, 0, lParam);
}

// Unreadable sectors come in runs; each run is logged once when it ends, not sector by sector.
class UnreadableRuns {
 public:
  explicit UnreadableRuns(ImageJob& job) : job_(job) {}
  ~UnreadableRuns() { Flush(); }

  void Add(uint64_t sector) {
    if (count_ != 0 && sector != first_ + count_) Flush();
    if (count_ == 0) first_ = sector;
    ++count_;
    job_.UnreadableSectors.fetch_add(1);
  }

  void Flush() {
    if (count_ == 0) return;
    std::u16string format =
        LanguageString(191) + u" (%I64u unreadable sectors from here written as zeros)";
    volume_log::Error(format, first_, count_);
    count_ = 0;
  }

 private:
  ImageJob& job_;
  uint64_t first_ = 0;
  uint64_t count_ = 0;
};

// Reads what a whole-chunk read missed, one sector at a time; a sector that stays unreadable
// becomes zeros. Returns the sectors of the chunk that are settled, fewer than count only when
// the job was stopped.
uint64_t RescueChunk(ImageJob& job, CVolume& source, uint8_t* chunk, uint64_t firstSector,
                     uint64_t settled, uint64_t count, UnreadableRuns& runs) {
  for (uint64_t index = settled; index < count; ++index) {
    if (job.Copying.load() != 1) return index;
    const uint64_t sector = firstSector + index;
    job.CurrentSector = sector;
    uint8_t* at = chunk + index * kSectorSize;
    if (source.ReadSectors(at, sector, 1) == kSectorSize) {
      runs.Flush();
    } else {
      std::memset(at, 0, kSectorSize);
      runs.Add(sector);
    }
  }
  return count;
}

// The copy loop; the outcome of the copy.
ImageOutcome CopySectors(ImageJob& job, CVolume& source, platform::File& image) {
  std::vector<uint8_t> chunk(kChunkBytes);
  UnreadableRuns runs(job);
  const uint64_t total = job.TotalSectors.load();
  uint64_t sector = 0;
  ImageOutcome outcome = ImageOutcome::Complete;
  while (sector < total) {
    if (job.Copying.load() != 1) {
      outcome = ImageOutcome::Stopped;
      break;
    }
    job.CurrentSector = sector;
    const uint64_t count = std::min(kImageChunkSectors, total - sector);
    const uint32_t read = source.ReadSectors(chunk.data(), sector, count);
    uint64_t settled = std::min<uint64_t>(read / kSectorSize, count);
    if (settled == count) {
      runs.Flush();
    } else {
      settled = RescueChunk(job, source, chunk.data(), sector, settled, count, runs);
      if (settled < count) outcome = ImageOutcome::Stopped;
    }
    if (settled != 0 && !image.Write(chunk.data(), static_cast<uint32_t>(settled * kSectorSize))) {
      volume_log::Error(LanguageString(192), sector);
      outcome = ImageOutcome::WriteFailed;
      break;
    }
    sector += settled;
    if (outcome != ImageOutcome::Complete) break;
  }
  job.CurrentSector = sector;
  return outcome;
}

bool SameFile(std::u16string_view a, std::u16string_view b) {
  if (platform::SamePathSpelling(a, b)) return true;
  std::error_code error;
  return std::filesystem::equivalent(std::filesystem::path(std::u16string(a)),
                                     std::filesystem::path(std::u16string(b)), error) &&
         !error;
}

// The copy up to the end of the file; the job is finished by FinishJob.
ImageOutcome RunCopy(ImageJob& job) {
  job.StartTime = platform::SystemTimeAsFileTime();
  job.StartTick = TickCount();
  job.Outcome = ImageOutcome::Running;
  CVolume& source = *job.Source;
  if (!source.Open()) return ImageOutcome::SourceNotOpened;
  platform::File image;
  if (!image.OpenWrite(job.ImagePath, platform::CreateMode::CreateAlways)) {
    const uint32_t error = platform::LastError();
    volume_log::Error(u"Image_Create: Can't create the image file '%s', System Error: %s",
                      job.ImagePath, platform::SystemErrorMessage(error));
    PostToDialog(job, UM_IMAGE_COPY_ERROR, static_cast<intptr_t>(error));
    return ImageOutcome::FileNotCreated;
  }
  job.TotalSectors = source.TotalBytes / kSectorSize;
  if (job.TotalSectors.load() == 0) {
    volume_log::Error(u"Image_Create: the size of '%s' is not known; nothing was copied",
                      source.GetDisplayName());
    return ImageOutcome::NoSize;
  }
  return CopySectors(job, source, image);
}

// The dialog hears of the end before the job says so: a front end that waits for Finished may
// go away at once.
void FinishJob(ImageJob& job, ImageOutcome outcome) {
  job.Outcome = outcome;
  job.Copying = 0;
  if (outcome != ImageOutcome::SourceNotOpened && outcome != ImageOutcome::FileNotCreated)
    PostToDialog(job, UM_IMAGE_COPY_FINISHED, 0);
  job.Finished.Set();
}

// Why the computer's drive list forbids the copy, empty when it does not: a loaded drive image
// that the new file would replace.
std::u16string RefuseLoadedImage(CLocalComputer& computer, const ImageJob& job) {
  std::unique_lock lock = computer.Volumes.Lock();
  for (CVolume* volume : computer.Volumes.ItemsLocked())
    if (volume->Kind == VolumeKindImage && SameFile(volume->DevicePath, job.ImagePath))
      return platform::Format(u"'%s' is a loaded drive image", job.ImagePath);
  return {};
}

std::u16string RefuseJob(CLocalComputer* computer, const ImageJob& job) {
  if (std::u16string reason = RefuseImagePath(*job.Source, job.ImagePath); !reason.empty())
    return reason;
  return computer ? RefuseLoadedImage(*computer, job) : std::u16string();
}

// Opened and sized from the file's length; the boot sector is not read yet.
std::unique_ptr<CVolume> OpenImageFile(std::u16string_view path) {
  auto volume = std::make_unique<CVolume>();
  volume->DevicePath = std::u16string(path);
  volume->Kind = VolumeKindImage;
  volume->DriveType = kDriveTypeImage;
  volume->RootRecord.Flags = FoundDriveNode;
  if (!volume->Open()) return nullptr;
  // A plain file: the query only takes its length, and leaves it open.
  volume->QueryInformation();
  return volume;
}

}  // namespace

std::u16string RefuseImagePath(CVolume& source, std::u16string_view imagePath) {
  if (imagePath.empty()) return u"no image file was named";
  const platform::PathKind kind = platform::ClassifyPath(imagePath);
  if (kind == platform::PathKind::Disk || kind == platform::PathKind::Volume)
    return platform::Format(u"'%s' is a drive; drives are only read, an image is written to a file",
                            imagePath);
  if (platform::FolderExists(imagePath)) return platform::Format(u"'%s' is a folder", imagePath);
  const std::u16string sourcePath = source.OpenPath();
  if (!sourcePath.empty() && SameFile(sourcePath, imagePath))
    return platform::Format(u"'%s' is the drive being copied", imagePath);
  return {};
}

void CopyDriveImage(ImageJob& job) { FinishJob(job, RunCopy(job)); }

bool StartImageThread(CLocalComputer* computer, const std::shared_ptr<ImageJob>& job) {
  if (!job || !job->Source) {
    volume_log::Error(u"Image_Create: no drive to copy");
    return false;
  }
  job->Computer = computer;
  CVolumeUse use;
  if (computer) {
    use = computer->Volumes.Use(job->Source);
    if (!use) {
      volume_log::Error(u"Image_Create: '%s' is not in the drive list",
                        job->Source->GetDisplayName());
      return false;
    }
  }
  if (std::u16string reason = RefuseJob(computer, *job); !reason.empty()) {
    volume_log::Error(u"Image_Create: %s", reason);
    return false;
  }
  // Set before the thread runs, so that a stop asked for at once is not overwritten.
  job->Copying = 1;
  job->Finished.Clear();
  try {
    std::thread([job, use = std::move(use)]() mutable {
      const ImageOutcome outcome = RunCopy(*job);
      // The source may be freed from here on; the job ends after it is let go.
      use.Release();
      FinishJob(*job, outcome);
    }).detach();
  } catch (const std::system_error&) {
    job->Copying = 0;
    volume_log::Error(u"Image_Create: the copy could not be started");
    return false;
  }
  return true;
}

bool StopImageThread(ImageJob& job, uint32_t timeoutMs) {
  job.Copying = 0;
  return job.Finished.Wait(timeoutMs);
}

int32_t ImageProgressPercent(const ImageJob& job) {
  switch (job.Outcome.load()) {
    case ImageOutcome::NotStarted:
    case ImageOutcome::Running:
      break;
    case ImageOutcome::SourceNotOpened:
    case ImageOutcome::FileNotCreated:
      return 0;
    default:
      return 100;
  }
  const uint64_t total = job.TotalSectors.load();
  const uint64_t current = job.CurrentSector.load();
  if (job.Copying.load() == 0 || total < 100 || current == 0) return 0;
  return static_cast<int32_t>(std::min<uint64_t>(current / (total / 100), 100));
}

std::unique_ptr<CVolume> OpenDriveImage(std::u16string_view path) {
  std::unique_ptr<CVolume> volume = OpenImageFile(path);
  if (!volume) return nullptr;
  volume->AnalyzeBootSector();
  volume->State = VolumeStateReady;
  return volume;
}

CVolume* LoadImage(CLocalComputer& computer, std::u16string_view path) {
  std::unique_ptr<CVolume> volume = OpenImageFile(path);
  if (!volume) return nullptr;
  CVolume* loaded = volume.get();
  // Listed first, so that the partitions of a disk image are found as drives of their own.
  // Rescans keep drive images.
  computer.Volumes.Add(std::move(volume));
  loaded->AnalyzeBootSector();
  loaded->State = VolumeStateReady;
  return loaded;
}
