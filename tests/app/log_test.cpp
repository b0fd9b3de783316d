#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/log.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "app/settings_store.h"
#include "platform/file.h"
#include "platform/text.h"
#include "platform/time.h"
#include "support/test_support.h"

namespace {

using testing_support::ReadWholeFile;
using testing_support::TempFolder;
using testing_support::WriteWholeFile;

struct Message {
  uint32_t number;
  uintptr_t wParam;
  intptr_t lParam;
};

class RecordingTarget : public IMessageTarget {
 public:
  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    std::lock_guard lock(mutex_);
    posted.push_back({message, wParam, lParam});
  }
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    std::lock_guard lock(mutex_);
    sent.push_back({message, wParam, lParam});
    return 0;
  }
  std::vector<Message> posted;
  std::vector<Message> sent;

 private:
  std::mutex mutex_;
};

// The bytes of text lines as the log writes them: UTF-16LE, each followed by CR LF.
std::vector<uint8_t> Utf16Lines(const std::vector<std::u16string>& lines) {
  std::vector<uint8_t> bytes;
  for (const std::u16string& line : lines) {
    for (char16_t c : line + u"\r\n") {
      bytes.push_back(static_cast<uint8_t>(c & 0xFF));
      bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
  }
  return bytes;
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_.SetLogWindowTarget(&logWindow_);
    app_.SetMainWindowTarget(&mainWindow_);
    g_pApp = &app_;
  }
  void TearDown() override { g_pApp = nullptr; }

  CApp app_;
  RecordingTarget logWindow_;
  RecordingTarget mainWindow_;
  CLog log_;
};

TEST_F(LogTest, LinesWithoutTimeCarryTheLevelWordOfExactLevelsOnly) {
  log_.SetTimestamps(false);
  log_.Add(LogLevelDebug, u"d");
  log_.Add(LogLevelError, u"e");
  log_.Add(LogLevelInfo, u"i");
  log_.Add(LogLevelCritical, u"c");
  log_.Add(LogLevelNote, u"n");
  log_.Add(3, u"three");
  EXPECT_EQ(log_.Lines(), (std::vector<std::u16string>{u"DBG: d", u"ERR: e", u"i", u"CRITICALERR: c", u"n", u"three"}));
}

TEST_F(LogTest, LinesWithTimeStartWithTheLocalDateAndTime) {
  EXPECT_TRUE(log_.Timestamps());
  const int32_t levels[] = {LogLevelDebug, LogLevelError, LogLevelInfo, LogLevelCritical, LogLevelNote};
  const std::u16string_view words[] = {u"DBG: ", u"ERR: ", u"", u"CRITICALERR: ", u""};
  for (size_t i = 0; i < std::size(levels); ++i) {
    const std::u16string before = platform::LocalDateTimeText(platform::SystemTimeAsFileTime());
    log_.Add(levels[i], u"message");
    const std::u16string after = platform::LocalDateTimeText(platform::SystemTimeAsFileTime());
    const std::u16string line = log_.Lines().back();
    const std::u16string tail = u" - " + std::u16string(words[i]) + u"message";
    EXPECT_TRUE(line == before + tail || line == after + tail) << platform::Utf16ToUtf8(line);
    EXPECT_FALSE(before.empty());
  }
  // Once cleared (the wizard does so) lines stay without time.
  log_.SetTimestamps(false);
  log_.LogError(u"x");
  EXPECT_EQ(log_.Lines().back(), u"ERR: x");
}

TEST_F(LogTest, EntryPointsFormatTheirMessages) {
  log_.SetTimestamps(false);
  log_.LogError(u"Volume %s at position %I64d not read, retry %d", u"E:", 1234567890123LL, 2);
  log_.LogString(4865, 42LL);
  log_.LogInfo(u"100% literal %s");
  log_.LogNote(u"CVolume::Close except");
  EXPECT_EQ(log_.Lines(), (std::vector<std::u16string>{u"ERR: Volume E: at position 1234567890123 not read, retry 2",
                                                      u"lost_file_42", u"100% literal %s",
                                                      u"CVolume::Close except"}));
}

TEST_F(LogTest, EachLineIsPostedToTheLogWindowAndItsTextStaysValid) {
  log_.SetTimestamps(false);
  log_.LogInfo(u"first");
  log_.LogError(u"second");
  ASSERT_EQ(logWindow_.posted.size(), 2u);
  for (const Message& m : logWindow_.posted) {
    EXPECT_EQ(m.number, UM_LOG_LINE);
    EXPECT_EQ(m.lParam, 0);
  }
  EXPECT_TRUE(mainWindow_.posted.empty());

  // Many more lines later the receiver still reads the same characters at the same address.
  for (int i = 0; i < 20000; ++i) log_.LogInfo(std::u16string(i % 40, u'z'));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(logWindow_.posted[0].wParam)), u"first");
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(logWindow_.posted[1].wParam)), u"ERR: second");
  EXPECT_EQ(logWindow_.posted.size(), 20002u);
}

