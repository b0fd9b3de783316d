// The sector scanner's fast way through the file types: the same answers as Matches for every
// type in scan order. Each signature is first screened by up to four bytes that it requires at
// a fixed offset. One of those bytes, its key, picks the signature out of a bit table indexed
// by the byte the candidate holds there: OR-ing the rows of the few key offsets gives the
// signatures that can hold at all, usually none, so a unit of a drive costs a handful of table
// loads instead of a test per signature. Signatures without fixed bytes are in every row.
//
// A matcher is a snapshot: build it when a scan starts (types are neither added nor edited
// while a scan runs) and keep the database alive while it is used.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "signatures/file_types.h"

class TypeMatcher {
 public:
  explicit TypeMatcher(const FileTypeDatabase& database);

  // Calls found(type) for every type that matches the candidate, in scan order; stops when
  // found returns false.
  template <typename Found>
  void ForEachMatch(const uint8_t* candidate, size_t readable, Found&& found) const {
    if (readable < fastReadable_) return ForEachMatchSlowly(candidate, readable, found);
    size_t skipUntil = 0;  // the screens of a type that has matched
    const size_t keys = keyOffsets_.size();
    const uint64_t* row = rows_.data();
    for (size_t word = 0; word < words_; ++word, row += keys * 256) {
      uint64_t maybe = 0;
      for (size_t k = 0; k < keys; ++k) maybe |= row[k * 256 + candidate[keyOffsets_[k]]];
      while (maybe) {
        const size_t index = word * 64 + static_cast<size_t>(std::countr_zero(maybe));
        maybe &= maybe - 1;
        if (index < skipUntil) continue;
        const Screen& screen = screens_[index];
        if (!Passes(screen, candidate, readable) || !screen.signature->Holds(candidate, readable))
          continue;
        if (!found(*screen.type)) return;
        skipUntil = screen.nextType;
      }
    }
  }

  size_t ScreenCount() const { return screens_.size(); }

 private:
  // One signature: the bytes it requires at Offset (Value under Mask), when it has such bytes.
  struct Screen {
    bool screened;
    uint32_t offset;
    uint32_t value;
    uint32_t mask;
    const Signature* signature;
    FileType* type;
    size_t nextType;  // the first screen of the next type
  };

  static bool Passes(const Screen& screen, const uint8_t* candidate, size_t readable) {
    // Near the end of the readable bytes the full conditions decide.
    if (!screen.screened || readable < 4 || screen.offset > readable - 4) return true;
    uint32_t bytes;
    std::memcpy(&bytes, candidate + screen.offset, 4);
    return (bytes & screen.mask) == screen.value;
  }

  // Every screen in turn: for candidates too short for the tables' key bytes.
  template <typename Found>
  void ForEachMatchSlowly(const uint8_t* candidate, size_t readable, Found& found) const {
    size_t index = 0;
    while (index < screens_.size()) {
      const Screen& screen = screens_[index];
      if (Passes(screen, candidate, readable) && screen.signature->Holds(candidate, readable)) {
        if (!found(*screen.type)) return;
        index = screen.nextType;
      } else {
        ++index;
      }
    }
  }

  // Key bytes lie in the first unit, which every candidate of a block holds whole.
  static constexpr uint32_t kKeyWindow = 512;

  static Screen ScreenOf(const Signature& signature);
  void BuildRows();

  std::vector<Screen> screens_;
  // The byte offsets the rows are keyed by, and per 64 screens a table of 256 rows each.
  std::vector<uint32_t> keyOffsets_;
  std::vector<uint64_t> rows_;  // [word][key][byte]
  size_t words_ = 0;
  // The fewest readable bytes that hold every key byte.
  size_t fastReadable_ = 1;
};
