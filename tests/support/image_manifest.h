// What tests/fixtures/*_images.sh wrote beside each image: the manifest (one line per file or
// folder put on the volume) and plain-text listings such as The Sleuth Kit's, and the POSIX
// cksum the manifest gives for each file's bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// One manifest line: state, kind, size, crc, intact, mtime, path (tab-separated).
struct ManifestLine {
  bool deleted = false;
  bool folder = false;
  int64_t size = 0;
  uint32_t crc = 0;     // cksum of the bytes; 0 for folders
  bool intact = false;  // the bytes can still be read back (no cluster was reused)
  int64_t mtime = 0;    // Unix seconds; 0 for folders
};

// The non-empty lines of a text file (none when it cannot be read).
std::vector<std::string> ReadTextLines(const std::u16string& path);

// The manifest by path from the root ('/' separators). Lines that do not have the seven
// fields are left out.
std::map<std::u16string, ManifestLine> ReadImageManifest(const std::u16string& path);

// POSIX cksum: CRC-32 (polynomial 0x04C11DB7, most significant bit first) over the bytes and
// then the length, complemented.
uint32_t Cksum(const std::vector<uint8_t>& bytes);

}  // namespace testing_support
