#include "filesystems/lznt1.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kChunkCompressed = 0x8000;
constexpr uint16_t kChunkSizeMask = 0x0FFF;

// A back-reference is one 16-bit word: the displacement in its high bits, the length in its low
// ones. The further into its chunk, the more bits the displacement takes (4 for the first 16
// bytes, up to 12), so that it can reach back to the chunk's start.
unsigned LengthBits(size_t position) {
  unsigned bits = 12;
  for (size_t reach = position - 1; reach >= 16; reach >>= 1) --bits;
  return bits;
}

// Decodes one compressed chunk into out; the bytes written, or the problem in outcome.
size_t DecodeChunk(std::span<const uint8_t> in, std::span<uint8_t> out, Lznt1Outcome& outcome) {
  size_t at = 0;
  size_t written = 0;
  while (at < in.size()) {
    const uint8_t flags = in[at++];
    for (int bit = 0; bit < 8 && at < in.size(); ++bit) {
      if ((flags >> bit & 1) == 0) {
        if (written == out.size()) {
          outcome.Problem = u"a chunk decodes to more than 4096 bytes";
          return written;
        }
        out[written++] = in[at++];
        continue;
      }
      if (in.size() - at < 2) {
        outcome.Problem = u"a back-reference is cut off at the end of its chunk";
        return written;
      }
      const uint16_t token = static_cast<uint16_t>(in[at] | in[at + 1] << 8);
      at += 2;
      if (written == 0) {
        outcome.Problem = u"a chunk starts with a back-reference";
        return written;
      }
      const unsigned lengthBits = LengthBits(written);
      const size_t distance = (token >> lengthBits) + 1u;
      const size_t length = (token & ((1u << lengthBits) - 1)) + 3u;
      if (distance > written) {
        outcome.Problem = u"a back-reference points before the start of its chunk";
        return written;
      }
      if (length > out.size() - written) {
        outcome.Problem = u"a back-reference runs past 4096 bytes of its chunk";
        return written;
      }
      uint8_t* to = out.data() + written;
      const uint8_t* from = to - distance;
      if (distance >= length) {
        std::memcpy(to, from, length);
      } else {
        // The copy overlaps what it writes: a repeated pattern.
        for (size_t n = 0; n < length; ++n) to[n] = from[n];
      }
      written += length;
    }
  }
  return written;
}

}  // namespace

Lznt1Outcome Lznt1Decode(std::span<const uint8_t> input, std::span<uint8_t> output) {
  Lznt1Outcome outcome;
  size_t at = 0;
  size_t filled = 0;
  while (input.size() - at >= 2) {
    const uint16_t header = static_cast<uint16_t>(input[at] | input[at + 1] << 8);
    if (header == 0) break;
    at += 2;
    const size_t stored = (header & kChunkSizeMask) + 1u;
    if (stored > input.size() - at) {
      outcome.Problem = u"a chunk runs past the end of the compressed data";
      break;
    }
    if (filled == output.size()) {
      outcome.Problem = u"there are more chunks than the compression unit holds";
      break;
    }
    const std::span<uint8_t> room =
        output.subspan(filled, std::min(kLznt1ChunkBytes, output.size() - filled));
    const std::span<const uint8_t> chunk = input.subspan(at, stored);
    size_t written = 0;
    if (header & kChunkCompressed) {
      written = DecodeChunk(chunk, room, outcome);
    } else if (stored <= room.size()) {
      std::memcpy(room.data(), chunk.data(), stored);
      written = stored;
    } else {
      outcome.Problem = u"a stored chunk holds more than 4096 bytes";
    }
    if (!outcome.Problem.empty()) {
      filled += written;
      break;
    }
    std::fill(room.begin() + static_cast<ptrdiff_t>(written), room.end(), 0);
    filled += room.size();
    at += stored;
  }
  std::fill(output.begin() + static_cast<ptrdiff_t>(filled), output.end(), 0);
  outcome.Ok = outcome.Problem.empty();
  outcome.Decoded = outcome.Ok ? output.size() : filled;
  return outcome;
}
