// A counted UTF-16 name as labels and attribute names travel through the encoders.
#pragma once

#include <cstdint>

namespace lintora {

struct CountedName {
    uint16_t length = 0;    // in bytes; 0 or 1 counts as no name
    uint16_t capacity = 0;  // in bytes, as the job fills it (equal to length); no encoder reads it
    const char16_t* units = nullptr;
};

// A CountedName over a NUL-terminated text, counting at most `max_units` + 1 units: a text
// longer than `max_units` comes out one unit longer than the limit, so that the encoder that
// enforces the limit refuses it.
inline CountedName counted_name(const char16_t* text, uint32_t max_units = 0x7FFE) {
    uint32_t units = 0;
    while (text != nullptr && units <= max_units && text[units] != 0) {
        ++units;
    }
    const auto bytes = static_cast<uint16_t>(2 * units);
    return CountedName{bytes, bytes, text};
}

// Length in bytes of a possibly absent name, with the low bit cleared (whole code units).
inline uint32_t name_bytes(const CountedName* name) {
    return name == nullptr ? 0u : static_cast<uint32_t>(name->length & ~1u);
}

// Length in code units of a possibly absent name.
inline uint32_t name_units(const CountedName* name) {
    return name_bytes(name) / 2;
}

}  // namespace lintora
