// The registry: the same expectations against Windows' registry (under Wine) and against the
// POSIX file-backed store, plus the store's own behaviour on damaged files and its folders.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>
#include <random>
#include <set>
#include <thread>

#include "platform/text.h"
#include "support/test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using namespace platform;
using testing_support::TempFolder;
namespace fs = std::filesystem;

struct Value {
  std::u16string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
  bool operator<(const Value& other) const { return AsciiLower(name) < AsciiLower(other.name); }
  bool operator==(const Value&) const = default;
};

void PrintTo(const Value& value, std::ostream* out) {
  *out << "{\"" << Utf16ToUtf8(value.name) << "\", type " << value.type << ", " << value.data.size()
       << " bytes}";
}

std::vector<Value> AllValues(const RegistryKey& key) {
  std::vector<Value> values;
  for (uint32_t index = 0;; ++index) {
    Value value;
    long result = key.EnumValue(index, &value.name, &value.type, &value.data);
    if (result == kErrorNoMoreItems) break;
    EXPECT_EQ(result, kErrorSuccess) << "index " << index;
    if (result != kErrorSuccess || index > 100000) break;
    values.push_back(std::move(value));
  }
  return values;
}

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return bytes;
}

// UTF-16LE with the terminating zero, as string values are stored.
std::vector<uint8_t> StringBytes(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

std::u16string RandomName() {
  std::mt19937_64 random(std::random_device{}() ^
                         std::chrono::steady_clock::now().time_since_epoch().count());
  return Format(u"%I64x", static_cast<unsigned long long>(random()));
}

// Natively the store lives in a fresh folder per test; on Windows each test works below a key
// of its own in the real registry, removed afterwards.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    setenv("LUMENARD_HOME", Utf16ToUtf8(Home()).c_str(), 1);
#endif
    base_ = u"Software\\Corvane\\LumenardTest\\" + RandomName();
  }

  void TearDown() override {
    DeleteRegistryTree(RegistryRoot::CurrentUser, base_);
    DeleteRegistryTree(RegistryRoot::ClassesRoot, base_);
  }

  std::u16string Home() const { return temp_.File(u"home"); }
  std::u16string KeyPath(std::u16string_view sub) const {
    return base_ + u"\\" + std::u16string(sub);
  }

  RegistryKey Created(std::u16string_view sub, RegistryRoot root = RegistryRoot::CurrentUser) {
    RegistryKey key;
    EXPECT_EQ(key.Create(root, KeyPath(sub)), kErrorSuccess);
    return key;
  }

  TempFolder temp_;
  std::u16string base_;
};

TEST_F(RegistryTest, ValuesKeepTheirBytesTypesAndOrder) {
  RegistryKey key = Created(u"Values");
  std::vector<uint8_t> settings = Pattern(112004, 3);
  std::vector<uint8_t> odd = {1, 2, 3};
  ASSERT_EQ(key.WriteBinary(u"Settings", settings.data(), static_cast<uint32_t>(settings.size())),
            0);
  ASSERT_EQ(key.WriteString(u"Title", u"Fotos \u00fcnd Bilder"), 0);
  ASSERT_EQ(key.SetValue(u"-5.1..", 0x12345, odd.data(), 3), 0);
  ASSERT_EQ(key.WriteBinary(u"Empty", nullptr, 0), 0);
  uint32_t type = 0, size = 0;
  EXPECT_EQ(key.QueryValue(u"", &type, nullptr, &size), kErrorFileNotFound)
      << "no default value yet";
  ASSERT_EQ(key.WriteString(u"", u"Corvane.FileSignature"), 0);

  std::vector<uint8_t> bytes;
  std::u16string text;
  ASSERT_EQ(key.ReadBinary(u"Settings", &bytes), 0);
  EXPECT_EQ(bytes, settings);
  ASSERT_EQ(key.ReadString(u"Title", &text), 0);
  EXPECT_EQ(text, u"Fotos \u00fcnd Bilder");
  ASSERT_EQ(key.ReadString(u"", &text), 0);
  EXPECT_EQ(text, u"Corvane.FileSignature");
  ASSERT_EQ(key.QueryValue(u"Title", &type, nullptr, &size), 0);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 2u * (16 + 1)) << "strings are stored with their terminating zero";
  EXPECT_EQ(key.ReadString(u"Settings", &text), kErrorInvalidData);
  EXPECT_EQ(key.ReadBinary(u"Title", &bytes), kErrorInvalidData);

  std::vector<Value> expected = {
      {u"Settings", kRegBinary, settings},
      {u"Title", kRegSz, StringBytes(u"Fotos \u00fcnd Bilder")},
      {u"-5.1..", 0x12345, odd},
      {u"Empty", kRegBinary, {}},
      {u"", kRegSz, StringBytes(u"Corvane.FileSignature")},
  };
  std::vector<Value> listed = AllValues(key);
  std::u16string name;
  EXPECT_EQ(key.EnumValue(5, &name, &type, &bytes), kErrorNoMoreItems);
  EXPECT_EQ(key.EnumValue(4000, nullptr, nullptr, nullptr), kErrorNoMoreItems);
