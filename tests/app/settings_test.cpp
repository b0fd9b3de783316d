#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/settings_store.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace {

using platform::RegistryKey;
using platform::RegistryRoot;
using Bytes = std::vector<uint8_t>;

std::unique_ptr<SettingsRecord> ZeroRecord() {
  auto record = std::make_unique<SettingsRecord>();
  std::memset(record.get(), 0, sizeof(SettingsRecord));
  return record;
}

Bytes BytesOf(const SettingsRecord& record) {
  const auto* p = reinterpret_cast<const uint8_t*>(&record);
  return {p, p + sizeof(record)};
}

// Natively the registry lives in files under $LUMENARD_HOME; under Wine each test has its own
// key below a test branch, removed afterwards.
class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    if (const char* home = std::getenv("LUMENARD_HOME")) savedHome_ = home;
    setenv("LUMENARD_HOME", platform::Utf16ToUtf8(home_.path()).c_str(), 1);
#endif
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    keyPath_ = u"Software\\Corvane\\LumenardTest\\Settings" + platform::Utf8ToUtf16(std::to_string(stamp));
  }
  void TearDown() override {
    platform::DeleteRegistryTree(RegistryRoot::CurrentUser, keyPath_);
#ifndef _WIN32
    if (savedHome_.empty())
      unsetenv("LUMENARD_HOME");
    else
      setenv("LUMENARD_HOME", savedHome_.c_str(), 1);
#endif
  }

  void Store(uint32_t type, const Bytes& bytes) {
    RegistryKey key;
    ASSERT_EQ(key.Create(RegistryRoot::CurrentUser, keyPath_), platform::kErrorSuccess);
    ASSERT_EQ(key.SetValue(kSettingsValueName, type, bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
  }
  Bytes Stored() {
    RegistryKey key;
    Bytes bytes;
    if (key.Open(RegistryRoot::CurrentUser, keyPath_) == 0) key.ReadBinary(kSettingsValueName, &bytes);
    return bytes;
  }
  void DeleteStored() {
    RegistryKey key;
    ASSERT_EQ(key.Open(RegistryRoot::CurrentUser, keyPath_), 0);
    ASSERT_EQ(key.DeleteValue(kSettingsValueName), 0);
  }

  testing_support::TempFolder home_;
  std::string savedHome_;
  std::u16string keyPath_;
  std::unique_ptr<SettingsRecord> record_ = ZeroRecord();
};

TEST_F(SettingsStoreTest, ChecksumAddsEveryWordAfterTheFirstModulo2To32) {
  record_->Checksum = 0x12345678;
  record_->Reserved4[0] = -1;
  record_->RescanPending = 3;
  reinterpret_cast<uint8_t*>(record_.get())[sizeof(SettingsRecord) - 1] = 0x01;
  EXPECT_EQ(Checksum(*record_), 0x01000002u);
}

TEST_F(SettingsStoreTest, DefaultsOverwriteTheWholeRecordAndSurviveTheNextStart) {
  std::memset(record_.get(), 0xAB, sizeof(SettingsRecord));
  EXPECT_FALSE(LoadSettings(*record_, keyPath_));  // no key yet
  const SettingsRecord& r = *record_;
  EXPECT_EQ(r.RescanPending, 1);
  EXPECT_EQ(r.Reserved104, 5400);
  EXPECT_EQ(r.MaxLogSizeKB, 10240);
  EXPECT_EQ(r.ReadRetries, 10);
  EXPECT_EQ(r.ScanMode + r.SearchThreads + r.AnalyzeQueued + r.ConfirmExit + r.Reserved188, 5);
  EXPECT_EQ(r.AppMode + r.Reserved52 + r.AutoSectorScan + r.LogToFile + r.Reserved192[99], 0);
  EXPECT_EQ(r.WizardPlacement[0] + r.WizardPlacement[4], 44);
  const platform::FileTime inAMonth = platform::SystemTimeAsFileTime() + 30 * platform::kFileTimeTicksPerDay;
  EXPECT_NEAR(static_cast<double>(r.NextUpdateCheck), static_cast<double>(inAMonth), 600e7);
#ifdef _WIN32
  EXPECT_EQ(ReadSettingsText(r, kDestinationFolderField), u"C:\\Recovered Files");
#endif
  EXPECT_EQ(ReadSettingsText(r, kTemporaryFolderField), platform::TempFolder());
  EXPECT_EQ(ReadSettingsText(r, kLogFileNameField), u"Lumenard.log");
  EXPECT_EQ(std::u16string_view(r.ReservedText, 2), std::u16string_view(u"*\0", 2));

  // The saved defaults carry a valid checksum: the next start loads them.
  auto next = ZeroRecord();
  EXPECT_TRUE(LoadSettings(*next, keyPath_));
  next->RescanPending = 1;
  EXPECT_EQ(BytesOf(*next), BytesOf(r));
}

TEST_F(SettingsStoreTest, ShortValueWithMatchingChecksumIsAcceptedAndItsTailIsZero) {
  record_->ShowLegend = 7;
  record_->ReadRetries = 3;
  Bytes bytes = BytesOf(*record_);
  const uint32_t sum = Checksum(*record_);
  std::memcpy(bytes.data(), &sum, sizeof(sum));
  bytes.resize(offsetof(SettingsRecord, AppMode));
  Store(platform::kRegBinary, bytes);

  std::memset(record_.get(), 0x55, sizeof(SettingsRecord));
  EXPECT_TRUE(LoadSettings(*record_, keyPath_));
  EXPECT_EQ(record_->ShowLegend, 7);
  EXPECT_EQ(record_->ReadRetries, 3);
  EXPECT_EQ(record_->AppMode, 0);
  EXPECT_EQ(ReadSettingsText(*record_, kDestinationFolderField), u"");
}

TEST_F(SettingsStoreTest, DamagedValueGivesDefaultsThatReplaceIt) {
  record_->ReadRetries = 3;
  WriteSettingsText(*record_, kDestinationFolderField, u"D:\\Rescued");
  record_->Checksum = Checksum(*record_);
  const Bytes good = BytesOf(*record_);
  Bytes badSum = good;
  badSum[0] ^= 1;
  Bytes tooLong = good;  // its first 112004 bytes match their checksum
  tooLong.resize(good.size() + 4);
  const Bytes cut(good.begin(), good.begin() + 400);

  const struct {
    const char* what;
    uint32_t type;
    Bytes bytes;
  } cases[] = {{"bad checksum", platform::kRegBinary, badSum}, {"wrong type", platform::kRegSz, good},
               {"too long", platform::kRegBinary, tooLong},    {"cut short", platform::kRegBinary, cut},
               {"empty", platform::kRegBinary, {}},            {"no checksum word", platform::kRegBinary, {0, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Store(c.type, c.bytes);
    EXPECT_FALSE(LoadSettings(*record_, keyPath_));
    EXPECT_EQ(record_->ReadRetries, 10);
    const Bytes stored = Stored();
    ASSERT_EQ(stored.size(), sizeof(SettingsRecord));
    EXPECT_EQ(stored[offsetof(SettingsRecord, ReadRetries)], 10);
  }
}

TEST_F(SettingsStoreTest, TextIsReadAndWrittenOnlyInsideItsField) {
  std::u16string full(4096, u'x');
  std::memcpy(record_->TemporaryFolder, full.data(), full.size() * sizeof(char16_t));
  std::memcpy(record_->LogFileName, full.data(), 1024 * sizeof(char16_t));
  ASSERT_TRUE(SaveSettings(*record_, keyPath_));
  EXPECT_TRUE(LoadSettings(*record_, keyPath_));
  EXPECT_EQ(ReadSettingsText(*record_, kTemporaryFolderField), std::u16string(4095, u'x'));
  EXPECT_EQ(ReadSettingsText(*record_, kLogFileNameField), std::u16string(1023, u'x'));

  WriteSettingsText(*record_, kDestinationFolderField, std::u16string(5000, u'n'));
  EXPECT_EQ(ReadSettingsText(*record_, kDestinationFolderField).size(), 4095u);
  EXPECT_EQ(record_->TemporaryFolder[0], u'x');
  WriteSettingsText(*record_, kDestinationFolderField, u"E:\\");
  EXPECT_EQ(record_->DestinationFolder[10], u'\0');
}

// The value is deleted behind the store's back; it reappears only when a save happens.
TEST_F(SettingsStoreTest, IdleSaveWritesOncePerChange) {
  LoadSettings(*record_, keyPath_);
  EXPECT_TRUE(SaveIfChanged(*record_, keyPath_));
  ASSERT_EQ(Stored(), BytesOf(*record_));
  for (int change = 0; change < 2; ++change) {
    DeleteStored();
    EXPECT_TRUE(SaveIfChanged(*record_, keyPath_));
    EXPECT_TRUE(Stored().empty()) << "written without a change";
    record_->AutoSectorScan = change + 5;
    EXPECT_TRUE(SaveIfChanged(*record_, keyPath_));
    EXPECT_EQ(Stored(), BytesOf(*record_));
  }
  auto next = ZeroRecord();
  EXPECT_TRUE(LoadSettings(*next, keyPath_));
  EXPECT_EQ(next->AutoSectorScan, 6);
}

std::u16string ClassDefault(std::u16string_view path, uint32_t* type, uint32_t* size) {
  RegistryKey key;
  std::u16string text;
  if (key.Open(RegistryRoot::ClassesRoot, path) != 0 || key.QueryValue(u"", type, nullptr, size) != 0) return u"-";
  key.ReadString(u"", &text);
  return text;
}

void ExpectAssociationWith(const std::u16string& program) {
  const std::pair<std::u16string, std::u16string> entries[] = {
      {u".filesig", u"Corvane.FileSignature"},
      {u"Corvane.FileSignature", u"File Signature"},
      {u"Corvane.FileSignature\\DefaultIcon", program + u",0"},
      {u"Corvane.FileSignature\\shell\\open\\command", u"\"" + program + u"\" \"/addsig %1\""}};
  for (const auto& [path, text] : entries) {
    uint32_t type = 0, size = 0;
    EXPECT_EQ(ClassDefault(path, &type, &size), text);
    EXPECT_EQ(type, platform::kRegSz);
    EXPECT_EQ(size, 2 * (text.size() + 1));  // with the terminating zero
  }
}

TEST_F(SettingsStoreTest, DefaultsAssociateFileSigFilesWithTheRunningProgram) {
  const std::u16string old = u"C:\\Program Files\\Corvane Lumenard\\old.exe";
  ASSERT_TRUE(RegisterFileType(old));
  ExpectAssociationWith(old);
  LoadSettings(*record_, keyPath_);
  ExpectAssociationWith(platform::ProgramPath());

  ASSERT_TRUE(RegisterFileType(old));
  EXPECT_TRUE(LoadSettings(*record_, keyPath_));  // a valid record leaves it alone
  ExpectAssociationWith(old);
}

}  // namespace
