#include <gtest/gtest.h>

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
using Lines = std::vector<std::u16string>;

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
  std::vector<Message> posted, sent;

 private:
  std::mutex mutex_;
};

const char16_t* PostedText(const Message& m) { return reinterpret_cast<const char16_t*>(m.wParam); }

// UTF-16LE, each line followed by CR LF.
std::vector<uint8_t> FileBytes(const Lines& lines) {
  std::vector<uint8_t> bytes;
  for (const std::u16string& line : lines)
    for (char16_t c : line + u"\r\n") bytes.insert(bytes.end(), {uint8_t(c & 0xFF), uint8_t(c >> 8)});
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
  RecordingTarget logWindow_, mainWindow_;
  CLog log_;
  TempFolder folder_;
};

TEST_F(LogTest, LineFormsByLevelWithAndWithoutTime) {
  const int32_t levels[] = {1, 2, 4, 8, 10, 3};
  const std::u16string words[] = {u"DBG: ", u"ERR: ", u"", u"CRITICALERR: ", u"", u""};
  ASSERT_TRUE(log_.Timestamps());
  for (size_t i = 0; i < std::size(levels); ++i) {
    const std::u16string before = platform::LocalDateTimeText(platform::SystemTimeAsFileTime());
    log_.Add(levels[i], u"m%s");
    const std::u16string after = platform::LocalDateTimeText(platform::SystemTimeAsFileTime());
    const std::u16string line = log_.Lines().back(), tail = u" - " + words[i] + u"m%s";
    EXPECT_TRUE(!before.empty() && (line == before + tail || line == after + tail)) << platform::Utf16ToUtf8(line);
  }
  log_.SetTimestamps(false);
  for (size_t i = 0; i < std::size(levels); ++i) log_.Add(levels[i], u"m");
  log_.LogString(4865, 42LL);
  log_.LogNote(u"CVolume::Close except");
  const Lines lines = log_.Lines();
  EXPECT_EQ(Lines(lines.begin() + 6, lines.end()),
            (Lines{u"DBG: m", u"ERR: m", u"m", u"CRITICALERR: m", u"m", u"m", u"lost_file_42", u"CVolume::Close except"}));
}

TEST_F(LogTest, EachLineIsPostedToTheLogWindowAndStaysReadable) {
  log_.SetTimestamps(false);
  log_.LogInfo(u"first");
  log_.LogError(u"second");
  for (int i = 0; i < 20000; ++i) log_.LogInfo(std::u16string(i % 40, u'z'));
  ASSERT_EQ(logWindow_.posted.size(), 20002u);
  EXPECT_EQ(logWindow_.posted[1].number, UM_LOG_LINE);
  EXPECT_EQ(logWindow_.posted[1].lParam, 0);
  // The receiver reads the lines long after they were posted.
  EXPECT_EQ(std::u16string(PostedText(logWindow_.posted[0])), u"first");
  EXPECT_EQ(std::u16string(PostedText(logWindow_.posted[1])), u"ERR: second");
  EXPECT_TRUE(mainWindow_.posted.empty());

  app_.SetLogWindowTarget(nullptr);
  log_.LogInfo(u"no window");
  g_pApp = nullptr;
  log_.LogInfo(u"no application");
  EXPECT_EQ(logWindow_.posted.size(), 20002u);
  EXPECT_EQ(log_.LineCount(), 20004u);
}

TEST_F(LogTest, LinesFromManyThreadsAreAllKeptAndPostedInOrder) {
  log_.SetTimestamps(false);
  constexpr int kThreads = 4, kLines = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([this, t] {
      for (int i = 0; i < kLines; ++i) log_.LogError(u"%d %d", t, i);
    });
  for (std::thread& thread : threads) thread.join();

  const Lines lines = log_.Lines();
  ASSERT_EQ(lines.size(), size_t{kThreads * kLines});
  ASSERT_EQ(logWindow_.posted.size(), lines.size());
  std::vector<int> next(kThreads, 0);
  for (size_t i = 0; i < lines.size(); ++i) {
    const int t = lines[i][5] - u'0';
    ASSERT_TRUE(t >= 0 && t < kThreads);
    EXPECT_EQ(lines[i], platform::Format(u"ERR: %d %d", t, next[t]++));
    EXPECT_EQ(PostedText(logWindow_.posted[i]), std::u16string_view(lines[i]));
  }
}

