#include "signatures/signature_mail.h"

#include "platform/system.h"
#include "platform/text.h"
#include "signatures/base64.h"

namespace {

constexpr size_t kMailBufferSize = 16384;

std::string PercentEncode(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size() + text.size() / 4);
  for (char c : text) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (plain) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[static_cast<uint8_t>(c) >> 4];
      encoded += kHex[static_cast<uint8_t>(c) & 15];
    }
  }
  return encoded;
}

}  // namespace

std::optional<std::string> SignatureMailUrl(const FileType& type) {
  if (type.SerializedSize() > kMailBufferSize) return std::nullopt;
  std::string body = EncodeBase64Lines(type.Serialize());
  if (body.size() > kMailBufferSize) return std::nullopt;
  return std::string("mailto:") + kSignatureCollectionAddress +
         "?subject=newsign&body=" + PercentEncode(body);
}

bool SendSignature(const FileType& type) {
  std::optional<std::string> url = SignatureMailUrl(type);
  if (!url) return false;
  return platform::ShellOpen(platform::AnsiToUtf16(*url), u"open");
}
