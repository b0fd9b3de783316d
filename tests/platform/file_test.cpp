#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"
#include "support/test_support.h"

using platform::CreateMode;
using platform::File;
using platform::FileTime;
using platform::ReadStatus;
using testing_support::TempFolder;

namespace {

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

struct FileTimes {
  FileTime accessed = 0;
  FileTime modified = 0;
};

// Read back with the system's own call, not through the code under test.
FileTimes ReadTimes(const std::u16string& path) {
  FileTimes times;
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(platform::W(path.c_str()), GetFileExInfoStandard, &data)) {
    times.accessed = (FileTime(data.ftLastAccessTime.dwHighDateTime) << 32) |
                     data.ftLastAccessTime.dwLowDateTime;
    times.modified = (FileTime(data.ftLastWriteTime.dwHighDateTime) << 32) |
                     data.ftLastWriteTime.dwLowDateTime;
  }
#else
  struct stat info;
  std::string native(path.begin(), path.end());  // the test's paths are ASCII
  if (stat(native.c_str(), &info) == 0) {
    auto toFileTime = [](const timespec& t) {
      return FileTime((t.tv_sec + 11'644'473'600LL) * 10'000'000LL + t.tv_nsec / 100);
    };
    times.accessed = toFileTime(info.st_atim);
    times.modified = toFileTime(info.st_mtim);
  }
#endif
  return times;
}

}  // namespace

// A block written beyond 4 GiB must come back from the same place: an offset cut to 32 bits
// would read the decoy block 4 GiB lower. The space between is a hole that reads as zeros.
TEST(FileTest, ReadsAtOffsetsBeyondFourGiB) {
  TempFolder folder;
  const std::u16string path = folder.File(u"sparse.dsk");
  const uint64_t kFar = (5ull << 30) + 12345;
  const uint64_t kDecoy = kFar - (4ull << 30);
  const std::vector<uint8_t> block = Pattern(4096, 1);
  const std::vector<uint8_t> decoy = Pattern(4096, 99);
  {
    File out;
    ASSERT_TRUE(out.OpenWrite(path, CreateMode::CreateAlways));
#ifdef _WIN32
    DWORD returned = 0;  // NTFS allocates the gap unless the file is sparse
    DeviceIoControl(reinterpret_cast<HANDLE>(out.NativeHandle()), FSCTL_SET_SPARSE, nullptr, 0,
                    nullptr, 0, &returned, nullptr);
#endif
    ASSERT_TRUE(out.WriteAt(kDecoy, decoy.data(), 4096));
    ASSERT_TRUE(out.WriteAt(kFar, block.data(), 4096));
  }
  File in;
  ASSERT_TRUE(in.OpenRead(path));
  EXPECT_EQ(in.Size(), kFar + 4096);

  std::vector<uint8_t> buffer(8192, 0xEE);
  platform::ReadResult read = in.ReadAt(kFar - 4096, buffer.data(), 8192, 5000);
  ASSERT_EQ(read.status, ReadStatus::Ok);
  ASSERT_EQ(read.bytes, 8192u);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4096),
            std::vector<uint8_t>(4096, 0));
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 4096, buffer.end()), block);

  buffer.assign(512, 0xEE);
  read = in.ReadAt(4ull << 30, buffer.data(), 512);
  ASSERT_EQ(read.bytes, 512u);
  EXPECT_EQ(buffer, std::vector<uint8_t>(512, 0));

  // Past the end: a short count, then nothing, and neither is an error.
  read = in.ReadAt(kFar + 4000, buffer.data(), 512);
  EXPECT_EQ(read.status, ReadStatus::Ok);
  EXPECT_EQ(read.bytes, 96u);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 96, block.begin() + 4000));
  read = in.ReadAt(kFar + 1'000'000, buffer.data(), 512);
  EXPECT_EQ(read.status, ReadStatus::Ok);
  EXPECT_EQ(read.bytes, 0u);
}

