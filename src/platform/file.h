// Files and devices: read-only opens of drives and images with timed reads at 64-bit offsets,
// and the few writes the program makes (recovered files, images, the saved log).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/time.h"

// <windows.h> maps these names to their W functions; the platform's own functions keep them.
#ifdef DeleteFile
#undef DeleteFile
#endif
#ifdef GetFileAttributes
#undef GetFileAttributes
#endif
#ifdef SetFileAttributes
#undef SetFileAttributes
#endif

namespace platform {

#ifdef _WIN32
constexpr char16_t kPathSeparator = u'\\';
#else
constexpr char16_t kPathSeparator = u'/';
#endif

// The last system error code of the calling thread (GetLastError / errno).
uint32_t LastError();
// The system's text for an error code, without a trailing line break.
std::u16string SystemErrorMessage(uint32_t code);

enum class ReadStatus { Ok, Timeout, Error };

struct ReadResult {
  ReadStatus status = ReadStatus::Error;
  uint32_t bytes = 0;  // transferred, also on a short read
  uint32_t error = 0;  // system error code when status is Error
};

enum class CreateMode {
  CreateAlways,  // create or truncate (CREATE_ALWAYS)
  CreateNew,     // fail when it exists (CREATE_NEW)
  OpenExisting,  // open for writing, keep the contents
};

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // A file, an image or a device ("\\.\PHYSICALDRIVE0", "/dev/sda") for reading only,
  // sharing read and write. False with LastError() set.
  bool OpenRead(std::u16string_view path);
  // A file for writing (and reading back).
  bool OpenWrite(std::u16string_view path, CreateMode mode);
  void Close();
  bool IsOpen() const;

  // Reads at a byte offset; gives up after timeoutMs (0 = no limit) and cancels the I/O.
  // A read that ends early (end of file) is Ok with the bytes it got. On Timeout, bytes are
  // what the read transferred all the same (valid data; 0 when it was cancelled in time).
  ReadResult ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t timeoutMs = 0);
  // Writes at the current end of what this object wrote (sequential), or at an offset.
  bool Write(const void* data, uint32_t count);
  bool WriteAt(uint64_t offset, const void* data, uint32_t count);
  // Size of a file, or of a block device (0 when unknown).
  uint64_t Size() const;
  // A time of 0 leaves that time as it is; POSIX keeps no creation time.
  bool SetTimes(FileTime created, FileTime accessed, FileTime modified);

  // HANDLE on Windows, file descriptor on POSIX: for device queries of the platform layer.
  intptr_t NativeHandle() const { return handle_; }

 private:
  intptr_t handle_ = -1;
  uint64_t writePosition_ = 0;
};

// Attribute bits as Win32 reports them.
constexpr uint32_t kAttributeReadOnly = 0x1;
constexpr uint32_t kAttributeHidden = 0x2;
constexpr uint32_t kAttributeSystem = 0x4;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr uint32_t kAttributeNormal = 0x80;
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

uint32_t GetFileAttributes(std::u16string_view path);  // kInvalidAttributes when missing
bool SetFileAttributes(std::u16string_view path, uint32_t attributes);
bool FileExists(std::u16string_view path);
bool FolderExists(std::u16string_view path);
bool CreateFolder(std::u16string_view path);  // one level; true when it exists already
bool CreateFolders(std::u16string_view path);  // with its parents
bool DeleteFile(std::u16string_view path);
bool DeleteFolder(std::u16string_view path);   // an empty folder
bool SetFileTimes(std::u16string_view path, FileTime created, FileTime accessed, FileTime modified);

// The system temporary folder, ending with a separator (GetTempPathW).
std::u16string TempFolder();
// The running program file and its folder (ending with a separator).
std::u16string ProgramPath();
std::u16string ProgramFolder();
// The part after the last separator ('\\' or '/').
std::u16string_view FileNamePart(std::u16string_view path);
// Joins with one separator between the parts.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

}  // namespace platform
