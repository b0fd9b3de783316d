#include "volumes/bit_array.h"

#include <bit>
#include <cstring>
#include <new>

CBitArray::CBitArray(uint8_t* buffer, uint64_t bitCount, int fill) {
  Create(buffer, bitCount, fill);
}

CBitArray::CBitArray(uint64_t bitCount, int fill) { Create(nullptr, bitCount, fill); }

void CBitArray::Clear() {
  owned_.reset();
  data_ = nullptr;
  byteCount_ = 0;
  bitCount_ = 0;
}

bool CBitArray::Create(uint8_t* buffer, uint64_t bitCount, int fill) {
  Clear();
  if (bitCount == 0 || bitCount > kMaxBitCount) return false;
  uint64_t bytes = (bitCount + 7) / 8;
  if (buffer) {
    data_ = buffer;
  } else {
    owned_.reset(new (std::nothrow) uint8_t[bytes]);
    if (!owned_) return false;
    data_ = owned_.get();
  }
  byteCount_ = bytes;
  bitCount_ = bytes * 8;
  Fill(fill);
  return true;
}

void CBitArray::Fill(int value) {
  if (data_) std::memset(data_, value ? 0xFF : 0x00, byteCount_);
}

int CBitArray::Get(uint64_t bit) const {
  if (!data_ || bit / 8 >= byteCount_) return 0;
  return (data_[bit / 8] >> (bit % 8)) & 1;
}

int CBitArray::Set(uint64_t bit, int value) {
  if (!data_ || bit / 8 >= byteCount_) return 0;
  uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
  if (value)
    data_[bit / 8] |= mask;
  else
    data_[bit / 8] &= static_cast<uint8_t>(~mask);
  return 1;
}

int64_t CBitArray::Find(uint64_t start, int value) const {
  if (!data_ || start >= bitCount_) return -1;
  // A 64-bit word at a time: bytes are little-endian, so bit n of the word is bit n of the array.
  for (uint64_t word = start / 64; word * 8 < byteCount_; ++word) {
    uint64_t bits = 0;
    uint64_t offset = word * 8;
    std::memcpy(&bits, data_ + offset, byteCount_ - offset < 8 ? byteCount_ - offset : 8);
    uint64_t matches = value ? bits : ~bits;
    if (word == start / 64) matches &= ~uint64_t{0} << (start % 64);
    if (matches) {
      uint64_t found = word * 64 + static_cast<uint64_t>(std::countr_zero(matches));
      return found < bitCount_ ? static_cast<int64_t>(found) : -1;
    }
  }
  return -1;
}

std::u16string CBitArray::ToString() const {
  std::u16string text;
  text.reserve(bitCount_);
  for (uint64_t bit = 0; bit < bitCount_; ++bit) text.push_back(Get(bit) ? u'1' : u'0');
  return text;
}
