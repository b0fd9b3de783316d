// Files and devices on Windows. Reads of drives and images are overlapped, each with its own
// OVERLAPPED and event, so that a read can be given up after its time limit and several
// threads may read one handle at once. Write handles are synchronous.
#include <windows.h>
#include <winioctl.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"

namespace platform {

namespace {

constexpr DWORD kFileGenericRead = 0x120089;  // FILE_GENERIC_READ
constexpr UINT kQuietErrorMode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
// CreateDirectoryW stops at 248 characters and the other calls at 260; longer paths need the
// "\\?\" form.
constexpr size_t kLongPathFrom = 240;

HANDLE ToHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

class EventHandle {
 public:
  EventHandle() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~EventHandle() {
    if (event_) CloseHandle(event_);
  }
  EventHandle(const EventHandle&) = delete;
  EventHandle& operator=(const EventHandle&) = delete;
  HANDLE get() const { return event_; }

 private:
  HANDLE event_;
};

// Keeps a missing medium or a bad path from raising a system dialog box, on this thread only.
class QuietErrorMode {
 public:
  QuietErrorMode() { SetThreadErrorMode(kQuietErrorMode, &previous_); }
  ~QuietErrorMode() {
    DWORD error = GetLastError();
    SetThreadErrorMode(previous_, nullptr);
    SetLastError(error);
  }

 private:
  DWORD previous_ = 0;
};

bool HasDotSegment(std::u16string_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    std::u16string_view segment = path.substr(start, end - start);
    if (segment == u"." || segment == u"..") return true;
    start = end + 1;
  }
  return false;
}

// A long absolute path in the "\\?\" form, which has no length limit but is taken literally:
// separators are made backslashes and repeated ones collapsed. Paths with "." or ".." segments
// are left to the system, which cannot resolve them in that form.
std::u16string LongPathForm(std::u16string_view path) {
  bool driveAbsolute = path.size() > 2 && path[1] == u':' && IsSeparator(path[2]);
  bool unc = path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
             path[2] != u'?' && path[2] != u'.';
  if (path.size() < kLongPathFrom || !(driveAbsolute || unc) || HasDotSegment(path)) {
    return std::u16string(path);
  }
  std::u16string result = driveAbsolute ? u"\\\\?\\" : u"\\\\?\\UNC";
  if (unc) path.remove_prefix(1);
  for (char16_t c : path) {
    if (IsSeparator(c)) {
      if (result.back() == u'\\') continue;
      result.push_back(u'\\');
    } else {
      result.push_back(c);
    }
  }
  return result;
}

// A path with a NUL in it would name another file once the system reads it.
bool ToNativePath(std::u16string_view path, std::u16string* native) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  *native = LongPathForm(path);
  return true;
}

OVERLAPPED OverlappedAt(uint64_t offset, HANDLE event) {
  OVERLAPPED overlapped{};
  overlapped.Offset = static_cast<DWORD>(offset);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  overlapped.hEvent = event;
  return overlapped;
}

// DeviceIoControl on a handle that may have been opened overlapped, which needs an OVERLAPPED.
bool DeviceControl(HANDLE handle, DWORD code, void* output, DWORD outputSize) {
  EventHandle event;
  if (!event.get()) return false;
  OVERLAPPED overlapped = OverlappedAt(0, event.get());
  DWORD returned = 0;
  if (!DeviceIoControl(handle, code, nullptr, 0, output, outputSize, &returned, &overlapped) &&
      GetLastError() != ERROR_IO_PENDING) {
    return false;
  }
  return GetOverlappedResult(handle, &overlapped, &returned, TRUE) && returned >= outputSize;
}

const FILETIME* OptionalFileTime(FileTime time, FILETIME* storage) {
  if (time == 0) return nullptr;
  storage->dwLowDateTime = static_cast<DWORD>(time);
  storage->dwHighDateTime = static_cast<DWORD>(time >> 32);
  return storage;
}