#ifdef _WIN32
  // Wine lists values sorted by name; Windows and the store in the order first written.
  std::sort(listed.begin(), listed.end());
  std::sort(expected.begin(), expected.end());
#endif
  EXPECT_EQ(listed, expected);
}

TEST_F(RegistryTest, QueriesAnswerWithSizesAsWin32Does) {
  RegistryKey key = Created(u"Sizes");
  std::vector<uint8_t> ten = Pattern(10, 9);
  ASSERT_EQ(key.WriteBinary(u"First", ten.data(), 10), 0);
  ASSERT_EQ(key.WriteBinary(u"Second", ten.data(), 1), 0);

  uint32_t type = 0, size = 0;
  ASSERT_EQ(key.QueryValue(u"First", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(size, 10u);
  std::vector<uint8_t> buffer(32, 0xEE);
  size = 4;
  type = 0;
  EXPECT_EQ(key.QueryValue(u"First", &type, buffer.data(), &size), kErrorMoreData);
  EXPECT_EQ(size, 10u) << "the needed size comes back with more-data";
  size = 32;
  ASSERT_EQ(key.QueryValue(u"FIRST", &type, buffer.data(), &size), kErrorSuccess)
      << "value names are found in any case";
  EXPECT_EQ(size, 10u);
  EXPECT_TRUE(std::equal(ten.begin(), ten.end(), buffer.begin()));
  EXPECT_EQ(buffer[10], 0xEE) << "nothing written past the value";

  EXPECT_EQ(key.QueryValue(u"Missing", &type, nullptr, &size), kErrorFileNotFound);
  EXPECT_EQ(key.DeleteValue(u"Missing"), kErrorFileNotFound);

  // Overwriting with another size and type keeps the value's place and its first name.
  std::vector<uint8_t> big = Pattern(5000, 1);
  ASSERT_EQ(key.WriteBinary(u"first", big.data(), 5000), 0);
  std::vector<uint8_t> read;
  ASSERT_EQ(key.ReadBinary(u"First", &read), 0);
  EXPECT_EQ(read, big);
  ASSERT_EQ(key.WriteString(u"First", u"x"), 0);
  ASSERT_EQ(key.QueryValue(u"First", &type, nullptr, &size), 0);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 4u);
  ASSERT_EQ(key.WriteBinary(u"First", ten.data(), 3), 0);
  ASSERT_EQ(key.ReadBinary(u"First", &read), 0);
  EXPECT_EQ(read, std::vector<uint8_t>(ten.begin(), ten.begin() + 3));
  std::vector<Value> listed = AllValues(key);
  ASSERT_EQ(listed.size(), 2u);
#ifndef _WIN32
  EXPECT_EQ(listed[0].name, u"First");
#endif

  ASSERT_EQ(key.DeleteValue(u"FIRST"), kErrorSuccess);
  EXPECT_EQ(key.QueryValue(u"First", &type, nullptr, &size), kErrorFileNotFound);
  listed = AllValues(key);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, u"Second");
}

