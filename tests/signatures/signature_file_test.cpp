// Signature files: adding and updating types, refusing damaged files without reading past
// them, writing files, and the mail form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"
#include "registry_sandbox.h"
#include "signatures/base64.h"
#include "signatures/file_types.h"
#include "signatures/signature_file.h"
#include "signatures/signature_mail.h"
#include "support/test_support.h"

namespace {

using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

struct RecordedMessages : ISignatureMessages {
  void ShowMessage(std::u16string_view text, std::u16string_view caption) override {
    shown.emplace_back(std::u16string(text), std::u16string(caption));
  }
  std::vector<std::pair<std::u16string, std::u16string>> shown;
};

FileType NewType(int32_t id, std::u16string_view description, std::u16string_view extensions) {
  FileType type;
  type.TypeId = id;
  type.GroupId = GroupPhotos;
  type.SetDescription(description);
  type.SetExtensions(extensions);
  SignatureCondition masked = SignatureCondition::Create(CondMasked, 0);
  masked.Length = 4;
  std::memcpy(masked.Payload.data(), "RAW!", 4);
  std::memset(masked.Payload.data() + 512, 0xFF, 4);
  type.Signatures.push_back(Signature{{}, {}, {masked}});
  type.Signatures.push_back(
      Signature{{}, {}, {SignatureCondition::WithPayload(CondBytes, 8, {'R', 'A', 'W'})}});
  return type;
}

void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  std::memcpy(bytes.data() + offset, &value, 4);
}
void PutU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
  std::memcpy(bytes.data() + offset, &value, 2);
}

class SignatureFileTest : public ::testing::Test {
 protected:
  SignatureFileTest() { database_.Load(registry_.key()); }

  std::u16string Write(const std::u16string& name, const std::vector<uint8_t>& bytes) {
    std::u16string path = registry_.folder().File(name);
    EXPECT_TRUE(WriteWholeFile(path, bytes));
    return path;
  }

  std::vector<std::vector<uint8_t>> Snapshot() const {
    std::vector<std::vector<uint8_t>> records;
    for (const auto& type : database_.Types()) records.push_back(type->Serialize());
    return records;
  }

  RegistrySandbox registry_;
  FileTypeDatabase database_;
  RecordedMessages messages_;
};

TEST_F(SignatureFileTest, TheSameFileIsAddedAndThenUpdated) {
  std::u16string path = Write(u"raw.filesig", NewType(1000, u"Raw photo", u"RWX").Serialize());
  const size_t before = database_.Types().size();

  FileType* added = AddSignatureFile(database_, path, messages_);
  ASSERT_TRUE(added);
  EXPECT_EQ(database_.Types().size(), before + 1);
  EXPECT_EQ(database_.Types().back().get(), added);
  EXPECT_EQ(database_.FindTypeByExtension(u"rwx"), added);

  FileType* updated = AddSignatureFile(database_, u"\"" + path + u"\"", messages_);
  EXPECT_EQ(updated, added);
  EXPECT_EQ(database_.Types().size(), before + 1);
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[0].first, u"Signature file '" + path + u"' added!");
  EXPECT_EQ(messages_.shown[0].second, u"ok");
  EXPECT_EQ(messages_.shown[1].first, u"Signature file '" + path + u"' updated!");

  // Saved: a restart finds the type.
  FileTypeDatabase restarted;
  restarted.Load(registry_.key());
  ASSERT_TRUE(restarted.FindType(1000));
  EXPECT_EQ(restarted.FindType(1000)->Serialize(), added->Serialize());
}

TEST_F(SignatureFileTest, AKnownIdChangesThatTypeInPlace) {
  FileType jpeg = NewType(83, u"JPEG of my camera", u"JPC");
  std::u16string path = Write(u"jpeg.filesig", jpeg.Serialize());
  const FileType* original = database_.FindType(83);
  const size_t position = std::find_if(database_.Types().begin(), database_.Types().end(),
                                       [&](const auto& type) { return type.get() == original; }) -
                          database_.Types().begin();

  // A trailing quote only, as a command line split after the switch leaves it.
  ASSERT_EQ(AddSignatureFile(database_, path + u"\"", messages_), original);
  EXPECT_EQ(database_.Types()[position].get(), original);
  EXPECT_EQ(original->DescriptionText(), u"JPEG of my camera");
  EXPECT_EQ(original->Signatures.size(), 2u);
  EXPECT_EQ(database_.FindTypeByExtension(u"JPC"), original);
  EXPECT_EQ(database_.FindTypeByExtension(u"JPG"), nullptr);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, u"Signature file '" + path + u"' updated!");
}