TEST(FileTest, FailuresAreReportedWithTheSystemError) {
  TempFolder folder;
  File file;
  EXPECT_FALSE(file.OpenRead(folder.File(u"missing.dsk")));
  uint32_t code = platform::LastError();
  EXPECT_EQ(code, 2u);  // ENOENT and ERROR_FILE_NOT_FOUND alike
  std::u16string message = platform::SystemErrorMessage(code);
  EXPECT_FALSE(message.empty());
  EXPECT_NE(message.back(), u'\n');
  EXPECT_NE(message.back(), u'\r');
  EXPECT_FALSE(file.IsOpen());

  uint8_t byte = 0;
  EXPECT_EQ(file.ReadAt(0, &byte, 1).status, ReadStatus::Error);
  EXPECT_FALSE(file.Write(&byte, 1));

  // A folder is no file to read.
  EXPECT_FALSE(file.OpenRead(folder.path()));

  // A NUL inside a name must not open the name before it.
  std::u16string withNul = folder.File(u"cut");
  withNul += u'\0';
  withNul += u"rest";
  EXPECT_FALSE(file.OpenWrite(withNul, CreateMode::CreateAlways));
  EXPECT_FALSE(platform::FileExists(folder.File(u"cut")));
}

// Devices are opened for reading only: no spelling of a path gets one opened for writing.
TEST(FileTest, WritingRefusesDevicesWhateverThePathSays) {
  std::vector<std::u16string> devices;
#ifdef _WIN32
  for (const char16_t* path : {u"\\\\.\\PhysicalDrive0", u"\\\\?\\PhysicalDrive0",
                               u"\\\\.\\Harddisk0Partition1", u"\\\\.\\C:"}) {
    File probe;
    if (probe.OpenRead(path) && probe.Size() != 0) devices.push_back(path);
  }
  if (devices.empty()) GTEST_SKIP() << "no drive can be opened here";
#else
  TempFolder folder;
  for (const char16_t* path : {u"/dev/null", u"/dev/zero", u"/dev/loop0"})
    if (platform::GetFileAttributes(path) != platform::kInvalidAttributes) devices.push_back(path);
  // A name that says nothing of a device.
  const std::u16string link = folder.File(u"log.txt");
  ASSERT_EQ(::symlink("/dev/null", platform::Utf16ToUtf8(link).c_str()), 0);
  devices.push_back(link);
#endif
  for (const std::u16string& device : devices) {
    for (const CreateMode mode : {CreateMode::CreateAlways, CreateMode::OpenExisting}) {
      File file;
      EXPECT_FALSE(file.OpenWrite(device, mode)) << platform::Utf16ToUtf8(device);
      EXPECT_FALSE(file.IsOpen());
      EXPECT_FALSE(platform::SystemErrorMessage(platform::LastError()).empty());
    }
  }
}

TEST(FileTest, WritesAndReadsBack) {
  TempFolder folder;
  const std::u16string path = folder.File(u"recovered.bin");
  const std::vector<uint8_t> first = Pattern(1000, 3);
  const std::vector<uint8_t> second = Pattern(600, 40);
  {
    File out;
    ASSERT_TRUE(out.OpenWrite(path, CreateMode::CreateNew));
    ASSERT_TRUE(out.Write(first.data(), 1000));
    ASSERT_TRUE(out.WriteAt(200, second.data(), 100));  // inside: the sequential end stays
    ASSERT_TRUE(out.Write(second.data(), 600));          // at 1000
    EXPECT_EQ(out.Size(), 1600u);

    std::vector<uint8_t> back(1600);
    ASSERT_EQ(out.ReadAt(0, back.data(), 1600).bytes, 1600u);
    std::vector<uint8_t> expected = first;
    std::copy(second.begin(), second.begin() + 100, expected.begin() + 200);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(back, expected);
  }
  EXPECT_EQ(testing_support::ReadWholeFile(path).size(), 1600u);

  File again;
  EXPECT_FALSE(again.OpenWrite(path, CreateMode::CreateNew));
  ASSERT_TRUE(again.OpenWrite(path, CreateMode::OpenExisting));
  EXPECT_EQ(again.Size(), 1600u);
  File moved(std::move(again));
  EXPECT_FALSE(again.IsOpen());
  ASSERT_TRUE(moved.OpenWrite(path, CreateMode::CreateAlways));
  EXPECT_EQ(moved.Size(), 0u);
  EXPECT_FALSE(again.OpenWrite(folder.File(u"absent.bin"), CreateMode::OpenExisting));
}

