// A plain array of bits over a byte buffer; a volume's cluster bitmap (a set bit is an
// allocated cluster). Bit n lives in byte n / 8 at mask 1 << (n % 8).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CBitArray {
 public:
  CBitArray() = default;
  // Uses the buffer without owning it; it must hold (bitCount + 7) / 8 bytes.
  CBitArray(uint8_t* buffer, uint64_t bitCount, int fill);
  CBitArray(uint64_t bitCount, int fill);
  virtual ~CBitArray() = default;
  CBitArray(const CBitArray&) = delete;
  CBitArray& operator=(const CBitArray&) = delete;

  // The largest bit count an array takes (2^40 bits, a 128 GiB buffer).
  static constexpr uint64_t kMaxBitCount = uint64_t{1} << 40;

  // Sets the counts from bitCount (rounded up to whole bytes), takes the buffer (or allocates
  // one when it is null) and fills every byte with 0xFF or 0x00 (an external buffer too).
  // False when the array is empty afterwards: a count of 0, above kMaxBitCount, or no memory.
  bool Create(uint8_t* buffer, uint64_t bitCount, int fill);
  bool Reset(uint64_t bitCount, int fill) { return Create(nullptr, bitCount, fill); }
  void Fill(int value);

  // 1 or 0; 0 for a bit beyond the buffer.
  int Get(uint64_t bit) const;
  // Sets (value non-zero) or clears the bit; 0 and no change for a bit beyond the buffer.
  int Set(uint64_t bit, int value);
  // The first bit at or after start whose value is 1 (value non-zero) or 0; -1 when none.
  int64_t Find(uint64_t start, int value) const;
  // '1' and '0' for every bit; empty for an empty array.
  std::u16string ToString() const;

  uint8_t* Data() const { return data_; }
  bool OwnsData() const { return owned_ != nullptr; }
  uint64_t ByteCount() const { return byteCount_; }
  uint64_t BitCount() const { return bitCount_; }

 private:
  void Clear();

  uint8_t* data_ = nullptr;
  std::unique_ptr<uint8_t[]> owned_;
  uint64_t byteCount_ = 0;
  uint64_t bitCount_ = 0;
};
