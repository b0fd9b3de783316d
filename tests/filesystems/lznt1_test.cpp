// The LZNT1 decoder on chunks written byte by byte: what a chunk means (literals, references
// whose split widens along the chunk, overlapping copies, stored chunks, short chunks padded to
// 4096 bytes), and what a damaged or hostile one gives: a clear failure with the bytes decoded
// before it, never a read or write outside the buffers (the sanitizer build checks the latter).
#include "filesystems/lznt1.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A compressed chunk put together item by item, as a compressor would lay it out.
class ChunkWriter {
 public:
  ChunkWriter& Literals(const std::string& text) {
    for (const char c : text) Item(false, {static_cast<uint8_t>(c)});
    decoded_ += text.size();
    return *this;
  }
  // A reference back over distance bytes for length bytes, in the split of the position.
  ChunkWriter& Reference(size_t distance, size_t length) {
    unsigned lengthBits = 12;
    for (size_t reach = decoded_ - 1; reach >= 16; reach >>= 1) --lengthBits;
    const uint16_t token = static_cast<uint16_t>((distance - 1) << lengthBits | (length - 3));
    Item(true, {static_cast<uint8_t>(token), static_cast<uint8_t>(token >> 8)});
    decoded_ += length;
    return *this;
  }
  ChunkWriter& Raw(Bytes token) {
    Item(true, std::move(token));
    return *this;
  }
  Bytes Chunk() const { return WithHeader(data_, true); }

  static Bytes WithHeader(const Bytes& data, bool compressed) {
    const uint16_t header =
        static_cast<uint16_t>((compressed ? 0xB000 : 0x3000) | (data.size() - 1));
    Bytes chunk{static_cast<uint8_t>(header), static_cast<uint8_t>(header >> 8)};
    chunk.insert(chunk.end(), data.begin(), data.end());
    return chunk;
  }

 private:
  void Item(bool reference, Bytes bytes) {
    if (items_ % 8 == 0) {
      flagAt_ = data_.size();
      data_.push_back(0);
    }
    if (reference) data_[flagAt_] |= static_cast<uint8_t>(1 << (items_ % 8));
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    ++items_;
  }

  Bytes data_;
  size_t items_ = 0;
  size_t flagAt_ = 0;
  size_t decoded_ = 0;
};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::string Text(const Bytes& bytes, size_t from, size_t count) {
  return std::string(bytes.begin() + from, bytes.begin() + from + count);
}

}  // namespace

TEST(Lznt1, DecodesLiteralsAndOverlappingReferences) {
  // Header 0xB005: compressed, 6 bytes of data. Flag 0x08: three literals, then a reference at
  // position 3 (12 length bits) of distance 3 and length 9: "abc" repeated.
  const Bytes input = {0x05, 0xB0, 0x08, 'a', 'b', 'c', 0x06, 0x20};
  Bytes output(8192, 0xEE);
  const Lznt1Outcome outcome = Lznt1Decode(input, output);
  ASSERT_TRUE(outcome.Ok) << std::string(outcome.Problem.begin(), outcome.Problem.end());
  EXPECT_EQ(outcome.Decoded, output.size());
  EXPECT_EQ(Text(output, 0, 12), "abcabcabcabc");
  // The unit's remainder, past the chunk and past the end of the chunks, is zeros.
  EXPECT_EQ(std::count(output.begin() + 12, output.end(), 0), 8192 - 12);
}

TEST(Lznt1, ReferenceSplitWidensAlongTheChunk) {
  std::string start;
  for (int n = 0; n < 40; ++n) start += static_cast<char>('A' + n % 26 + (n / 26) * 6);
  // At position 40 the distance takes 6 bits: a reference to the very first byte needs them.
  const Bytes chunk = ChunkWriter().Literals(start).Reference(40, 5).Literals("!").Chunk();
  Bytes output(4096);
  ASSERT_TRUE(Lznt1Decode(chunk, output).Ok);
  EXPECT_EQ(Text(output, 0, 46), start + start.substr(0, 5) + "!");

  // Far into a chunk: 3000 bytes in, 4 length bits are left and 12 reach back 4096.
  std::string filler(3000, '.');
  for (size_t n = 0; n < filler.size(); n += 7) filler[n] = static_cast<char>('a' + n % 23);
  const Bytes far = ChunkWriter().Literals(filler).Reference(3000, 18).Chunk();
  ASSERT_TRUE(Lznt1Decode(far, output).Ok);
  EXPECT_EQ(Text(output, 3000, 18), filler.substr(0, 18));
}

