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
#include "platform/system.h"
#include "platform/text.h"
#include "platform/time.h"
#include "support/test_support.h"

namespace {

using platform::RegistryKey;
using platform::RegistryRoot;

// Natively the registry is a folder of files under $LUMENARD_HOME; under Wine each test has
// its own key below the program's test branch, removed afterwards.
class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    home_ = std::make_unique<testing_support::TempFolder>();
    setenv("LUMENARD_HOME", platform::Utf16ToUtf8(home_->path()).c_str(), 1);
#endif
    static int counter = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    keyPath_ = u"Software\\Corvane\\LumenardTest\\Settings" +
               platform::Utf8ToUtf16(std::to_string(stamp) + "-" + std::to_string(counter++));
    record_ = std::make_unique<SettingsRecord>();
    std::memset(record_.get(), 0, sizeof(SettingsRecord));
  }

  void TearDown() override {
    platform::DeleteRegistryTree(RegistryRoot::CurrentUser, keyPath_);
#ifndef _WIN32
    unsetenv("LUMENARD_HOME");
#endif
  }

  void StoreValue(uint32_t type, const std::vector<uint8_t>& bytes) {
    RegistryKey key;
    ASSERT_EQ(key.Create(RegistryRoot::CurrentUser, keyPath_), platform::kErrorSuccess);
    ASSERT_EQ(key.SetValue(kSettingsValueName, type, bytes.data(), static_cast<uint32_t>(bytes.size())),
              platform::kErrorSuccess);
  }

  // The stored value, empty when there is none.
  std::vector<uint8_t> StoredValue() {
    RegistryKey key;
    std::vector<uint8_t> bytes;
    if (key.Open(RegistryRoot::CurrentUser, keyPath_) != platform::kErrorSuccess) return {};
    if (key.ReadBinary(kSettingsValueName, &bytes) != platform::kErrorSuccess) return {};
    return bytes;
  }

  void DeleteStoredValue() {
    RegistryKey key;
    ASSERT_EQ(key.Open(RegistryRoot::CurrentUser, keyPath_), platform::kErrorSuccess);
    ASSERT_EQ(key.DeleteValue(kSettingsValueName), platform::kErrorSuccess);
  }

  static std::vector<uint8_t> BytesOf(const SettingsRecord& record) {
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return {p, p + sizeof(record)};
  }

  // A record with a few distinctive fields, its checksum set.
  static std::unique_ptr<SettingsRecord> SampleRecord() {
    auto record = std::make_unique<SettingsRecord>();
    std::memset(record.get(), 0, sizeof(SettingsRecord));
    record->ShowLegend = 7;
    record->ReadRetries = 3;
    record->AppMode = 32841;
    WriteSettingsText(*record, kDestinationFolderField, u"D:\\Rescued");
    record->Checksum = Checksum(*record);
    return record;
  }

  std::unique_ptr<testing_support::TempFolder> home_;
  std::u16string keyPath_;
  std::unique_ptr<SettingsRecord> record_;
};

TEST_F(SettingsStoreTest, ChecksumAddsEveryWordAfterTheFirstModulo2To32) {
  EXPECT_EQ(Checksum(*record_), 0u);
  record_->Checksum = 0x12345678;  // not part of its own sum
  EXPECT_EQ(Checksum(*record_), 0u);
  record_->Reserved4[0] = -1;      // 0xFFFFFFFF
  record_->RescanPending = 3;      // wraps past 2^32
  EXPECT_EQ(Checksum(*record_), 2u);
  auto* bytes = reinterpret_cast<uint8_t*>(record_.get());
  bytes[sizeof(SettingsRecord) - 1] = 0x01;  // the last word counts, little-endian
  EXPECT_EQ(Checksum(*record_), 0x01000002u);
}

