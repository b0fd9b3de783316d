// The per-format rules of the sector scan: sizes and subtypes that a lost file's own header
// gives, applied to each object the scanner creates before it is handed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "filesystems/found_object.h"

class CVolume;

// block holds only the bytes actually read; unitOffset is the candidate unit's offset in it.
void ApplyFormatRules(CVolume& volume, std::span<const uint8_t> block, size_t unitOffset,
                      FoundObject& object);