TEST_F(LogTest, NothingIsPostedWithoutALogWindowOrApplication) {
  app_.SetLogWindowTarget(nullptr);
  log_.LogInfo(u"a");
  g_pApp = nullptr;
  log_.LogInfo(u"b");
  EXPECT_TRUE(logWindow_.posted.empty());
  EXPECT_TRUE(mainWindow_.posted.empty());
  EXPECT_EQ(log_.LineCount(), 2u);
}

TEST_F(LogTest, StatusTextIsSentToTheMainWindow) {
  EXPECT_EQ(log_.NotifyStatus(57211, 0), 1);
  ASSERT_EQ(mainWindow_.sent.size(), 1u);
  EXPECT_EQ(mainWindow_.sent[0].number, UM_STATUS_TEXT);
  EXPECT_EQ(mainWindow_.sent[0].wParam, 57211u);
  app_.SetMainWindowTarget(nullptr);
  EXPECT_EQ(log_.NotifyStatus(57311, 0), 1);
  EXPECT_EQ(mainWindow_.sent.size(), 1u);
  EXPECT_TRUE(logWindow_.sent.empty());
}

TEST_F(LogTest, LinesFromManyThreadsAreAllKeptInTheirOrder) {
  log_.SetTimestamps(false);
  constexpr int kThreads = 4, kLines = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([this, t] {
      for (int i = 0; i < kLines; ++i) log_.LogError(u"%d %d", t, i);
    });
  for (std::thread& thread : threads) thread.join();

  const std::vector<std::u16string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), size_t{kThreads * kLines});
  ASSERT_EQ(logWindow_.posted.size(), lines.size());
  std::vector<int> next(kThreads, 0);
  for (size_t i = 0; i < lines.size(); ++i) {
    int t = lines[i][5] - u'0';
    ASSERT_TRUE(t >= 0 && t < kThreads);
    EXPECT_EQ(lines[i], platform::Format(u"ERR: %d %d", t, next[t]++));
    EXPECT_EQ(reinterpret_cast<const char16_t*>(logWindow_.posted[i].wParam), std::u16string_view(lines[i]));
  }
}

TEST_F(LogTest, SavedLogIsUtf16WithCrLfAndNoByteOrderMarkAndEachSaveHasAllLines) {
  TempFolder folder;
  const std::u16string path = folder.File(u"saved.txt");
  ASSERT_TRUE(WriteWholeFile(path, std::vector<uint8_t>(5000, 'x')));  // longer than the log

  EXPECT_TRUE(log_.SaveToFile(path));
  EXPECT_TRUE(ReadWholeFile(path).empty());

  log_.SetTimestamps(false);
  log_.LogInfo(u"caf\u00e9 \u20ac");
  log_.LogError(u"gone");
  EXPECT_TRUE(log_.SaveToFile(path));
  const std::vector<uint8_t> first = ReadWholeFile(path);
  ASSERT_GE(first.size(), 4u);
  EXPECT_EQ(first[0], 'c');
  EXPECT_EQ(first[1], 0);
  EXPECT_EQ(first, Utf16Lines({u"caf\u00e9 \u20ac", u"ERR: gone"}));

  log_.LogInfo(u"third");
  EXPECT_TRUE(log_.SaveToFile(path));
  EXPECT_EQ(ReadWholeFile(path), Utf16Lines({u"caf\u00e9 \u20ac", u"ERR: gone", u"third"}));
}

TEST_F(LogTest, SaveAndShowOpensTheRecoveryLogFileInTheTemporaryFolder) {
  std::vector<std::u16string> opened;
  log_.SetViewer([&](const std::u16string& path) {
    opened.push_back(path);
    return true;
  });
  log_.SetTimestamps(false);
  log_.LogInfo(u"shown");
  log_.SaveAndShow();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], platform::JoinPath(platform::TempFolder(), u"Recovery log file.txt"));
  EXPECT_EQ(ReadWholeFile(opened[0]), Utf16Lines({u"shown"}));
  platform::DeleteFile(opened[0]);
}

TEST_F(LogTest, SaveThatCannotCreateItsFileLogsAnErrorAndOpensNothing) {
  TempFolder folder;
  log_.SetTimestamps(false);
  EXPECT_FALSE(log_.SaveToFile(folder.File(u"missing-folder") + platform::kPathSeparator + u"log.txt"));
  EXPECT_EQ(log_.Lines(), (std::vector<std::u16string>{u"ERR: Can't create temporary file"}));
}

class LogFileTest : public LogTest {
 protected:
  void SetUp() override {
    LogTest::SetUp();
    log_.SetTimestamps(false);
    settings_ = std::make_unique<SettingsRecord>();
    FillDefaults(*settings_);
    settings_->LogToFile = 1;
    settings_->ClearLogOnStartup = 0;
    WriteSettingsText(*settings_, kTemporaryFolderField, folder_.path());
    WriteSettingsText(*settings_, kLogFileNameField, u"run.log");
    path_ = folder_.File(u"run.log");
  }