TEST_F(SettingsStoreTest, DefaultsReplaceEveryFieldAndAreSavedWithTheirChecksum) {
  std::memset(record_.get(), 0xAB, sizeof(SettingsRecord));
  const platform::FileTime before = platform::SystemTimeAsFileTime();
  EXPECT_TRUE(SetDefaults(*record_, keyPath_));
  const platform::FileTime after = platform::SystemTimeAsFileTime();

  const SettingsRecord& r = *record_;
  EXPECT_EQ(r.ShowLegend + r.ShowLog + r.ShowStatusBar + r.ShowToolbar + r.ShowSplash, 5);
  EXPECT_EQ(r.ConfirmExit + r.ConfirmStopScanning + r.ConfirmRecoveryAbort + r.ConfirmFileOverwrite, 4);
  EXPECT_EQ(r.Reserved40 + r.Reserved44 + r.Reserved56 + r.Reserved80 + r.Reserved188, 5);
  EXPECT_EQ(r.Reserved104, 5400);
  EXPECT_EQ(r.LogToFile, 0);
  EXPECT_EQ(r.LogToDebugger, 1);
  EXPECT_EQ(r.ClearLogOnStartup, 1);
  EXPECT_EQ(r.MaxLogSizeKB, 10240);
  EXPECT_EQ(r.UpdateCheckDays, 30);
  EXPECT_EQ(r.AnalyzeQueued, 1);
  EXPECT_EQ(r.ScanMode, 1);
  EXPECT_EQ(r.SearchThreads, 1);
  EXPECT_EQ(r.ReadRetries, 10);
  // Fields without a default are zero, whatever the record held before.
  EXPECT_EQ(r.Reserved52, 0);
  EXPECT_EQ(r.HideTryOpenWarning, 0);
  EXPECT_EQ(r.AutoSectorScan, 0);
  EXPECT_EQ(r.SearchBlockSize, 0);
  EXPECT_EQ(r.AppMode, 0);
  EXPECT_EQ(r.Reserved192[100], 0);

  const platform::FileTime month = 30 * platform::kFileTimeTicksPerDay;
  EXPECT_GE(r.NextUpdateCheck, before + month);
  EXPECT_LE(r.NextUpdateCheck, after + month);
  uint32_t placementLength;
  std::memcpy(&placementLength, r.WizardPlacement, sizeof(placementLength));
  EXPECT_EQ(placementLength, 44u);
  EXPECT_EQ(r.WizardPlacement[4], 0);

#ifdef _WIN32
  EXPECT_EQ(ReadSettingsText(r, kDestinationFolderField), u"C:\\Recovered Files");
#else
  EXPECT_EQ(ReadSettingsText(r, kDestinationFolderField),
            platform::JoinPath(platform::GetEnvironment(u"HOME"), u"Recovered Files"));
#endif
  EXPECT_EQ(ReadSettingsText(r, kTemporaryFolderField), platform::TempFolder());
  EXPECT_EQ(ReadSettingsText(r, kLogFileNameField), u"Lumenard.log");
  EXPECT_EQ(r.ReservedText[0], u'*');
  EXPECT_EQ(r.ReservedText[1], u'\0');

  // What was saved is the record itself, and it passes its own check at the next start.
  EXPECT_EQ(StoredValue(), BytesOf(r));
  auto reloaded = std::make_unique<SettingsRecord>();
  EXPECT_TRUE(LoadSettings(*reloaded, keyPath_));
  EXPECT_EQ(reloaded->MaxLogSizeKB, 10240);
}

TEST_F(SettingsStoreTest, LoadGivesBackWhatWasSavedAndAsksForARescan) {
  auto saved = SampleRecord();
  ASSERT_TRUE(SaveSettings(*saved, keyPath_));

  EXPECT_TRUE(LoadSettings(*record_, keyPath_));
  EXPECT_EQ(record_->RescanPending, 1);
  record_->RescanPending = 0;
  EXPECT_EQ(BytesOf(*record_), BytesOf(*saved));
}

TEST_F(SettingsStoreTest, MissingKeyGivesDefaultsThatAreStoredAtOnce) {
  EXPECT_FALSE(LoadSettings(*record_, keyPath_));
  EXPECT_EQ(record_->RescanPending, 1);
  EXPECT_EQ(record_->ReadRetries, 10);
  EXPECT_EQ(StoredValue().size(), sizeof(SettingsRecord));

  auto second = std::make_unique<SettingsRecord>();
  EXPECT_TRUE(LoadSettings(*second, keyPath_));
  EXPECT_EQ(second->ReadRetries, 10);
}

