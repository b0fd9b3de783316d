#include "signatures/format_rules.h"

void ApplyFormatRules(CVolume&, std::span<const uint8_t>, size_t, FoundObject&) {}
