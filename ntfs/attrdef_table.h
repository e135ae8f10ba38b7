// The $AttrDef image: the NTFS 1.2 attribute definitions, zero-padded to 36000 bytes.
#pragma once

#include <cstdint>

namespace lintora {

inline constexpr uint32_t kAttrDefBytes = 36000;
inline constexpr uint32_t kAttrDefEntryBytes = 160;

// Fills `buffer` (`size` bytes, 36000 for the whole image).
void build_attrdef_table(uint32_t size, uint8_t* buffer);

}  // namespace lintora