// Each damage is applied to a good record of two signatures: the masked one at 1956 (its
// condition at 1976, payload at 2008, size 1076) and a three-byte compare at 3032.
TEST_F(SignatureFileTest, DamagedFilesAreRefusedAndTheDatabaseLeftAlone) {
  const std::vector<uint8_t> good = NewType(1000, u"Raw photo", u"RWX").Serialize();
  ASSERT_EQ(good.size(), 1956u + 1076u + 55u);
  using Damage = std::function<void(std::vector<uint8_t>&)>;
  const std::vector<std::pair<const char*, Damage>> damages = {
      {"empty file", [](auto& b) { b.clear(); }},
      {"cut inside the header", [](auto& b) { b.resize(1955); }},
      {"cut inside a signature", [](auto& b) { b.resize(3000); }},
      {"cut inside the last payload", [](auto& b) { b.pop_back(); }},
      {"negative signature count", [](auto& b) { PutU32(b, 1952, 0xFFFFFFFF); }},
      {"huge signature count", [](auto& b) { PutU32(b, 1952, 0x7FFFFFFF); }},
      {"one signature more than present", [](auto& b) { PutU32(b, 1952, 3); }},
      {"signature smaller than its header", [](auto& b) { PutU32(b, 1960, 8); }},
      {"signature larger than the file", [](auto& b) { PutU32(b, 1960, 0xFFFFFFF0); }},
      {"more conditions than the size holds", [](auto& b) { PutU32(b, 1972, 2); }},
      {"no conditions in a signature with bytes", [](auto& b) { PutU32(b, 1972, 0); }},
      {"condition smaller than its header", [](auto& b) { PutU32(b, 1980, 16); }},
      {"condition larger than its signature", [](auto& b) { PutU32(b, 1980, 1100); }},
      {"masked length beyond the data half", [](auto& b) { PutU16(b, 1990, 513); }},
      {"compare length beyond the payload", [](auto& b) { PutU16(b, 3032 + 20 + 14, 4); }},
      {"fixed width beyond the payload", [](auto& b) { PutU32(b, 3032 + 20, CondDword); }},
      {"bytes after the record", [](auto& b) { b.push_back(0); }},
      {"type id 0", [](auto& b) { PutU32(b, 0, 0); }},
      {"type id past 16 bits", [](auto& b) { PutU32(b, 0, 40000); }},
      {"type id 32768", [](auto& b) { PutU32(b, 0, 32768); }},
      {"larger than a record may be", [](auto& b) { b.resize(20000, 0); }},
  };
  const std::vector<std::vector<uint8_t>> before = Snapshot();
  for (const auto& [name, damage] : damages) {
    std::vector<uint8_t> bytes = good;
    damage(bytes);
    std::u16string path = Write(u"damaged.filesig", bytes);
    messages_.shown.clear();
    EXPECT_EQ(AddSignatureFile(database_, path, messages_), nullptr) << name;
    ASSERT_EQ(messages_.shown.size(), 1u) << name;
    EXPECT_EQ(messages_.shown[0].first, u"Signature file '" + path + u"' can't open!") << name;
    EXPECT_EQ(messages_.shown[0].second, u"Error!") << name;
    EXPECT_EQ(Snapshot(), before) << name;
  }
  messages_.shown.clear();
  EXPECT_EQ(AddSignatureFile(database_, registry_.folder().File(u"missing.filesig"), messages_),
            nullptr);
  EXPECT_EQ(messages_.shown.at(0).second, u"Error!");

  // The good record itself is taken.
  EXPECT_TRUE(AddSignatureFile(database_, Write(u"good.filesig", good), messages_));
}