  TempFolder folder_;
  std::unique_ptr<SettingsRecord> settings_;
  std::u16string path_;
};

TEST_F(LogFileTest, LinesAfterConfigurationGoToTheFileInTheTemporaryFolder) {
  log_.LogInfo(u"before");
  log_.ConfigureLogFile(*settings_);
  EXPECT_EQ(log_.LogFilePath(), path_);
  log_.LogInfo(u"one");
  log_.LogError(u"two");
  EXPECT_EQ(ReadWholeFile(path_), Utf16Lines({u"one", u"ERR: two"}));

  settings_->LogToFile = 0;
  log_.ConfigureLogFile(*settings_);
  EXPECT_EQ(log_.LogFilePath(), u"");
  log_.LogInfo(u"not in the file");
  EXPECT_EQ(ReadWholeFile(path_), Utf16Lines({u"one", u"ERR: two"}));
  EXPECT_EQ(log_.LineCount(), 4u);
}

TEST_F(LogFileTest, AnAbsoluteFileNameIsUsedAsItStands) {
  TempFolder other;
  const std::u16string path = other.File(u"elsewhere.log");
  WriteSettingsText(*settings_, kLogFileNameField, path);
  log_.ConfigureLogFile(*settings_);
  log_.LogInfo(u"x");
  EXPECT_EQ(log_.LogFilePath(), path);
  EXPECT_EQ(ReadWholeFile(path), Utf16Lines({u"x"}));
  EXPECT_FALSE(platform::FileExists(path_));
}

TEST_F(LogFileTest, AnExistingFileIsClearedOnlyAtTheFirstStartOfARunWhenAsked) {
  ASSERT_TRUE(WriteWholeFile(path_, Utf16Lines({u"old"})));
  log_.ConfigureLogFile(*settings_);
  log_.LogInfo(u"kept");
  EXPECT_EQ(ReadWholeFile(path_), Utf16Lines({u"old", u"kept"}));

  CLog nextRun;
  settings_->ClearLogOnStartup = 1;
  nextRun.SetTimestamps(false);
  nextRun.ConfigureLogFile(*settings_);
  nextRun.LogInfo(u"fresh");
  EXPECT_EQ(ReadWholeFile(path_), Utf16Lines({u"fresh"}));

  // Applying the options again later in the same run does not clear the file again.
  nextRun.ConfigureLogFile(*settings_);
  nextRun.LogInfo(u"again");
  EXPECT_EQ(ReadWholeFile(path_), Utf16Lines({u"fresh", u"again"}));
}

TEST_F(LogFileTest, AFullFileStartsOverWithTheLatestLines) {
  settings_->MaxLogSizeKB = 1;
  log_.ConfigureLogFile(*settings_);
  const std::u16string filler(50, u'f');  // 108 bytes per line with CR LF: 9 lines fit in 1024
  for (int i = 0; i < 12; ++i) log_.LogInfo(platform::Format(u"%02d", i) + filler);
  std::vector<uint8_t> bytes = ReadWholeFile(path_);
  EXPECT_EQ(bytes, Utf16Lines({u"09" + filler, u"10" + filler, u"11" + filler}));

  // A line longer than the whole limit is cut to fit.
  log_.LogInfo(std::u16string(2000, u'L'));
  bytes = ReadWholeFile(path_);
  EXPECT_EQ(bytes, Utf16Lines({std::u16string(510, u'L')}));

  // Sizes out of the settings page's range are held to it.
  settings_->MaxLogSizeKB = -5;
  log_.ConfigureLogFile(*settings_);
  EXPECT_EQ(ReadWholeFile(path_).size(), 0u) << "a file already at its 1 KB limit starts over";
}

TEST_F(LogFileTest, AFileOfOddLengthGetsItsNextLineOnAnEvenOffset) {
  ASSERT_TRUE(WriteWholeFile(path_, {'a', 0, 'b'}));
  log_.ConfigureLogFile(*settings_);
  log_.LogInfo(u"c");
  std::vector<uint8_t> expected = {'a', 0, 'b', 0};
  const std::vector<uint8_t> line = Utf16Lines({u"c"});
  expected.insert(expected.end(), line.begin(), line.end());
  EXPECT_EQ(ReadWholeFile(path_), expected);
}

TEST_F(LogFileTest, AFileThatCannotBeOpenedIsReportedAndTheLogGoesOn) {
  WriteSettingsText(*settings_, kTemporaryFolderField, folder_.File(u"no such folder"));
  log_.ConfigureLogFile(*settings_);
  EXPECT_EQ(log_.LogFilePath(), u"");
  log_.LogInfo(u"still logged");
  const std::vector<std::u16string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind(u"ERR: Can't open log file ", 0), 0u) << platform::Utf16ToUtf8(lines[0]);
  EXPECT_NE(lines[0].find(u"run.log"), std::u16string::npos);
  EXPECT_EQ(lines[1], u"still logged");
}

}  // namespace
