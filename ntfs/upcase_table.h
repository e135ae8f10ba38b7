// The 65536-entry upper-case table written as $UpCase and used to order file names, expanded from
// three compact tables.
#pragma once

#include <cstdint>

namespace lintora {

inline constexpr uint32_t kUpcaseEntries = 0x10000;
inline constexpr uint32_t kUpcaseBytes = 2 * kUpcaseEntries;

// Fills `buffer` (`size` bytes, 0x20000 for the whole table) with little-endian u16 entries.
void build_upcase_table(uint32_t size, uint8_t* buffer);

}  // namespace lintora
