// A counted UTF-16 name as labels and attribute names travel through the encoders.
#pragma once

#include <cstdint>

namespace lintora {

struct CountedName {
    uint16_t length = 0;    // in bytes; 0 or 1 counts as no name
    uint16_t capacity = 0;  // in bytes; informational only
    const char16_t* units = nullptr;
};

// Length in bytes of a possibly absent name, with the low bit cleared (whole code units).
inline uint32_t name_bytes(const CountedName* name) {
    return name == nullptr ? 0u : static_cast<uint32_t>(name->length & ~1u);
}

// Length in code units of a possibly absent name.
inline uint32_t name_units(const CountedName* name) {
    return name_bytes(name) / 2;
}

}  // namespace lintora
