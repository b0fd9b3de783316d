// The parts of the device queries that are the same on every system.
#include "platform/device.h"

#include "platform/device_text.h"
#include "platform/text.h"

namespace platform {

namespace {

// STORAGE_DEVICE_DESCRIPTOR: Version, Size, four type bytes, then the offsets of the vendor,
// product, revision and serial strings, the bus type and the raw properties length.
constexpr size_t kDescriptorSizeField = 4;
constexpr size_t kVendorOffsetField = 12;
constexpr size_t kProductOffsetField = 16;
constexpr size_t kDescriptorHeaderBytes = 36;

uint32_t ReadLe32(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
         static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// The NUL-terminated string at an offset, or empty when the offset is 0, lies in the header
// or beyond the bytes the driver gave.
std::string StringAt(std::span<const uint8_t> bytes, uint32_t offset) {
  if (offset < kDescriptorHeaderBytes || offset >= bytes.size()) return {};
  std::string text;
  for (size_t i = offset; i < bytes.size() && bytes[i] != 0; ++i)
    text.push_back(static_cast<char>(bytes[i]));
  return text;
}

}  // namespace

std::u16string JoinDescription(std::string_view vendor, std::string_view product) {
  std::u16string v = Trim(AnsiToUtf16(vendor));
  std::u16string p = Trim(AnsiToUtf16(product));
  std::u16string joined;
  if (!v.empty() && !p.empty())
    joined = v + u", " + p;
  else
    joined = p.empty() ? v : p;
  if (joined.size() > kMaxDescriptionLength) joined.resize(kMaxDescriptionLength);
  return joined;
}

std::u16string DescriptionFromDescriptor(std::span<const uint8_t> descriptor) {
  if (descriptor.size() < kDescriptorHeaderBytes) return {};
  uint32_t declared = ReadLe32(descriptor, kDescriptorSizeField);
  if (declared != 0 && declared < descriptor.size()) descriptor = descriptor.first(declared);
  if (descriptor.size() < kDescriptorHeaderBytes) return {};
  std::string vendor = StringAt(descriptor, ReadLe32(descriptor, kVendorOffsetField));
  std::string product = StringAt(descriptor, ReadLe32(descriptor, kProductOffsetField));
  return JoinDescription(vendor, product);
}

}  // namespace platform