TEST_F(RegistryTest, KeysOpenAgainInAnyCaseUntilTheTreeIsDeleted) {
  std::u16string lower = AsciiLower(base_);
  {
    RegistryKey key = Created(u"Lumenard\\2.0\\Filter");
    std::vector<uint8_t> record = Pattern(728, 5);
    ASSERT_EQ(key.WriteBinary(u"", record.data(), 728), 0);
    key.Close();
    EXPECT_FALSE(key.IsOpen());
    uint32_t size = 0;
    EXPECT_NE(key.QueryValue(u"", nullptr, nullptr, &size), kErrorSuccess) << "closed key";
  }
  RegistryKey again;
  ASSERT_EQ(again.Open(RegistryRoot::CurrentUser, AsciiUpper(base_) + u"\\LUMENARD\\2.0\\filter"),
            0);
  EXPECT_TRUE(again.IsOpen());
  std::vector<uint8_t> read;
  ASSERT_EQ(again.ReadBinary(u"", &read), 0);
  EXPECT_EQ(read, Pattern(728, 5));
  RegistryKey parent;
  EXPECT_EQ(parent.Open(RegistryRoot::CurrentUser, lower + u"\\lumenard"), 0)
      << "parents are created";

  RegistryKey missing;
  EXPECT_EQ(missing.Open(RegistryRoot::CurrentUser, KeyPath(u"Lumenard\\3.0")), kErrorFileNotFound);
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_EQ(missing.Open(RegistryRoot::ClassesRoot, KeyPath(u"Lumenard\\2.0")), kErrorFileNotFound)
      << "the two roots are separate trees";

  again.Close();
  parent.Close();
  EXPECT_EQ(DeleteRegistryTree(RegistryRoot::CurrentUser, KeyPath(u"lumenard")), kErrorSuccess);
  EXPECT_EQ(missing.Open(RegistryRoot::CurrentUser, KeyPath(u"Lumenard\\2.0\\Filter")),
            kErrorFileNotFound);
  EXPECT_EQ(DeleteRegistryTree(RegistryRoot::CurrentUser, KeyPath(u"Lumenard")),
            kErrorFileNotFound);
  EXPECT_NE(DeleteRegistryTree(RegistryRoot::CurrentUser, u""), kErrorSuccess);
  EXPECT_NE(DeleteRegistryTree(RegistryRoot::CurrentUser, u"\\"), kErrorSuccess);
  EXPECT_EQ(missing.Open(RegistryRoot::CurrentUser, base_), kErrorSuccess)
      << "the root was refused";
}

TEST_F(RegistryTest, OddKeyNamesAreKeysOfTheirOwn) {
  const std::u16string names[] = {
      u".filesig", u"..", u"a/b", u"A", u"%41", u"\u00dcbersicht", u"shell\\open\\command"};
  std::u16string escape = base_;
  for (int i = 0; i < 7; ++i) escape += u"\\..";
  escape += u"\\escaped";
  RegistryKey outside;
  ASSERT_EQ(outside.Create(RegistryRoot::CurrentUser, escape), 0);
  ASSERT_EQ(outside.WriteString(u"", u"escape"), 0);
  for (const std::u16string& name : names) {
    RegistryKey key = Created(name, RegistryRoot::ClassesRoot);
    ASSERT_EQ(key.WriteString(u"", name), 0);
  }
  for (const std::u16string& name : names) {
    RegistryKey key;
    ASSERT_EQ(key.Open(RegistryRoot::ClassesRoot, KeyPath(name)), 0);
    std::u16string text;
    ASSERT_EQ(key.ReadString(u"", &text), 0);
    EXPECT_EQ(text, name);
  }
#ifndef _WIN32
  std::set<std::u16string> entries;
  for (const auto& entry : fs::directory_iterator(fs::path(temp_.path())))
    entries.insert(entry.path().filename().u16string());
  EXPECT_EQ(entries, std::set<std::u16string>{u"home"})
      << "nothing is stored outside the home folder";
#endif
}

