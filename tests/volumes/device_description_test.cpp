// Vendor and product out of a storage descriptor whose offsets come from the device.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/device.h"

namespace {

// A STORAGE_DEVICE_DESCRIPTOR with the strings placed after its 36-byte header.
std::vector<uint8_t> Descriptor(const char* vendor, const char* product, size_t size = 128) {
  std::vector<uint8_t> bytes(size, 0);
  auto put32 = [&](size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); };
  put32(4, static_cast<uint32_t>(size));
  size_t at = 36;
  if (vendor) {
    put32(12, static_cast<uint32_t>(at));
    std::memcpy(bytes.data() + at, vendor, std::strlen(vendor) + 1);
    at += std::strlen(vendor) + 1;
  }
  if (product) {
    put32(16, static_cast<uint32_t>(at));
    std::memcpy(bytes.data() + at, product, std::strlen(product) + 1);
  }
  return bytes;
}

std::u16string Describe(const std::vector<uint8_t>& bytes) {
  return platform::DescriptionFromDescriptor(bytes);
}

TEST(DeviceDescription, VendorAndProductWithTheirPaddingRemoved) {
  EXPECT_EQ(Describe(Descriptor("ATA     ", "ST2000DM008-2FR1    ")), u"ATA, ST2000DM008-2FR1");
  EXPECT_EQ(Describe(Descriptor(nullptr, "Flash Disk  ")), u"Flash Disk");
  EXPECT_EQ(Describe(Descriptor("        ", "Card Reader")), u"Card Reader");
  EXPECT_EQ(Describe(Descriptor("Generic", nullptr)), u"Generic");
  EXPECT_EQ(Describe(Descriptor(nullptr, nullptr)), u"");
  EXPECT_EQ(Describe(Descriptor("Caf\xE9", "Disk")), u"Caf\u00E9, Disk")
      << "8-bit text in the ANSI code page";
}

TEST(DeviceDescription, OffsetsFromTheDeviceAreCheckedAgainstTheBytesReturned) {
  std::vector<uint8_t> bytes = Descriptor("ACME", "Disk");
  auto put32 = [&](size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); };

  put32(16, 5000);  // beyond the answer
  EXPECT_EQ(Describe(bytes), u"ACME");
  put32(16, 8);  // inside the header
  EXPECT_EQ(Describe(bytes), u"ACME");

  // A product without its terminator ends with the answer.
  std::vector<uint8_t> unterminated = Descriptor(nullptr, "ABCDEFGH", 64);
  unterminated.resize(43);
  EXPECT_EQ(Describe(unterminated), u"ABCDEFG");

  // The declared size shortens what is read.
  std::vector<uint8_t> declared = Descriptor("ACME", "Disk");
  std::memset(declared.data() + 4, 0, 4);
  declared[4] = 39;
  EXPECT_EQ(Describe(declared), u"ACM");

  EXPECT_EQ(platform::DescriptionFromDescriptor(std::span<const uint8_t>(bytes.data(), 20)), u"");
  EXPECT_EQ(platform::DescriptionFromDescriptor({}), u"");
}

TEST(DeviceDescription, LongDescriptionsKeep511Characters) {
  std::string product(700, 'x');
  std::vector<uint8_t> bytes = Descriptor("V", product.c_str(), 1024);
  EXPECT_EQ(Describe(bytes).size(), 511u);
}

}  // namespace