TEST_F(SettingsStoreTest, ShortValueWithMatchingChecksumIsAcceptedAndItsTailIsZero) {
  auto sample = SampleRecord();  // the destination folder lies beyond the cut
  std::vector<uint8_t> bytes = BytesOf(*sample);
  bytes.resize(offsetof(SettingsRecord, AppMode));
  sample->AppMode = 0;
  WriteSettingsText(*sample, kDestinationFolderField, u"");
  uint32_t sum = Checksum(*sample);
  std::memcpy(bytes.data(), &sum, sizeof(sum));
  StoreValue(platform::kRegBinary, bytes);

  std::memset(record_.get(), 0x55, sizeof(SettingsRecord));
  EXPECT_TRUE(LoadSettings(*record_, keyPath_));
  EXPECT_EQ(record_->ShowLegend, 7);
  EXPECT_EQ(record_->ReadRetries, 3);
  EXPECT_EQ(record_->AppMode, 0);
  EXPECT_EQ(ReadSettingsText(*record_, kDestinationFolderField), u"");
  EXPECT_EQ(record_->ReservedText[37000], u'\0');
}

TEST_F(SettingsStoreTest, DamagedStoredValueGivesDefaultsAndIsOverwritten) {
  const std::vector<uint8_t> good = BytesOf(*SampleRecord());

  std::vector<uint8_t> badChecksum = good;
  badChecksum[0] ^= 1;

  std::vector<uint8_t> tooLong = good;
  tooLong.insert(tooLong.end(), 4, 0);  // the checksum still matches the first 112004 bytes

  std::vector<uint8_t> truncatedBadSum(good.begin(), good.begin() + 400);

  const struct {
    const char* what;
    uint32_t type;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"bad checksum", platform::kRegBinary, badChecksum},
      {"wrong type", platform::kRegSz, good},
      {"too long", platform::kRegBinary, tooLong},
      {"short, checksum of the whole record", platform::kRegBinary, truncatedBadSum},
      {"empty", platform::kRegBinary, {}},
      {"no room for the checksum", platform::kRegBinary, {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    StoreValue(c.type, c.bytes);
    std::memset(record_.get(), 0, sizeof(SettingsRecord));
    EXPECT_FALSE(LoadSettings(*record_, keyPath_));
    EXPECT_EQ(record_->ReadRetries, 10);
    EXPECT_EQ(record_->ShowLegend, 1);
    EXPECT_EQ(record_->RescanPending, 1);
    const std::vector<uint8_t> stored = StoredValue();
    ASSERT_EQ(stored.size(), sizeof(SettingsRecord));
    EXPECT_EQ(stored[offsetof(SettingsRecord, ReadRetries)], 10);
  }
}

TEST_F(SettingsStoreTest, StoredTextWithoutItsZeroIsCutInsideTheField) {
  auto sample = SampleRecord();
  std::u16string full(4096, u'x');
  auto* bytes = reinterpret_cast<uint8_t*>(sample.get());
  std::memcpy(bytes + kTemporaryFolderField.offset, full.data(), full.size() * sizeof(char16_t));
  std::memcpy(bytes + kLogFileNameField.offset, full.data(), 1024 * sizeof(char16_t));
  sample->Checksum = Checksum(*sample);
  ASSERT_TRUE(SaveSettings(*sample, keyPath_));

  EXPECT_TRUE(LoadSettings(*record_, keyPath_));
  EXPECT_EQ(ReadSettingsText(*record_, kTemporaryFolderField), std::u16string(4095, u'x'));
  EXPECT_EQ(ReadSettingsText(*record_, kLogFileNameField), std::u16string(1023, u'x'));
  EXPECT_EQ(ReadSettingsText(*record_, kDestinationFolderField), u"D:\\Rescued");
}

TEST_F(SettingsStoreTest, TextFieldsAreCutToTheirCapacity) {
  WriteSettingsText(*record_, kLogFileNameField, std::u16string(5000, u'n'));
  EXPECT_EQ(ReadSettingsText(*record_, kLogFileNameField), std::u16string(1023, u'n'));
  EXPECT_EQ(record_->LogFileName[1023], u'\0');
  EXPECT_EQ(record_->ReservedText[0], u'\0');  // nothing spilled into the next field
  WriteSettingsText(*record_, kLogFileNameField, u"short.log");
  EXPECT_EQ(ReadSettingsText(*record_, kLogFileNameField), u"short.log");
  EXPECT_EQ(record_->LogFileName[20], u'\0');  // the longer text is gone entirely
}

// The stored value is removed behind the store's back; it comes back only when a save happens.
TEST_F(SettingsStoreTest, IdleSaveWritesOncePerChange) {
  ASSERT_FALSE(LoadSettings(*record_, keyPath_));
  EXPECT_TRUE(SaveIfChanged(*record_, keyPath_));  // RescanPending changed after the defaults
  ASSERT_EQ(StoredValue(), BytesOf(*record_));

  DeleteStoredValue();
  EXPECT_TRUE(SaveIfChanged(*record_, keyPath_));
  EXPECT_TRUE(StoredValue().empty()) << "an idle period without a change wrote the value";

  record_->AutoSectorScan = 1;
  EXPECT_TRUE(SaveIfChanged(*record_, keyPath_));
  EXPECT_EQ(StoredValue(), BytesOf(*record_));
  EXPECT_EQ(record_->Checksum, Checksum(*record_));

  DeleteStoredValue();
  EXPECT_TRUE(SaveIfChanged(*record_, keyPath_));
  EXPECT_TRUE(StoredValue().empty()) << "one change was written twice";

  auto reloaded = std::make_unique<SettingsRecord>();
  record_->ScanMode = 0;
  ASSERT_TRUE(SaveIfChanged(*record_, keyPath_));
  ASSERT_TRUE(LoadSettings(*reloaded, keyPath_));
  EXPECT_EQ(reloaded->AutoSectorScan, 1);
  EXPECT_EQ(reloaded->ScanMode, 0);
}

class FileAssociationTest : public SettingsStoreTest {
 protected:
  // The default value of a key under HKEY_CLASSES_ROOT, with its type and stored byte count.
  static std::u16string DefaultValue(std::u16string_view path, uint32_t* type, uint32_t* size) {
    RegistryKey key;
    std::u16string text;
    if (key.Open(RegistryRoot::ClassesRoot, path) != platform::kErrorSuccess) return u"<no key>";
    if (key.QueryValue(u"", type, nullptr, size) != platform::kErrorSuccess) return u"<no value>";
    key.ReadString(u"", &text);
    return text;
  }

  static void ExpectString(std::u16string_view path, std::u16string_view expected) {
    SCOPED_TRACE(platform::Utf16ToUtf8(path));
    uint32_t type = 0, size = 0;
    EXPECT_EQ(DefaultValue(path, &type, &size), expected);
    EXPECT_EQ(type, platform::kRegSz);
    EXPECT_EQ(size, 2 * (expected.size() + 1));
  }

  static void ExpectAssociationWith(std::u16string_view program) {
    const std::u16string path(program);
    ExpectString(u".filesig", u"Corvane.FileSignature");
    ExpectString(u"Corvane.FileSignature", u"File Signature");
    ExpectString(u"Corvane.FileSignature\\DefaultIcon", path + u",0");
    ExpectString(u"Corvane.FileSignature\\shell\\open\\command", u"\"" + path + u"\" \"/addsig %1\"");
  }
};

TEST_F(FileAssociationTest, FileSigFilesOpenWithTheAddSigSwitch) {
  const std::u16string program = u"C:\\Program Files\\Corvane Lumenard\\lumenard.exe";
  EXPECT_TRUE(RegisterFileType(program));
  ExpectAssociationWith(program);
}

TEST_F(FileAssociationTest, DefaultsRegisterTheRunningProgram) {
  ASSERT_TRUE(RegisterFileType(u"C:\\elsewhere\\old.exe"));
  EXPECT_FALSE(LoadSettings(*record_, keyPath_));
  ExpectAssociationWith(platform::ProgramPath());

  // A valid stored record leaves the association alone.
  ASSERT_TRUE(RegisterFileType(u"C:\\elsewhere\\old.exe"));
  EXPECT_TRUE(LoadSettings(*record_, keyPath_));
  ExpectAssociationWith(u"C:\\elsewhere\\old.exe");
}

}  // namespace
