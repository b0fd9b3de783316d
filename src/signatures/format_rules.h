// The rules that run on every lost file the sector scan creates, before it is handed over:
// they take the size from the file's own header where the format gives one, refine a compound
// document's type from its directory, and move the start of formats whose signature lies inside
// the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "filesystems/found_object.h"
#include "signatures/compound_document.h"

class CVolume;

// Type ids the rules key on (besides the compound document's).
constexpr int16_t kTypeAvi = 524;
constexpr int16_t kTypeBitmap = 525;
constexpr int16_t kTypeSignatureAt32K = 526;
constexpr int16_t kTypeNtfsIndexRecord = 25;

// The distance of a type-526 signature from the start of its file.
constexpr int64_t kSignatureAt32KOffset = 32768;

// block holds only the bytes actually read; unitOffset is the candidate unit's offset in it,
// whose byte position on the volume is object.Start. A rule that needs bytes past the block
// reads them from the volume. Changes start, size, type id, flags and id in place.
void ApplyFormatRules(CVolume& volume, std::span<const uint8_t> block, size_t unitOffset,
                      FoundObject& object);