TEST(FileTest, CreatesNestedFoldersAndDeletesThem) {
  TempFolder folder;
  const std::u16string top = folder.File(u"a");
  const std::u16string deepest = platform::JoinPath(platform::JoinPath(top, u"b"), u"c");
  ASSERT_TRUE(platform::CreateFolders(deepest));
  EXPECT_TRUE(platform::FolderExists(deepest));
  EXPECT_TRUE(platform::CreateFolders(deepest + platform::kPathSeparator));  // exists already
  EXPECT_TRUE(platform::CreateFolder(deepest));

  // A file in the way of a folder.
  const std::u16string blocker = platform::JoinPath(top, u"file");
  ASSERT_TRUE(testing_support::WriteWholeFile(blocker, {1, 2, 3}));
  EXPECT_FALSE(platform::CreateFolders(platform::JoinPath(blocker, u"sub")));
  EXPECT_FALSE(platform::CreateFolder(blocker));

  EXPECT_FALSE(platform::DeleteFolder(top));  // not empty
  EXPECT_TRUE(platform::DeleteFile(blocker));
  EXPECT_FALSE(platform::FileExists(blocker));
  EXPECT_TRUE(platform::DeleteFolder(deepest));
  EXPECT_FALSE(platform::FolderExists(deepest));
  EXPECT_TRUE(platform::FolderExists(platform::JoinPath(top, u"b")));

#ifdef _WIN32
  // Windows accepts either separator.
  EXPECT_TRUE(platform::CreateFolders(top + u"/x\\y/z"));
  EXPECT_TRUE(platform::FolderExists(top + u"\\x\\y\\z"));
#endif
}

