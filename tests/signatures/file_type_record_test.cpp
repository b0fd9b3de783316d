// The serialized record: header offsets, signature and condition layouts, round trips.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/text.h"
#include "signatures/file_types.h"

namespace {

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

uint16_t U16At(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::u16string TextAt(const std::vector<uint8_t>& bytes, size_t offset) {
  std::u16string text;
  for (size_t i = offset; i + 1 < bytes.size(); i += 2) {
    char16_t c = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    if (c == 0) break;
    text += c;
  }
  return text;
}

// The shape of a type made by the New Signature Wizard: one masked signature over 512 bytes.
FileType WizardType(uint16_t compareLength) {
  FileType type;
  type.TypeId = 1000;
  type.GroupId = GroupImages;
  type.Coincidence = 0;
  type.SetDescription(u"Raw photo of a camera");
  type.SetExtensions(u"CRX;CR3");
  SignatureCondition masked = SignatureCondition::Create(CondMasked, 0);
  masked.Length = compareLength;
  for (size_t i = 0; i < 512; ++i) {
    masked.Payload[i] = static_cast<uint8_t>(i * 7);
    masked.Payload[512 + i] = i % 3 ? 0xFF : 0x00;
  }
  Signature signature;
  signature.Conditions.push_back(masked);
  type.Signatures.push_back(signature);
  return type;
}

TEST(FileTypeRecordTest, WizardTypeIs3032BytesWithItsFieldsAtTheirOffsets) {
  std::vector<uint8_t> bytes = WizardType(16).Serialize();
  ASSERT_EQ(bytes.size(), 3032u);
  EXPECT_EQ(U32At(bytes, 0), 1000u);
  EXPECT_EQ(static_cast<int32_t>(U32At(bytes, 4)), GroupImages);
  EXPECT_EQ(U32At(bytes, 44), 50u);
  EXPECT_EQ(TextAt(bytes, 352), u"Raw photo of a camera");
  EXPECT_EQ(TextAt(bytes, 872), u"CRX;CR3");
  EXPECT_EQ(U32At(bytes, 1952), 1u);
  // The signature: reserved, total size, reserved, condition count.
  EXPECT_EQ(U32At(bytes, 1956), 0u);
  EXPECT_EQ(U32At(bytes, 1960), 20u + 1056u);
  EXPECT_EQ(U32At(bytes, 1972), 1u);
  // Its condition: kind, record size, offset, repeat, length, then data and mask.
  EXPECT_EQ(U32At(bytes, 1976), static_cast<uint32_t>(CondMasked));
  EXPECT_EQ(U32At(bytes, 1980), 1056u);
  EXPECT_EQ(U16At(bytes, 1990), 16u);
  EXPECT_EQ(bytes[2008 + 5], 35);
  EXPECT_EQ(bytes[2008 + 512], 0x00);
  EXPECT_EQ(bytes[2008 + 513], 0xFF);
}

TEST(FileTypeRecordTest, RecordsReadBackByteForByteIncludingReservedFields) {
  FileType type = WizardType(200);
  type.Reserved24[1] = 77;
  type.Reserved1652[299] = 0xAB;
  type.Signatures[0].Reserved8[3] = 9;
  type.Signatures[0].Conditions[0].Reserved[15] = 4;
  type.Signatures.push_back(
      Signature{{}, {}, {SignatureCondition::WithPayload(CondBytes, 3, {1, 2, 3})}});
  std::vector<uint8_t> bytes = type.Serialize();

  DeserializeResult read = DeserializeFileType(bytes);
  ASSERT_TRUE(read.type) << platform::Utf16ToUtf8(read.problem);
  EXPECT_EQ(read.consumed, bytes.size());
  EXPECT_EQ(read.type->Serialize(), bytes);
  EXPECT_EQ(read.type->Signatures.size(), 2u);
  EXPECT_EQ(read.type->Signatures[1].Conditions[0].Offset, 3);

  for (const FileType& builtin : BuiltinTypes()) {
    std::vector<uint8_t> record = builtin.Serialize();
    DeserializeResult again = DeserializeFileType(record);
    ASSERT_TRUE(again.type) << builtin.TypeId;
    EXPECT_EQ(again.type->Serialize(), record) << builtin.TypeId;
  }
}

TEST(FileTypeRecordTest, TextFieldsAreBoundedByTheirFields) {
  FileType type;
  type.SetNamePrefix(std::u16string(80, u'p'));  // the field holds 29 characters and a zero
  EXPECT_EQ(type.NamePrefixText(), std::u16string(29, u'p'));

  std::vector<uint8_t> bytes = type.Serialize();
  for (size_t i = 872; i < 1072; i += 2) bytes[i] = 'E';  // extensions without a zero
  DeserializeResult read = DeserializeFileType(bytes);
  ASSERT_TRUE(read.type);
  EXPECT_EQ(read.type->ExtensionsText().size(), 100u);
  EXPECT_EQ(read.type->FirstExtension().size(), 100u);
}

TEST(FileTypeRecordTest, ExtensionsSplitAtCommasAndSemicolons) {
  FileType type;
  type.SetExtensions(u" *.jpg , .JPEG;;jpe;");
  EXPECT_EQ(type.FirstExtension(), u" *.jpg ");
  EXPECT_EQ(type.ExtensionList(), (std::vector<std::u16string>{u"jpg", u"JPEG", u"jpe"}));
  type.SetExtensions(u"TIFF");
  EXPECT_EQ(type.FirstExtension(), u"TIFF");
  EXPECT_EQ(RegistryValueName(type), u"0.0..TIFF");
}

}  // namespace