TEST_F(SignatureFileTest, WrittenFilesHoldExactlyTheRecord) {
  FileType type = NewType(1000, u"Raw photo", u"RWX");
  std::u16string path = registry_.folder().File(u"out.filesig");
  ASSERT_TRUE(WriteSignatureFile(type, path));
  EXPECT_EQ(ReadWholeFile(path), type.Serialize());
  ASSERT_TRUE(WriteSignatureFile(*database_.FindType(24), path));  // overwrites
  EXPECT_EQ(ReadWholeFile(path), database_.FindType(24)->Serialize());

  std::u16string nowhere =
      registry_.folder().File(u"no such folder") + platform::kPathSeparator + u"x.filesig";
  EXPECT_FALSE(SaveSignatureFile(type, nowhere, messages_));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0],
            std::make_pair(std::u16string(u"Error write a file!"), std::u16string()));
}

TEST_F(SignatureFileTest, AddToSignaturesListWritesTheTypesValue) {
  ASSERT_TRUE(AddToSignaturesList(database_,
                                  std::make_unique<FileType>(NewType(1000, u"Raw photo", u"RWX"))));
  FileTypeDatabase restarted;
  restarted.Load(registry_.key());
  ASSERT_TRUE(restarted.FindType(1000));
  EXPECT_EQ(restarted.FindType(1000)->DescriptionText(), u"Raw photo");
}

std::vector<uint8_t> Counting(size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  return bytes;
}

TEST(SignatureMailTest, Base64LinesBreakAfterEvery19Groups) {
  EXPECT_EQ(EncodeBase64Lines(std::vector<uint8_t>{'M', 'a', 'n'}), "TWFu");
  EXPECT_EQ(EncodeBase64Lines(std::vector<uint8_t>{'M', 'a'}), "TWE=");
  EXPECT_EQ(EncodeBase64Lines(std::vector<uint8_t>{'M'}), "TQ==");
  EXPECT_EQ(EncodeBase64Lines(std::vector<uint8_t>{0xFB, 0xFF}), "+/8=");

  std::string shortLast = EncodeBase64Lines(Counting(56));  // 18 groups and a tail: one line
  EXPECT_EQ(shortLast.size(), 76u);
  EXPECT_EQ(shortLast.find('\r'), std::string::npos);

  std::string exact = EncodeBase64Lines(Counting(57));  // 19 groups: the line keeps its break
  EXPECT_EQ(exact.size(), 78u);
  EXPECT_EQ(exact.substr(76), "\r\n");

  std::string tail = EncodeBase64Lines(Counting(58));
  EXPECT_EQ(tail.size(), 82u);
  EXPECT_EQ(tail.substr(76, 2), "\r\n");
  EXPECT_EQ(tail.substr(80), "==");

  std::string lines =
      EncodeBase64Lines(Counting(150));  // 50 groups: two full lines, then 12 groups
  EXPECT_EQ(lines.size(), 200u + 4u);
  EXPECT_EQ(lines.substr(76, 2), "\r\n");
  EXPECT_EQ(lines.substr(154, 2), "\r\n");
}

TEST(SignatureMailTest, MailUrlCarriesTheRecordAndRefusesLargeTypes) {
  FileType type = NewType(1000, u"Raw photo", u"RWX");
  std::optional<std::string> url = SignatureMailUrl(type);
  ASSERT_TRUE(url);
  const std::string prefix =
      std::string("mailto:") + kSignatureCollectionAddress + "?subject=newsign&body=";
  ASSERT_EQ(url->substr(0, prefix.size()), prefix);
  // The body is the base64 text with CR, LF, '+', '/' and '=' percent-encoded.
  std::string body = url->substr(prefix.size());
  std::string expected;
  for (char c : EncodeBase64Lines(type.Serialize())) {
    static const std::string escaped[] = {"%0D", "%0A", "%2B", "%2F", "%3D"};
    size_t special = std::string("\r\n+/=").find(c);
    expected += special == std::string::npos ? std::string(1, c) : escaped[special];
  }
  EXPECT_EQ(body, expected);

  // A record whose base64 text exceeds 16384 characters is not sent.
  FileType large = type;
  large.Signatures.resize(1);
  for (int i = 0; i < 9; ++i) large.Signatures.push_back(large.Signatures[0]);
  ASSERT_LT(large.SerializedSize(), 16384u);
  ASSERT_GT(EncodeBase64Lines(large.Serialize()).size(), 16384u);
  EXPECT_FALSE(SignatureMailUrl(large));
  EXPECT_FALSE(SendSignature(large));
}

}  // namespace