// Recovered folder trees can be deep; paths past the old 260-character limit must still work.
TEST(FileTest, HandlesPathsLongerThanTheOldLimit) {
  TempFolder folder;
  std::u16string deep = folder.path();
  for (int i = 0; i < 12; ++i) deep = platform::JoinPath(deep, std::u16string(30, u'a' + i));
  ASSERT_GT(deep.size(), 300u);
  ASSERT_TRUE(platform::CreateFolders(deep));
  const std::u16string path = platform::JoinPath(deep, u"photo.jpg");
  const std::vector<uint8_t> data = Pattern(700, 5);
  {
    File out;
    ASSERT_TRUE(out.OpenWrite(path, CreateMode::CreateAlways));
    ASSERT_TRUE(out.Write(data.data(), 700));
    EXPECT_TRUE(out.SetTimes(0, 0, 130'000'000'000'000'000));
  }
  EXPECT_TRUE(platform::FileExists(path));
  File in;
  ASSERT_TRUE(in.OpenRead(path));
  std::vector<uint8_t> back(700);
  EXPECT_EQ(in.ReadAt(0, back.data(), 700).bytes, 700u);
  EXPECT_EQ(back, data);
}

TEST(FileTest, AttributesOfFilesAndFolders) {
  TempFolder folder;
  const std::u16string path = folder.File(u"report.txt");
  ASSERT_TRUE(testing_support::WriteWholeFile(path, {'x'}));

  uint32_t attributes = platform::GetFileAttributes(folder.path());
  ASSERT_NE(attributes, platform::kInvalidAttributes);
  EXPECT_TRUE(attributes & platform::kAttributeDirectory);
  attributes = platform::GetFileAttributes(path);
  ASSERT_NE(attributes, platform::kInvalidAttributes);
  EXPECT_FALSE(attributes & platform::kAttributeDirectory);
  EXPECT_FALSE(attributes & platform::kAttributeReadOnly);
  EXPECT_EQ(platform::GetFileAttributes(folder.File(u"none")), platform::kInvalidAttributes);
  EXPECT_TRUE(platform::FolderExists(folder.path()));
  EXPECT_FALSE(platform::FileExists(folder.path()));
  EXPECT_TRUE(platform::FileExists(path));
  EXPECT_FALSE(platform::FolderExists(path));

  ASSERT_TRUE(platform::SetFileAttributes(path, platform::kAttributeReadOnly));
  EXPECT_TRUE(platform::GetFileAttributes(path) & platform::kAttributeReadOnly);
  ASSERT_TRUE(platform::SetFileAttributes(path, platform::kAttributeNormal));
  EXPECT_FALSE(platform::GetFileAttributes(path) & platform::kAttributeReadOnly);
}

TEST(FileTest, SetsFileTimes) {
  TempFolder folder;
  const std::u16string path = folder.File(u"dated.jpg");
  ASSERT_TRUE(testing_support::WriteWholeFile(path, {1}));
  const FileTime k1965 = 114'997'536'000'000'000 + 1234567;  // before 1970 as well
  const FileTime k2003 = 126'900'000'000'000'000 + 7654321;

  ASSERT_TRUE(platform::SetFileTimes(path, k2003, k1965, k2003));
  FileTimes times = ReadTimes(path);
  EXPECT_EQ(times.accessed, k1965);
  EXPECT_EQ(times.modified, k2003);

  // Through an open handle; a time of 0 leaves that time alone.
  File out;
  ASSERT_TRUE(out.OpenWrite(path, CreateMode::OpenExisting));
  ASSERT_TRUE(out.SetTimes(0, k2003 + 10, 0));
  out.Close();
  times = ReadTimes(path);
  EXPECT_EQ(times.accessed, k2003 + 10);
  EXPECT_EQ(times.modified, k2003);

  EXPECT_FALSE(platform::SetFileTimes(folder.File(u"none"), k2003, k2003, k2003));
}

TEST(FileTest, TempFolderAndProgramPath) {
  std::u16string temp = platform::TempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_TRUE(temp.back() == u'\\' || temp.back() == u'/');
  EXPECT_TRUE(platform::FolderExists(temp));

  std::u16string program = platform::ProgramPath();
  EXPECT_TRUE(platform::FileExists(program));
  EXPECT_EQ(platform::FileNamePart(program).substr(0, 13), u"test_platform");
  EXPECT_EQ(platform::ProgramFolder() + std::u16string(platform::FileNamePart(program)), program);
}

TEST(PathTest, NamePartAndJoin) {
  EXPECT_EQ(platform::FileNamePart(u"C:\\Photos\\img.jpg"), u"img.jpg");
  EXPECT_EQ(platform::FileNamePart(u"/mnt/card/DCIM/img.jpg"), u"img.jpg");
  EXPECT_EQ(platform::FileNamePart(u"C:\\mixed/dir\\x.dsk"), u"x.dsk");
  EXPECT_EQ(platform::FileNamePart(u"plain"), u"plain");
  EXPECT_EQ(platform::FileNamePart(u"folder\\"), u"");

  const std::u16string sep(1, platform::kPathSeparator);
  EXPECT_EQ(platform::JoinPath(u"C:\\Out", u"a.jpg"), u"C:\\Out" + sep + u"a.jpg");
  EXPECT_EQ(platform::JoinPath(u"C:\\Out\\", u"a.jpg"), u"C:\\Out\\a.jpg");
  EXPECT_EQ(platform::JoinPath(u"/out/", u"/a.jpg"), u"/out/a.jpg");
  EXPECT_EQ(platform::JoinPath(u"/out//", u"\\a.jpg"), u"/out/a.jpg");
  EXPECT_EQ(platform::JoinPath(u"/", u"a"), u"/a");
  EXPECT_EQ(platform::JoinPath(u"", u"a.jpg"), u"a.jpg");
  EXPECT_EQ(platform::JoinPath(u"C:\\Out", u""), u"C:\\Out" + sep);
}

#ifdef _WIN32
// A read that never completes (a pipe nobody writes to) is cancelled at its time limit; the
// handle stays usable for the next read.
TEST(FileTest, ReadTimesOutAndIsCancelled) {
  std::u16string name = u"\\\\.\\pipe\\lumenard-file-test-" +
                        std::u16string(platform::U(std::to_wstring(GetCurrentProcessId()).c_str()));
  HANDLE server = CreateNamedPipeW(platform::W(name.c_str()), PIPE_ACCESS_OUTBOUND,
                                   PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  File client;
  ASSERT_TRUE(client.OpenRead(name));

  char buffer[16] = {};
  auto started = std::chrono::steady_clock::now();
  platform::ReadResult read = client.ReadAt(0, buffer, sizeof buffer, 200);
  auto elapsed = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(read.status, ReadStatus::Timeout);
  EXPECT_EQ(read.bytes, 0u);
  EXPECT_GE(elapsed, std::chrono::milliseconds(150));
  EXPECT_LT(elapsed, std::chrono::seconds(10));

  DWORD written = 0;
  ASSERT_TRUE(WriteFile(server, "hello", 5, &written, nullptr));
  read = client.ReadAt(0, buffer, sizeof buffer, 5000);
  EXPECT_EQ(read.status, ReadStatus::Ok);
  EXPECT_EQ(read.bytes, 5u);
  EXPECT_EQ(std::memcmp(buffer, "hello", 5), 0);
  client.Close();
  CloseHandle(server);
}
#endif
