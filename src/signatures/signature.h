// Signatures: the byte patterns that say where a file of a type begins. A signature is a list
// of conditions that must all hold at a candidate position; a type matches when any of its
// signatures holds. The serialized forms are described in docs/formats/filesig.md.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Condition kinds as they are stored. A stored kind that is none of these always holds.
enum ConditionKind : uint32_t {
  CondByte = 1,
  CondWord = 2,
  CondDword = 4,
  CondQword = 8,
  CondByteRange = 16,
  CondWordRange = 32,
  CondBytes = 256,
  CondFindBytes = 4096,
  CondFindText = 8192,
  CondMasked = 65536,
  CondMaskedBits = 131072,
};

// The search kinds look for their payload at the first 512 - length positions of the window.
constexpr uint32_t kSearchWindow = 512;

constexpr size_t kConditionHeaderSize = 32;
constexpr size_t kSignatureHeaderSize = 20;

struct SignatureCondition {
  uint32_t Kind = 0;
  int32_t Offset = 0;   // of the tested bytes, from the candidate's start
  uint16_t Repeat = 0;  // the fixed-width and range kinds test positions 0..Repeat
  uint16_t Length = 0;  // payload length, or the compare length of the masked kinds
  std::array<uint8_t, 16> Reserved{};
  std::vector<uint8_t> Payload;

  // A condition as the program creates one: with length 0 the payload length comes from the
  // kind (1, 2, 4, 8 for the fixed widths, 1024 for the masked kinds, else 0), zero-filled.
  static SignatureCondition Create(uint32_t kind, int32_t offset, uint16_t length = 0);
  // A condition that compares the given bytes; Length is their count.
  static SignatureCondition WithPayload(uint32_t kind, int32_t offset,
                                        std::vector<uint8_t> payload);

  uint32_t RecordSize() const {
    return static_cast<uint32_t>(kConditionHeaderSize + Payload.size());
  }

  // True when the condition holds at candidate, of which readable bytes may be read. Reads
  // nothing outside [candidate, candidate + readable) and allocates nothing.
  bool Holds(const uint8_t* candidate, size_t readable) const;

  // Whether the payload is large enough for what the kind and Length make Holds compare.
  // A condition that is not consistent never holds; signature files with one are refused.
  bool IsConsistent() const;
};

struct Signature {
  std::array<uint8_t, 4> Reserved0{};
  std::array<uint8_t, 8> Reserved8{};
  std::vector<SignatureCondition> Conditions;

  uint32_t SerializedSize() const;
  // Every condition in order; evaluation stops at the first that fails.
  bool Holds(const uint8_t* candidate, size_t readable) const;
};
