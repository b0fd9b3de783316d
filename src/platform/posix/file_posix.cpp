// Files and block devices on POSIX: paths are UTF-8, reads and writes go through pread and
// pwrite at explicit offsets, so one descriptor serves any number of threads.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <utility>

#include "platform/file.h"
#include "platform/text.h"

namespace platform {

namespace {

constexpr int kClosed = -1;
constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());

// A path that holds a NUL would silently name another file once it reaches the system.
bool ToNativePath(std::u16string_view path, std::string* native) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) {
    errno = EINVAL;
    return false;
  }
  *native = Utf16ToUtf8(path);
  return true;
}

int OpenNative(std::u16string_view path, int flags, mode_t mode = 0) {
  std::string native;
  if (!ToNativePath(path, &native)) return kClosed;
  int fd;
  do {
    fd = ::open(native.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// FILETIME (100 ns since 1601) to the POSIX form; 0 leaves the time unchanged.
timespec ToTimespec(FileTime time) {
  constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;
  timespec moment{};
  if (time == 0) {
    moment.tv_nsec = UTIME_OMIT;
    return moment;
  }
  moment.tv_sec = static_cast<time_t>(static_cast<int64_t>(time / kFileTimeTicksPerSecond) -
                                    kSecondsFrom1601To1970);
  moment.tv_nsec = static_cast<long>(time % kFileTimeTicksPerSecond) * 100;
  return moment;
}

bool WriteAll(int fd, uint64_t offset, const uint8_t* data, uint32_t count) {
  while (count > 0) {
    if (offset > kMaxOffset - count) {
      errno = EFBIG;
      return false;
    }
    ssize_t written = ::pwrite(fd, data, count, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return false;
    }
    data += written;
    offset += static_cast<uint64_t>(written);
    count -= static_cast<uint32_t>(written);
  }
  return true;
}

}  // namespace

uint32_t LastError() { return static_cast<uint32_t>(errno); }

std::u16string SystemErrorMessage(uint32_t code) {
  return Utf8ToUtf16(std::system_category().message(static_cast<int>(code)));
}

File::~File() { Close(); }

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, kClosed)),
      writePosition_(std::exchange(other.writePosition_, 0)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kClosed);
    writePosition_ = std::exchange(other.writePosition_, 0);
  }
  return *this;
}

bool File::OpenRead(std::u16string_view path) {
  Close();
  int fd = OpenNative(path, O_RDONLY);
  if (fd < 0) return false;
  // Windows refuses to open a folder as a file; do the same, so that callers see one behaviour.
  struct stat info;
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return false;
  }
  handle_ = fd;
  return true;
}

bool File::OpenWrite(std::u16string_view path, CreateMode mode) {
  Close();
  int flags = O_RDWR;
  switch (mode) {
    case CreateMode::CreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case CreateMode::CreateNew: flags |= O_CREAT | O_EXCL; break;
    case CreateMode::OpenExisting: break;
  }
  int fd = OpenNative(path, flags, 0666);
  if (fd < 0) return false;
  // Whatever the path's spelling (a link, /proc/self/fd, a bind mount), a drive is never
  // written: the opened file itself is asked what it is. O_TRUNC leaves a device unchanged.
  struct stat status{};
  if (::fstat(fd, &status) != 0 || S_ISBLK(status.st_mode) || S_ISCHR(status.st_mode)) {
    ::close(fd);
    errno = EPERM;
    return false;
  }
  handle_ = fd;
  writePosition_ = 0;
  return true;
}

void File::Close() {
  if (handle_ == kClosed) return;
  int saved = errno;
  ::close(static_cast<int>(std::exchange(handle_, kClosed)));
  errno = saved;
  writePosition_ = 0;
}

bool File::IsOpen() const { return handle_ != kClosed; }

// pread cannot be interrupted or cancelled on Linux: a read from a failing disk sleeps in the
// kernel until the block layer gives up (the SCSI command time limit, 30 s by default, and its
// retries), and a signal does not wake it. Starting a thread per read would only leave that
// thread stuck instead. So the read runs to its end and its duration is measured: a read that
// overran the limit is reported as Timeout, with the bytes it did get, and the caller treats
// it as it treats a Windows read that finished as it was being cancelled.
ReadResult File::ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t timeoutMs) {
  ReadResult result;
  if (handle_ == kClosed || (buffer == nullptr && count > 0) || offset > kMaxOffset) {
    result.error = handle_ == kClosed ? EBADF : EINVAL;
    errno = static_cast<int>(result.error);
    return result;
  }
  auto started = std::chrono::steady_clock::now();
  ssize_t got;
  do {
    got = ::pread(static_cast<int>(handle_), buffer, count, static_cast<off_t>(offset));
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    result.error = static_cast<uint32_t>(errno);
    return result;
  }
  // A short read is handed to the caller, which decides whether to ask again.
  result.bytes = static_cast<uint32_t>(got);
  result.status = ReadStatus::Ok;
  if (timeoutMs != 0) {
    auto elapsed = std::chrono::steady_clock::now() - started;
    if (elapsed > std::chrono::milliseconds(timeoutMs)) {
      result.status = ReadStatus::Timeout;
      result.error = ETIMEDOUT;
    }
  }
  return result;
}

