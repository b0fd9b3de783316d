// Base64 with the standard alphabet and '=' padding, in the line form of a signature mail.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// A CR LF follows every 19th full three-byte group (76 characters); the padded tail, if any,
// comes last. So a final line that the full groups fill exactly keeps its CR LF, and a shorter
// last line has none.
std::string EncodeBase64Lines(std::span<const uint8_t> bytes);