TEST_F(RegistryTest, ThreadsWriteTheSameKeyWithoutLosingValues) {
  constexpr int kThreads = 4;
  constexpr int kValuesEach = 12;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      RegistryKey key;
      if (key.Create(RegistryRoot::CurrentUser, KeyPath(u"Shared")) != 0) return;
      RegistryKey own;
      own.Create(RegistryRoot::CurrentUser, KeyPath(Format(u"Own%d", t)));
      for (int i = 0; i < kValuesEach; ++i) {
        std::vector<uint8_t> data = Pattern(100 + i, static_cast<uint8_t>(t));
        key.WriteBinary(Format(u"%d.%d..", t, i), data.data(), static_cast<uint32_t>(data.size()));
        own.WriteBinary(u"Last", data.data(), static_cast<uint32_t>(data.size()));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  RegistryKey key;
  ASSERT_EQ(key.Open(RegistryRoot::CurrentUser, KeyPath(u"Shared")), 0);
  std::vector<Value> listed = AllValues(key);
  EXPECT_EQ(listed.size(), size_t{kThreads * kValuesEach});
  for (int t = 0; t < kThreads; ++t) {
    std::vector<uint8_t> read;
    ASSERT_EQ(key.ReadBinary(Format(u"%d.%d..", t, kValuesEach - 1), &read), 0);
    EXPECT_EQ(read, Pattern(100 + kValuesEach - 1, static_cast<uint8_t>(t)));
    RegistryKey own;
    ASSERT_EQ(own.Open(RegistryRoot::CurrentUser, KeyPath(Format(u"Own%d", t))), 0);
    ASSERT_EQ(own.ReadBinary(u"Last", &read), 0);
    EXPECT_EQ(read, Pattern(100 + kValuesEach - 1, static_cast<uint8_t>(t)));
  }
}

#ifndef _WIN32

std::vector<std::u16string> g_warnings;

void CollectWarning(std::u16string_view line) { g_warnings.emplace_back(line); }

// The values file of the only key that holds values below the folder.
fs::path ValuesFileBelow(const std::u16string& folder) {
  fs::path found;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(folder)))
    if (entry.path().filename() == ".values") found = entry.path();
  return found;
}

// Replaced through a rename, as another program would, so the store sees a new file.
void ReplaceFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::path next = path;
  next += ".new";
  ASSERT_TRUE(testing_support::WriteWholeFile(next.u16string(), bytes));
  fs::rename(next, path);
}

class RegistryStoreTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    g_warnings.clear();
    SetRegistryWarningSink(&CollectWarning);
  }
  void TearDown() override {
    SetRegistryWarningSink(nullptr);
    RegistryTest::TearDown();
  }
};

TEST_F(RegistryStoreTest, DamagedFileGivesTheValuesBeforeTheDamage) {
  std::vector<Value> written = {{u"A", kRegBinary, Pattern(40, 1)},
                                {u"B", kRegBinary, Pattern(50, 2)},
                                {u"C", kRegSz, {'c', 0, 0, 0}}};
  RegistryKey key = Created(u"Damaged");
  for (const Value& value : written)
    ASSERT_EQ(key.SetValue(value.name, value.type, value.data.data(),
                           static_cast<uint32_t>(value.data.size())),
              0);
  fs::path file = ValuesFileBelow(Home());
  ASSERT_FALSE(file.empty());
  std::vector<uint8_t> whole = testing_support::ReadWholeFile(file.u16string());
  EXPECT_TRUE(g_warnings.empty());

  // Cut anywhere: never a fault, only a prefix of what was written, and always a warning.
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    ReplaceFile(file, std::vector<uint8_t>(whole.begin(), whole.begin() + cut));
    g_warnings.clear();
    std::vector<Value> listed = AllValues(key);
    ASSERT_LT(listed.size(), written.size()) << "cut at " << cut;
    EXPECT_TRUE(std::equal(listed.begin(), listed.end(), written.begin())) << "cut at " << cut;
    EXPECT_EQ(g_warnings.size(), 1u) << "cut at " << cut;
  }

  // A changed byte in the second value's data loses it and what follows, and nothing else.
  std::vector<uint8_t> flipped = whole;
  flipped[whole.size() - 30] ^= 0x40;
  ReplaceFile(file, flipped);
  g_warnings.clear();
  std::vector<Value> listed = AllValues(key);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], written[0]);
  ASSERT_EQ(g_warnings.size(), 1u);
  EXPECT_NE(g_warnings[0].find(u"damaged"), std::u16string::npos);

  // Writing goes on from what survived; the damaged file is kept beside it.
  ASSERT_EQ(key.WriteBinary(u"D", nullptr, 0), 0);
  RegistryKey reopened;
  ASSERT_EQ(reopened.Open(RegistryRoot::CurrentUser, KeyPath(u"damaged")), 0);
  listed = AllValues(reopened);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[1].name, u"D");
  fs::path kept = file;
  kept += ".damaged";
  EXPECT_EQ(testing_support::ReadWholeFile(kept.u16string()), flipped);

  // Hostile lengths and noise read as no values.
  std::vector<uint8_t> hostile(whole.begin(), whole.begin() + 12);
  hostile.insert(hostile.end(), 16, 0xFF);
  ReplaceFile(file, hostile);
  EXPECT_TRUE(AllValues(reopened).empty());
  std::mt19937 random(7);
  std::vector<uint8_t> noise(4096);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  ReplaceFile(file, noise);
  EXPECT_TRUE(AllValues(reopened).empty());
}

