#include "recovery/file_copy.h"

#include <algorithm>
#include <cstring>

#include "filesystems/file_system.h"
#include "platform/destination.h"
#include "platform/file.h"
#include "recovery/recovery_log.h"
#include "volumes/volume.h"

namespace {

// The bytes the volume holds, as far as it is known.
uint64_t VolumeBytes(CVolume& volume) {
  return std::max<uint64_t>(volume.TotalBytes, volume.SectorCount * kSectorSize);
}

// Where the object's data must end: its size, but never past the end of the volume. Data read
// on from a position (lost files, deleted FAT files) ends where the volume does; data mapped
// by the file system (a live FAT chain, NTFS runs) cannot hold more bytes than the volume.
uint64_t CopyEnd(CVolume& volume, const FoundObject& object) {
  const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(object.Size, 0));
  const uint64_t volumeBytes = VolumeBytes(volume);
  if (volumeBytes == 0) return size;
  const int fileSystem = volume.FileSystem ? volume.GetFileSystemClass() : 2;
  const bool positional = (object.Flags & FoundLost) || fileSystem == 2 ||
                          (fileSystem == 0 && (object.Flags & FoundDeleted));
  if (!positional) return std::min(size, volumeBytes);
  if (object.Start < 0 || static_cast<uint64_t>(object.Start) >= volumeBytes) return 0;
  return std::min(size, volumeBytes - static_cast<uint64_t>(object.Start));
}

enum class WriteEnd { Ok, Failed, DiskFull };

WriteEnd WritePiece(CRecovery& job, platform::File& file, const uint8_t* data, uint32_t count) {
  if (file.Write(data, count)) return WriteEnd::Ok;
  const uint32_t code = platform::LastError();
  recovery_log::Line(LogLevelError, kTextWriteSystemError, static_cast<int>(code));
  if (!platform::IsDiskFullError(code)) return WriteEnd::Failed;
  // One line for the whole run: no later file can be written either.
  if (!job.Run.DiskFull.exchange(true))
    recovery_log::Text(LogLevelError, u"The destination folder '%s' is full: recovery stopped.",
                       job.Destination());
  return WriteEnd::DiskFull;
}

}  // namespace

int64_t CopyObjectData(CRecovery& job, const FoundObject& object, const std::u16string& target,
                       RecoveryOutcome& outcome) {
  outcome = RecoveryOutcome::Failed;
  CVolume& volume = *job.SourceVolume;
  platform::File file;
  if (!file.OpenWrite(target, platform::CreateMode::CreateAlways)) {
    recovery_log::Line(LogLevelError, kTextCreateFileFailed, target);
    return 0;
  }
  const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(object.Size, 0));
  const uint64_t end = CopyEnd(volume, object);
  bool complete = end == size;
  if (!complete)
    recovery_log::Text(
        LogLevelError,
        u"FileRecovery: '%s' is %I64d bytes, but the volume ends after %I64d of them", target,
        static_cast<int64_t>(size), static_cast<int64_t>(end));
  std::vector<uint8_t>& buffer = job.Run.Buffer;
  uint64_t offset = 0;
  bool stopped = false;
  try {
    while (offset < end) {
      const uint32_t chunk =
          static_cast<uint32_t>(std::min<uint64_t>(CRecovery::kChunkBytes, end - offset));
      uint32_t got = std::min(volume.ReadObjectData(object, buffer.data(), offset, chunk), chunk);
      if (got != chunk) {
        recovery_log::Line(LogLevelError, kTextReadError, static_cast<int>(got),
                           static_cast<int>(chunk));
        recovery_log::Text(
            LogLevelError,
            u"FileRecovery: '%s': bytes %I64d to %I64d could not be read and are written as zeros",
            target, static_cast<int64_t>(offset + got), static_cast<int64_t>(offset + chunk - 1));
        std::memset(buffer.data() + got, 0, chunk - got);
        complete = false;
      }
      const WriteEnd written = WritePiece(job, file, buffer.data(), chunk);
      if (written != WriteEnd::Ok) {
        complete = false;
        break;
      }
      offset += chunk;
      job.BytesWritten += chunk;
      job.CurrentItem.Percent = static_cast<int32_t>(offset * 100 / end);
      if (job.Status().RecoveryContinue == 0) {
        stopped = offset < end;
        break;
      }
    }
  } catch (...) {
    recovery_log::Text(LogLevelError, u"Recovery_Thread.RecoveryCycle.except1");
    complete = false;
  }
  if (stopped) complete = false;
  // Each time the drive gave is set on its own; a zero time leaves the system's.
  file.SetTimes(object.Created, object.Accessed, object.Modified);
  file.Close();
  if (offset == 0 && size != 0) {
    recovery_log::Line(LogLevelError, kTextZeroSize, target);
    platform::DeleteFile(target);
    return 0;
  }
  if (offset < size) complete = false;
  outcome = complete ? RecoveryOutcome::Complete : RecoveryOutcome::Incomplete;
  return static_cast<int64_t>(offset);
}

int64_t FileRecovery(CRecovery& job, CRecovery::Item& item) {
  if (!item.Object) return 0;
  RecoveryOutcome outcome;
  const int64_t written = CopyObjectData(job, *item.Object, job.CurrentTargetPath(), outcome);
  item.Percent = 100;
  return outcome == RecoveryOutcome::Complete ? written : 0;
}