TEST(Lznt1, StoredAndShortChunksEachFillTheirOwn4096Bytes) {
  Bytes stored(4096);
  for (size_t n = 0; n < stored.size(); ++n) stored[n] = static_cast<uint8_t>(n * 7 + 1);
  const Bytes input =
      Join({ChunkWriter().Literals("short").Chunk(), ChunkWriter::WithHeader(stored, false),
            ChunkWriter().Literals("third").Chunk(), Bytes{0, 0, 0x41, 0x41}});
  Bytes output(16384, 0xEE);
  ASSERT_TRUE(Lznt1Decode(input, output).Ok);
  EXPECT_EQ(Text(output, 0, 5), "short");
  EXPECT_EQ(std::count(output.begin() + 5, output.begin() + 4096, 0), 4096 - 5);
  EXPECT_TRUE(std::equal(stored.begin(), stored.end(), output.begin() + 4096));
  EXPECT_EQ(Text(output, 8192, 5), "third");
  // The header of 0 ends the unit: what follows it is not decoded.
  EXPECT_EQ(std::count(output.begin() + 8197, output.end(), 0), 16384 - 8197);
}

TEST(Lznt1, EmptyOrCutHeaderEndsTheUnitCleanly) {
  Bytes output(4096, 0xEE);
  EXPECT_TRUE(Lznt1Decode({}, output).Ok);
  EXPECT_EQ(std::count(output.begin(), output.end(), 0), 4096);
  const Bytes oneByte = {0x05};
  EXPECT_TRUE(Lznt1Decode(oneByte, output).Ok);
}

// Each damage keeps the bytes decoded before it and says what it was.
TEST(Lznt1, HostileChunksFailWithTheBytesBeforeThem) {
  const Bytes good = ChunkWriter().Literals("good").Chunk();
  struct Case {
    const char* what;
    Bytes chunk;
    size_t kept;  // in the failing chunk
  };
  const Case cases[] = {
      {"a header longer than the data", Bytes{0x40, 0xB0, 0x00, 'a', 'b'}, 0},
      {"a reference first", ChunkWriter().Raw({0x00, 0x00}).Chunk(), 0},
      {"a reference before the start", ChunkWriter().Literals("ab").Reference(3, 3).Chunk(), 2},
      {"a reference cut off", ChunkWriter::WithHeader({0x02, 'a', 0x10}, true), 1},
      {"a chunk past 4096 bytes", ChunkWriter().Literals("ab").Reference(2, 4097).Chunk(), 2},
      {"a literal past 4096 bytes",
       ChunkWriter().Literals("ab").Reference(2, 4094).Literals("r").Chunk(), 4096},
  };
  for (const Case& test : cases) {
    Bytes output(8192, 0xEE);
    const Lznt1Outcome outcome = Lznt1Decode(Join({good, test.chunk}), output);
    EXPECT_FALSE(outcome.Ok) << test.what;
    EXPECT_FALSE(outcome.Problem.empty()) << test.what;
    EXPECT_EQ(outcome.Decoded, 4096 + test.kept) << test.what;
    EXPECT_EQ(Text(output, 0, 4), "good") << test.what;
    // Nothing undecoded is left as it was: the rest is zeros.
    EXPECT_EQ(
        std::count(output.begin() + 4096 + static_cast<ptrdiff_t>(test.kept), output.end(), 0xEE),
        0)
        << test.what;
  }
}

TEST(Lznt1, MoreChunksThanTheUnitHoldsFail) {
  const Bytes chunk = ChunkWriter().Literals("one").Chunk();
  Bytes output(4096);
  const Lznt1Outcome outcome = Lznt1Decode(Join({chunk, chunk}), output);
  EXPECT_FALSE(outcome.Ok);
  EXPECT_EQ(outcome.Decoded, 4096u);
  // A unit smaller than a chunk (a unit of 2 clusters of 512 bytes) takes a stored chunk of at
  // most its own size.
  Bytes small(1024);
  EXPECT_FALSE(Lznt1Decode(ChunkWriter::WithHeader(Bytes(2000, 'z'), false), small).Ok);
  EXPECT_FALSE(Lznt1Decode(ChunkWriter().Literals(std::string(1025, 'z')).Chunk(), small).Ok);
  EXPECT_TRUE(Lznt1Decode(ChunkWriter().Literals(std::string(1024, 'z')).Chunk(), small).Ok);
}