TEST_F(RegistryStoreTest, NewerFormatIsNeitherReadNorOverwritten) {
  RegistryKey key = Created(u"Future");
  ASSERT_EQ(key.WriteString(u"Name", u"value"), 0);
  fs::path file = ValuesFileBelow(Home());
  std::vector<uint8_t> bytes = testing_support::ReadWholeFile(file.u16string());
  bytes[4] = 2;
  ReplaceFile(file, bytes);
  EXPECT_TRUE(AllValues(key).empty());
  EXPECT_EQ(g_warnings.size(), 1u);
  EXPECT_NE(key.WriteString(u"Other", u"x"), kErrorSuccess);
  EXPECT_EQ(testing_support::ReadWholeFile(file.u16string()), bytes);
}

TEST_F(RegistryStoreTest, WritesLeaveOnlyValuesFilesAndSkipWhatDidNotChange) {
  RegistryKey key = Created(u"Tidy");
  for (int i = 0; i < 20; ++i) ASSERT_EQ(key.WriteString(Format(u"v%d", i), u"text"), 0);
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(Home())))
    if (entry.is_regular_file()) {
      EXPECT_EQ(entry.path().filename(), ".values") << entry.path();
    }

  fs::path file = ValuesFileBelow(Home());
  struct stat before, after;
  ASSERT_EQ(stat(file.c_str(), &before), 0);
  ASSERT_EQ(key.WriteString(u"V3", u"text"), 0);
  ASSERT_EQ(stat(file.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino) << "the same value again needs no write";
  std::vector<uint8_t> same = StringBytes(u"text");
  ASSERT_EQ(key.SetValue(u"v3", kRegBinary, same.data(), static_cast<uint32_t>(same.size())), 0);
  ASSERT_EQ(stat(file.c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
  uint32_t type = 0;
  ASSERT_EQ(key.QueryValue(u"v3", &type, nullptr, nullptr), 0);
  EXPECT_EQ(type, kRegBinary) << "the same bytes under another type are a change";
}

TEST_F(RegistryStoreTest, StoreFollowsTheEnvironmentAtEachOpen) {
  std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
  std::string xdgValue = savedXdg ? savedXdg : "";
  std::string root = Utf16ToUtf8(temp_.path());

  RegistryKey first = Created(u"Where");
  setenv("LUMENARD_HOME", (root + "/other").c_str(), 1);
  RegistryKey key;
  EXPECT_EQ(key.Open(RegistryRoot::CurrentUser, KeyPath(u"Where")), kErrorFileNotFound);
  ASSERT_EQ(first.WriteString(u"", u"still the first home"), 0);
  EXPECT_FALSE(ValuesFileBelow(Home()).empty()) << "an open key keeps its folder";

  unsetenv("LUMENARD_HOME");
  setenv("XDG_CONFIG_HOME", (root + "/xdg").c_str(), 1);
  ASSERT_EQ(key.Create(RegistryRoot::CurrentUser, KeyPath(u"Where")), 0);
  ASSERT_EQ(key.WriteString(u"", u"xdg"), 0);
  EXPECT_FALSE(ValuesFileBelow(temp_.File(u"xdg/lumenard/registry/HKEY_CURRENT_USER")).empty());

  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", (root + "/user").c_str(), 1);
  ASSERT_EQ(key.Create(RegistryRoot::ClassesRoot, KeyPath(u"Where")), 0);
  ASSERT_EQ(key.WriteString(u"", u"home"), 0);
  EXPECT_FALSE(
      ValuesFileBelow(temp_.File(u"user/.config/lumenard/registry/HKEY_CLASSES_ROOT")).empty());

  setenv("HOME", savedHome.c_str(), 1);
  if (savedXdg) setenv("XDG_CONFIG_HOME", xdgValue.c_str(), 1);
  setenv("LUMENARD_HOME", Utf16ToUtf8(Home()).c_str(), 1);
}

#endif

}  // namespace
