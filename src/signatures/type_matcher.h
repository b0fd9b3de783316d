// The sector scanner's fast way through the file types: the same answers as Matches for every
// type in scan order, with each signature first screened by up to four bytes that it requires
// at a fixed offset, from a flat table that stays in the processor's cache. Most units of a
// drive fail every screen, so the full conditions run only for the few that pass.
//
// A matcher is a snapshot: build it when a scan starts (types are neither added nor edited
// while a scan runs) and keep the database alive while it is used.
#pragma once

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

  static Screen ScreenOf(const Signature& signature);

  std::vector<Screen> screens_;
};