TEST_F(LogTest, SavedLogHoldsEveryLineAsUtf16WithCrLf) {
  const std::u16string path = folder_.File(u"saved.txt");
  ASSERT_TRUE(WriteWholeFile(path, std::vector<uint8_t>(5000, 'x')));
  EXPECT_TRUE(log_.SaveToFile(path));
  EXPECT_TRUE(ReadWholeFile(path).empty());

  log_.SetTimestamps(false);
  log_.LogInfo(u"caf\u00e9 \u20ac");
  log_.LogError(u"gone");
  EXPECT_TRUE(log_.SaveToFile(path));
  EXPECT_EQ(ReadWholeFile(path), FileBytes({u"caf\u00e9 \u20ac", u"ERR: gone"}));
  log_.LogInfo(u"third");
  EXPECT_TRUE(log_.SaveToFile(path));
  EXPECT_EQ(ReadWholeFile(path), FileBytes({u"caf\u00e9 \u20ac", u"ERR: gone", u"third"}));

  EXPECT_FALSE(log_.SaveToFile(folder_.File(u"no folder") + platform::kPathSeparator + u"x.txt"));
  EXPECT_EQ(log_.Lines().back(), u"ERR: Can't create temporary file");
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
  EXPECT_EQ(ReadWholeFile(opened[0]), FileBytes({u"shown"}));
  platform::DeleteFile(opened[0]);
}

class LogFileTest : public LogTest {
 protected:
  void SetUp() override {
    LogTest::SetUp();
    log_.SetTimestamps(false);
    FillDefaults(*settings_);
    settings_->LogToFile = 1;
    settings_->ClearLogOnStartup = 0;
    WriteSettingsText(*settings_, kTemporaryFolderField, folder_.path());
    WriteSettingsText(*settings_, kLogFileNameField, u"run.log");
  }
  std::unique_ptr<SettingsRecord> settings_ = std::make_unique<SettingsRecord>();
  const std::u16string path_ = folder_.File(u"run.log");
};

TEST_F(LogFileTest, LinesGoToTheFileWhileTheOptionIsOn) {
  log_.LogInfo(u"before");
  log_.ConfigureLogFile(*settings_);
  EXPECT_EQ(log_.LogFilePath(), path_);
  log_.LogInfo(u"one");
  log_.LogError(u"two");
  settings_->LogToFile = 0;
  log_.ConfigureLogFile(*settings_);
  log_.LogInfo(u"after");
  EXPECT_EQ(log_.LogFilePath(), u"");
  EXPECT_EQ(ReadWholeFile(path_), FileBytes({u"one", u"ERR: two"}));

  const std::u16string elsewhere = folder_.File(u"elsewhere.log");  // a full path is kept as it is
  WriteSettingsText(*settings_, kLogFileNameField, elsewhere);
  settings_->LogToFile = 1;
  log_.ConfigureLogFile(*settings_);
  log_.LogInfo(u"x");
  EXPECT_EQ(ReadWholeFile(elsewhere), FileBytes({u"x"}));
}

TEST_F(LogFileTest, ClearedOnlyAtTheFirstStartOfARunWhenAsked) {
  ASSERT_TRUE(WriteWholeFile(path_, FileBytes({u"old"})));
  log_.ConfigureLogFile(*settings_);
  log_.LogInfo(u"kept");
  EXPECT_EQ(ReadWholeFile(path_), FileBytes({u"old", u"kept"}));

  CLog nextRun;
  nextRun.SetTimestamps(false);
  settings_->ClearLogOnStartup = 1;
  nextRun.ConfigureLogFile(*settings_);
  nextRun.LogInfo(u"fresh");
  nextRun.ConfigureLogFile(*settings_);  // options applied again later in the run
  nextRun.LogInfo(u"again");
  EXPECT_EQ(ReadWholeFile(path_), FileBytes({u"fresh", u"again"}));
}

TEST_F(LogFileTest, AFullFileStartsOverWithTheLatestLines) {
  settings_->MaxLogSizeKB = 1;
  log_.ConfigureLogFile(*settings_);
  const std::u16string filler(50, u'f');  // 108 bytes a line: 9 fit in 1024
  for (int i = 0; i < 12; ++i) log_.LogInfo(platform::Format(u"%02d", i) + filler);
  EXPECT_EQ(ReadWholeFile(path_), FileBytes({u"09" + filler, u"10" + filler, u"11" + filler}));

  log_.LogInfo(std::u16string(2000, u'L'));  // longer than the limit: cut to fit
  EXPECT_EQ(ReadWholeFile(path_), FileBytes({std::u16string(510, u'L')}));

  settings_->MaxLogSizeKB = -5;  // held to the page's range, 1 KB
  log_.ConfigureLogFile(*settings_);
  EXPECT_TRUE(ReadWholeFile(path_).empty());
}

TEST_F(LogFileTest, AFileThatCannotBeOpenedIsReportedAndTheLogGoesOn) {
  WriteSettingsText(*settings_, kTemporaryFolderField, folder_.File(u"no such folder"));
  log_.ConfigureLogFile(*settings_);
  log_.LogInfo(u"still logged");
  const Lines lines = log_.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind(u"ERR: Can't open log file ", 0), 0u) << platform::Utf16ToUtf8(lines[0]);
  EXPECT_NE(lines[0].find(u"run.log"), std::u16string::npos);
  EXPECT_EQ(log_.LogFilePath(), u"");
}

}  // namespace
