// Opening, closing and reading a volume.
#include "volumes/volume.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "app/app.h"
#include "app/log.h"
#include "app/strings.h"
#include "platform/text.h"
#include "volumes/volume_log.h"

namespace {

int32_t ReadRetryCount() {
  if (!g_pApp) return kDefaultReadRetries;
  return std::clamp(g_pApp->Settings.ReadRetries, int32_t{0}, kMaxReadRetries);
}

}  // namespace

CVolume::CVolume() : FileSystem(std::make_unique<CFileSystem>()) {
  RootRecord.ParentId = IdMyComputer;
  RootRecord.Volume = this;
  Store.SetDriveRecord(&RootRecord);
}

CVolume::~CVolume() {
  try {
    WaitForQuery();
    Close();
    Store.Clear();
  } catch (...) {
  }
}

CVolumeQueryHooks& CVolume::QueryHooks() {
  static CVolumeQueryHooks hooks;
  return hooks;
}

std::u16string CVolume::OpenPath() const {
  if (Kind == VolumeKindPartition || Kind == VolumeKindFound)
    return Parent && Parent != this ? Parent->DevicePath : std::u16string();
  return DevicePath;
}

bool CVolume::Open() {
  std::lock_guard lock(ioLock_);
  return OpenLocked();
}

bool CVolume::OpenLocked() {
  if (file_.IsOpen()) return true;
  try {
    std::u16string path = OpenPath();
    if (path.empty()) {
      volume_log::Error(u"Can't open volume '%s': no device path (a partition without its disk)",
                        GetDisplayName());
      return false;
    }
    platform::SuppressMediaErrorDialogs();
    if (file_.OpenRead(path)) return true;
    uint32_t error = platform::LastError();
    volume_log::Error(u"Can't open volume '%s', System Error: %s", path,
                      platform::SystemErrorMessage(error));
  } catch (...) {
    volume_log::Error(u"OpenDrive except");
  }
  return false;
}

void CVolume::Close() {
  std::lock_guard lock(ioLock_);
  CloseLocked();
}

void CVolume::CloseLocked() {
  try {
    file_.Close();
  } catch (...) {
    volume_log::Note(u"CVolume::Close except");
  }
}

bool CVolume::IsOpen() const {
  std::lock_guard lock(ioLock_);
  return file_.IsOpen();
}

uint32_t CVolume::ReadSectors(void* buffer, uint64_t firstSector, uint64_t count) {
  if (count == 0) return 0;
  if (count > kMaxSectorsPerRead) {
    volume_log::Error(
        u"CVolume::ReadSectors: %I64u sectors at sector %I64u are more than one read can take",
        count, firstSector);
    return 0;
  }
  constexpr uint64_t kMaxPosition = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (StartOffset > kMaxPosition || firstSector > (kMaxPosition - StartOffset) / kSectorSize) {
    volume_log::Error(u"CVolume::ReadSectors: sector %I64u lies beyond any drive", firstSector);
    return 0;
  }
  const uint64_t position = firstSector * kSectorSize + StartOffset;
  const uint32_t bytes = static_cast<uint32_t>(count * kSectorSize);
  const uint32_t timeoutMs = bytes;  // 512 ms per sector

  std::lock_guard lock(ioLock_);
  if (!file_.IsOpen() && !OpenLocked()) return 0;
  const int32_t retries = ReadRetryCount();
  platform::ReadResult result;
  for (int32_t attempt = 0; attempt <= retries; ++attempt) {
    result = ReadDevice(position, buffer, bytes, timeoutMs);
    if (result.status == platform::ReadStatus::Timeout) volume_log::Error(u"Read Timeout!");
    if (result.status != platform::ReadStatus::Ok) {
      volume_log::Error(LanguageString(172), GetDisplayName(), static_cast<int64_t>(position),
                        attempt);
      break;
    }
    if (result.bytes == bytes) break;
  }
  if (result.bytes != bytes) ++ReadErrors;
  return result.bytes;
}

platform::ReadResult CVolume::ReadDevice(uint64_t position, void* buffer, uint32_t bytes,
                                         uint32_t timeoutMs) {
  return file_.ReadAt(position, buffer, bytes, timeoutMs);
}

uint32_t CVolume::ReadSectors32(void* buffer, uint64_t firstSector, int32_t count) {
  return ReadSectors(buffer, firstSector, static_cast<uint64_t>(static_cast<int64_t>(count)));
}

uint32_t CVolume::FileRead(const FoundObject& record, void* buffer, uint64_t offset,
                           uint32_t length) {
  if (length == 0) return 0;
  uint64_t sector = 0;
  try {
    constexpr uint64_t kMaxPosition = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (record.Start < 0 || offset > kMaxPosition - static_cast<uint64_t>(record.Start)) {
      volume_log::Error(u"CVolume::FileRead: Can't read sector at: %I64d", record.Start);
      return 0;
    }
    const uint64_t position = static_cast<uint64_t>(record.Start) + offset;
    sector = position / kSectorSize;
    // An object need not begin on a sector boundary: the bytes before it in its first sector
    // are read but never handed out.
    const uint32_t within = static_cast<uint32_t>(position % kSectorSize);
    const uint64_t span = uint64_t{within} + length;
    const int32_t sectors = static_cast<int32_t>((span + kSectorSize - 1) / kSectorSize);
    uint32_t read = 0;
    if (within == 0 && length % kSectorSize == 0) {
      read = ReadSectors32(buffer, sector, sectors);
    } else {
      // Whole sectors are read; only the bytes asked for reach the caller's buffer.
      std::vector<uint8_t> whole(static_cast<size_t>(sectors) * kSectorSize);
      const uint32_t got = ReadSectors32(whole.data(), sector, sectors);
      read = got > within ? std::min(got - within, length) : 0;
      if (read) std::memcpy(buffer, whole.data() + within, read);
    }
    if (read == 0) {
      volume_log::Error(u"CVolume::FileRead: Can't read sector at: %I64d",
                        static_cast<int64_t>(sector));
      return 0;
    }
    return read;
  } catch (...) {
    volume_log::Error(u"CVolume::FileRead.Except read sector at: %I64d",
                      static_cast<int64_t>(sector));
    return 0;
  }
}

uint32_t CVolume::ReadObjectData(const FoundObject& record, void* buffer, uint64_t offset,
                                 uint32_t length) {
  try {
    if (FileSystem && ReadsObjectDataItself(FileSystem->TypeCode))
      return FileSystem->FileRead(record, buffer, offset, length);
    return FileRead(record, buffer, offset, length);
  } catch (...) {
    return 0;
  }
}

uint64_t CVolume::DeviceSize() {
  std::lock_guard lock(ioLock_);
  const bool wasOpen = file_.IsOpen();
  if (!wasOpen && !OpenLocked()) return 0;
  const uint64_t size = file_.Size();
  if (!wasOpen) CloseLocked();
  return size;
}

bool CVolume::WithDevice(CloseAfter closeAfter,
                         const std::function<bool(const platform::File&)>& query) {
  std::lock_guard lock(ioLock_);
  const bool wasOpen = file_.IsOpen();
  if (!wasOpen && !OpenLocked()) return false;
  const bool answered = query(file_);
  if (!wasOpen && closeAfter == CloseAfter::Yes) CloseLocked();
  return answered;
}
