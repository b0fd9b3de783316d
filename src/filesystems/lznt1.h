// LZNT1, the compression of NTFS compressed files (docs/formats/ntfs.md, "Compressed data"): a
// compression unit's stored bytes are a sequence of chunks, each holding up to 4096 bytes of the
// file, compressed (literals and back-references) or stored as they are. The input comes from a
// drive and is untrusted: every length, back-reference and output position is checked before it
// is used, and a fault ends the decoding with what was decoded before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Bytes of the file a chunk stands for.
constexpr size_t kLznt1ChunkBytes = 4096;

struct Lznt1Outcome {
  bool Ok = true;
  // Bytes at the start of the output that hold decoded data (all of it when Ok).
  size_t Decoded = 0;
  // Why the decoding stopped early; empty when Ok.
  std::u16string_view Problem;
};

// Decodes the chunks in input into output, one whole unit: each chunk fills the next 4096 bytes
// of the output (a shorter chunk is followed by zeros up to its 4096), and what no chunk fills,
// after a chunk header of 0 or the end of the input, is zeros. Fails on a chunk that runs past
// the input, a back-reference before the start of its chunk or one that is cut off, and a chunk
// or a sequence of chunks that would write past the output.
Lznt1Outcome Lznt1Decode(std::span<const uint8_t> input, std::span<uint8_t> output);
