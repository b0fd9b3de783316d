// Where a destination folder lies: on the disk a volume is read from or not, and which write
// errors mean a full destination.
#include <gtest/gtest.h>

#include "platform/destination.h"
#include "platform/file.h"
#include "support/test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <filesystem>

#include "platform/text.h"

TEST(Destination, AFolderLiesOnExactlyOneDiskOfTheMachine) {
  testing_support::TempFolder folder;
  struct stat info {};
  ASSERT_EQ(::stat(platform::Utf16ToUtf8(folder.path()).c_str(), &info), 0);
  if (major(info.st_dev) == 0) GTEST_SKIP() << "the temporary folder is on no disk";
  int yes = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/block", error)) {
    const std::u16string device = platform::Utf8ToUtf16("/dev/" + entry.path().filename().string());
    // A folder not made yet is judged by the nearest folder that exists.
    const std::u16string notYet = folder.File(u"not/yet/made");
    const platform::SameDisk same = platform::FolderIsOnDevice(notYet, device);
    if (same == platform::SameDisk::Yes) ++yes;
  }
  if (yes == 0) GTEST_SKIP() << "the disk's device node is not in /dev";
  EXPECT_EQ(yes, 1);
}

TEST(Destination, WhatIsNoDiskCannotBeTold) {
  testing_support::TempFolder folder;
  EXPECT_EQ(platform::FolderIsOnDevice(folder.path(), u"/dev/null"), platform::SameDisk::Unknown);
  EXPECT_EQ(platform::FolderIsOnDevice(folder.path(), u"/no/such/device"),
            platform::SameDisk::Unknown);
  EXPECT_EQ(platform::FolderIsOnDevice(folder.path(), folder.path()), platform::SameDisk::Unknown);
  EXPECT_TRUE(platform::IsDiskFullError(ENOSPC));
  EXPECT_TRUE(platform::IsDiskFullError(EDQUOT));
  EXPECT_FALSE(platform::IsDiskFullError(EFBIG));
  EXPECT_TRUE(platform::IsFileTooLargeError(EFBIG));
}
#else
#include <windows.h>

TEST(Destination, WhatIsNoDiskCannotBeTold) {
  testing_support::TempFolder folder;
  EXPECT_EQ(platform::FolderIsOnDevice(folder.path(), u"\\\\.\\NoSuchDevice"),
            platform::SameDisk::Unknown);
  EXPECT_TRUE(platform::IsDiskFullError(ERROR_DISK_FULL));
  EXPECT_TRUE(platform::IsDiskFullError(ERROR_HANDLE_DISK_FULL));
  EXPECT_FALSE(platform::IsDiskFullError(ERROR_ACCESS_DENIED));
}
#endif