bool File::Write(const void* data, uint32_t count) { return WriteAt(writePosition_, data, count); }

bool File::WriteAt(uint64_t offset, const void* data, uint32_t count) {
  if (handle_ == kClosed || (data == nullptr && count > 0)) {
    errno = handle_ == kClosed ? EBADF : EINVAL;
    return false;
  }
  if (!WriteAll(static_cast<int>(handle_), offset, static_cast<const uint8_t*>(data), count)) {
    return false;
  }
  if (offset + count > writePosition_) writePosition_ = offset + count;
  return true;
}

uint64_t File::Size() const {
  if (handle_ == kClosed) return 0;
  struct stat info;
  if (::fstat(static_cast<int>(handle_), &info) != 0) return 0;
  if (S_ISBLK(info.st_mode)) {
    uint64_t bytes = 0;
    return ::ioctl(static_cast<int>(handle_), BLKGETSIZE64, &bytes) == 0 ? bytes : 0;
  }
  return info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

bool File::SetTimes(FileTime created, FileTime accessed, FileTime modified) {
  if (handle_ == kClosed) {
    errno = EBADF;
    return false;
  }
  timespec times[2] = {ToTimespec(accessed), ToTimespec(modified)};
  return ::futimens(static_cast<int>(handle_), times) == 0;
}

// Windows attributes from the POSIX mode: a folder, a file without an owner write bit is
// read-only, a dot name is hidden; a file with none of these is "normal".
uint32_t GetFileAttributes(std::u16string_view path) {
  std::string native;
  struct stat info;
  if (!ToNativePath(path, &native) || ::stat(native.c_str(), &info) != 0) return kInvalidAttributes;
  uint32_t attributes = 0;
  if (S_ISDIR(info.st_mode)) attributes |= kAttributeDirectory;
  if ((info.st_mode & S_IWUSR) == 0) attributes |= kAttributeReadOnly;
  std::u16string_view name = FileNamePart(path);
  if (name.size() > 1 && name[0] == u'.' && name != u"..") attributes |= kAttributeHidden;
  return attributes != 0 ? attributes : kAttributeNormal;
}

// Only the read-only bit has a POSIX form (the write bits of a file); the other bits are
// accepted and ignored. A folder keeps its mode: a read-only folder on Windows still takes new
// files, a folder without write bits here would not.
bool SetFileAttributes(std::u16string_view path, uint32_t attributes) {
  std::string native;
  struct stat info;
  if (!ToNativePath(path, &native) || ::stat(native.c_str(), &info) != 0) return false;
  if (S_ISDIR(info.st_mode)) return true;
  mode_t mode = info.st_mode & 07777;
  if (attributes & kAttributeReadOnly) {
    mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
  } else {
    mode |= S_IWUSR;
  }
  return ::chmod(native.c_str(), mode) == 0;
}

bool CreateFolder(std::u16string_view path) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  if (::mkdir(native.c_str(), 0777) == 0) return true;
  if (errno != EEXIST) return false;
  struct stat info;
  if (::stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return true;
  errno = EEXIST;
  return false;
}

bool DeleteFile(std::u16string_view path) {
  std::string native;
  return ToNativePath(path, &native) && ::unlink(native.c_str()) == 0;
}

bool DeleteFolder(std::u16string_view path) {
  std::string native;
  return ToNativePath(path, &native) && ::rmdir(native.c_str()) == 0;
}

bool SetFileTimes(std::u16string_view path, FileTime created, FileTime accessed, FileTime modified) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  timespec times[2] = {ToTimespec(accessed), ToTimespec(modified)};
  return ::utimensat(AT_FDCWD, native.c_str(), times, 0) == 0;
}

std::u16string TempFolder() {
  const char* variable = std::getenv("TMPDIR");
  std::string folder = variable && *variable ? variable : "/tmp";
  if (folder.back() != '/') folder.push_back('/');
  return Utf8ToUtf16(folder);
}

std::u16string ProgramPath() {
  std::string buffer(256, '\0');
  for (;;) {
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<size_t>(length));
      return Utf8ToUtf16(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace platform