bool SetHandleTimes(HANDLE handle, FileTime created, FileTime accessed, FileTime modified) {
  FILETIME c, a, m;
  return SetFileTime(handle, OptionalFileTime(created, &c), OptionalFileTime(accessed, &a),
                     OptionalFileTime(modified, &m)) != FALSE;
}

}  // namespace

uint32_t LastError() { return GetLastError(); }

std::u16string SystemErrorMessage(uint32_t code) {
  wchar_t buffer[1024];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, buffer, static_cast<DWORD>(std::size(buffer)),
                                nullptr);
  if (length == 0) return Utf8ToUtf16("Error " + std::to_string(code));
  std::u16string message(U(buffer), length);
  while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n')) {
    message.pop_back();
  }
  return message;
}

File::~File() { Close(); }

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)),
      writePosition_(std::exchange(other.writePosition_, 0)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    writePosition_ = std::exchange(other.writePosition_, 0);
  }
  return *this;
}

bool File::OpenRead(std::u16string_view path) {
  Close();
  std::u16string native;
  if (!ToNativePath(path, &native)) return false;
  QuietErrorMode quiet;
  HANDLE handle = CreateFileW(W(native.c_str()), kFileGenericRead,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(handle);
  return true;
}

bool File::OpenWrite(std::u16string_view path, CreateMode mode) {
  Close();
  std::u16string native;
  if (!ToNativePath(path, &native)) return false;
  DWORD disposition = mode == CreateMode::CreateAlways ? CREATE_ALWAYS
                      : mode == CreateMode::CreateNew  ? CREATE_NEW
                                                       : OPEN_EXISTING;
  QuietErrorMode quiet;
  HANDLE handle = CreateFileW(W(native.c_str()), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  // Whatever the path's spelling (\\?\PhysicalDriveN, \\.\HarddiskNPartitionM, a volume
  // GUID path), a drive is never written: a handle that answers a disk-length query is one.
  GET_LENGTH_INFORMATION length{};
  if (DeviceControl(handle, IOCTL_DISK_GET_LENGTH_INFO, &length, sizeof(length))) {
    CloseHandle(handle);
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(handle);
  writePosition_ = 0;
  return true;
}

void File::Close() {
  if (handle_ == -1) return;
  DWORD error = GetLastError();
  CloseHandle(ToHandle(std::exchange(handle_, -1)));
  SetLastError(error);
  writePosition_ = 0;
}

bool File::IsOpen() const { return handle_ != -1; }

ReadResult File::ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t timeoutMs) {
  ReadResult result;
  if (handle_ == -1 || (buffer == nullptr && count > 0)) {
    result.error = handle_ == -1 ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER;
    SetLastError(result.error);
    return result;
  }
  EventHandle event;
  if (!event.get()) {
    result.error = GetLastError();
    return result;
  }
  HANDLE handle = ToHandle(handle_);
  OVERLAPPED overlapped = OverlappedAt(offset, event.get());
  bool timedOut = false;
  if (!ReadFile(handle, buffer, count, nullptr, &overlapped)) {
    DWORD error = GetLastError();
    if (error == ERROR_HANDLE_EOF) {
      result.status = ReadStatus::Ok;
      return result;
    }
    if (error != ERROR_IO_PENDING) {
      result.error = error;
      return result;
    }
    if (WaitForSingleObject(event.get(), timeoutMs == 0 ? INFINITE : timeoutMs) == WAIT_TIMEOUT) {
      timedOut = true;
      CancelIoEx(handle, &overlapped);
    }
  }
  // Waits for the end of the I/O in every case: the buffer and the OVERLAPPED must outlive it.
  DWORD transferred = 0;
  BOOL done = GetOverlappedResult(handle, &overlapped, &transferred, TRUE);
  DWORD error = done ? ERROR_SUCCESS : GetLastError();
  result.bytes = transferred;
  if (timedOut) {
    result.status = ReadStatus::Timeout;
    result.error = error;
  } else if (done || error == ERROR_HANDLE_EOF) {
    result.status = ReadStatus::Ok;
  } else {
    result.error = error;
  }
  SetLastError(error);
  return result;
}

bool File::Write(const void* data, uint32_t count) { return WriteAt(writePosition_, data, count); }

bool File::WriteAt(uint64_t offset, const void* data, uint32_t count) {
  if (handle_ == -1 || (data == nullptr && count > 0)) {
    SetLastError(handle_ == -1 ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return false;
  }
  EventHandle event;
  if (!event.get()) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint64_t position = offset;
  uint32_t left = count;
  while (left > 0) {
    OVERLAPPED overlapped = OverlappedAt(position, event.get());
    DWORD written = 0;
    if (!WriteFile(ToHandle(handle_), bytes, left, nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
      return false;
    }
    if (!GetOverlappedResult(ToHandle(handle_), &overlapped, &written, TRUE)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    bytes += written;
    position += written;
    left -= written;
  }
  if (offset + count > writePosition_) writePosition_ = offset + count;
  return true;
}

// Files report their size; disks and volumes report none and are asked through their driver.
uint64_t File::Size() const {
  if (handle_ == -1) return 0;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(ToHandle(handle_), &size) && size.QuadPart > 0) {
    return static_cast<uint64_t>(size.QuadPart);
  }
  GET_LENGTH_INFORMATION length{};
  if (DeviceControl(ToHandle(handle_), IOCTL_DISK_GET_LENGTH_INFO, &length, sizeof(length)) &&
      length.Length.QuadPart > 0) {
    return static_cast<uint64_t>(length.Length.QuadPart);
  }
  return 0;
}

bool File::SetTimes(FileTime created, FileTime accessed, FileTime modified) {
  if (handle_ == -1) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return SetHandleTimes(ToHandle(handle_), created, accessed, modified);
}

uint32_t GetFileAttributes(std::u16string_view path) {
  std::u16string native;
  if (!ToNativePath(path, &native)) return kInvalidAttributes;
  QuietErrorMode quiet;
  return GetFileAttributesW(W(native.c_str()));
}

bool SetFileAttributes(std::u16string_view path, uint32_t attributes) {
  std::u16string native;
  return ToNativePath(path, &native) && SetFileAttributesW(W(native.c_str()), attributes);
}

bool CreateFolder(std::u16string_view path) {
  std::u16string native;
  if (!ToNativePath(path, &native)) return false;
  QuietErrorMode quiet;
  if (CreateDirectoryW(W(native.c_str()), nullptr)) return true;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  DWORD attributes = GetFileAttributesW(W(native.c_str()));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  SetLastError(ERROR_ALREADY_EXISTS);
  return false;
}

bool DeleteFile(std::u16string_view path) {
  std::u16string native;
  return ToNativePath(path, &native) && DeleteFileW(W(native.c_str()));
}

bool DeleteFolder(std::u16string_view path) {
  std::u16string native;
  return ToNativePath(path, &native) && RemoveDirectoryW(W(native.c_str()));
}

// Opened with backup semantics so that folders take their times too.
bool SetFileTimes(std::u16string_view path, FileTime created, FileTime accessed, FileTime modified) {
  std::u16string native;
  if (!ToNativePath(path, &native)) return false;
  HANDLE handle = CreateFileW(W(native.c_str()), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool done = SetHandleTimes(handle, created, accessed, modified);
  DWORD error = GetLastError();
  CloseHandle(handle);
  SetLastError(error);
  return done;
}

std::u16string TempFolder() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::u16string folder(U(buffer.data()), length);
      if (!IsSeparator(folder.back())) folder.push_back(u'\\');
      return folder;
    }
    buffer.resize(length + 1);
  }
}

std::u16string ProgramPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  while (buffer.size() <= 32768) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::u16string(U(buffer.data()), length);
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

}  // namespace platform
