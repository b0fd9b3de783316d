// Drive images: a raw copy of a volume's sectors into a ".dsk" file, and such a file loaded as a
// drive of its own (kind 8). The file has no header: byte n x 512 is sector n of the source.
//
// The copy runs on a worker thread of its own. The front end (the progress dialog, the command
// line) keeps the job, polls CurrentSector and TotalSectors, and receives two messages:
// UM_IMAGE_COPY_ERROR (lParam: the system error code) when the file cannot be created, and
// UM_IMAGE_COPY_FINISHED when the worker has ended with a file, complete or partial. A source
// that cannot be opened posts nothing; Finished tells every end.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/system.h"
#include "platform/time.h"

class CLocalComputer;
class CVolume;
class IMessageTarget;

// Sectors per read and per write: 2 MiB.
constexpr uint64_t kImageChunkSectors = 4096;

// How a copy ended; Running while the worker works.
enum class ImageOutcome : int32_t {
  NotStarted,
  Running,
  Complete,         // every sector is in the file (unreadable ones as zeros)
  Stopped,          // Copying was set to 0: the file holds the sectors before CurrentSector
  SourceNotOpened,  // the volume's open failed; no file was made
  FileNotCreated,   // the image file could not be created
  WriteFailed,      // the file holds what was written before the failed write
  NoSize,           // the volume does not know its size; the file is empty
};

struct ImageJob {
  // 1 while copying; set it to 0 to stop the worker after its current read.
  std::atomic<int32_t> Copying{0};
  // Receives the worker's messages; may be set after the start, may stay null.
  std::atomic<IMessageTarget*> DialogWindow{nullptr};
  CVolume* Source = nullptr;
  std::atomic<uint64_t> TotalSectors{0};
  // The sector being copied; when the worker has ended, the sectors in the file.
  std::atomic<uint64_t> CurrentSector{0};
  std::u16string ImagePath;
  std::atomic<platform::FileTime> StartTime{0};
  std::atomic<uint32_t> StartTick{0};
  CLocalComputer* Computer = nullptr;

  // Sectors that could not be read and were written as zeros.
  std::atomic<uint64_t> UnreadableSectors{0};
  std::atomic<ImageOutcome> Outcome{ImageOutcome::NotStarted};
  // Set when the worker has ended, whatever the outcome.
  platform::Event Finished{platform::Event::Reset::Manual};
};

// Starts the copy of job->Source into job->ImagePath on a thread that shares the job, so the
// job outlives a front end that gives up waiting. With a computer object the source must be one
// of its drives: the worker holds it for the whole copy, so a rescan cannot free it, and no
// loaded drive image may be written over. False, after a log line, when the job is refused (no
// source, a path that names a drive, a folder, the source or a loaded image) or no thread could
// be started.
bool StartImageThread(CLocalComputer* computer, const std::shared_ptr<ImageJob>& job);

// Asks the worker to stop and waits for it at most timeoutMs; true when it has ended.
bool StopImageThread(ImageJob& job, uint32_t timeoutMs);

// The worker's body, on the calling thread (StartImageThread runs it on its own).
void CopyDriveImage(ImageJob& job);

// The progress bar's position, 0 to 100: 0 until a hundredth of a source is copied (and for
// sources of fewer than 100 sectors), 100 once the worker has finished with a file.
int32_t ImageProgressPercent(const ImageJob& job);

// Why an image path may not be written, empty when it may: a drive instead of a file, a folder,
// or the very file or device the source reads.
std::u16string RefuseImagePath(CVolume& source, std::u16string_view imagePath);

// A drive image as a volume of kind 8 whose handle is the open file, sized from the file's
// length, its file system found from its boot sector; not in any drive list. Null when the
// file cannot be opened.
std::unique_ptr<CVolume> OpenDriveImage(std::u16string_view path);

// Loads a drive image into the computer's drive list, where partitions found in it join it.
// The new volume, or null when the file cannot be opened.
CVolume* LoadImage(CLocalComputer& computer, std::u16string_view path);
