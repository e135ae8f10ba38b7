// A GUID in its 16-byte stored form (the first three fields little-endian), as GPT and the
// Windows structures hold it.
#pragma once

#include <cstdint>
#include <string>

namespace lintora {

struct Guid {
    uint8_t bytes[16] = {};

    bool operator==(const Guid&) const = default;
};

// From the registry form "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (no braces); zero on bad text.
Guid guid_from_text(const char* text);
std::string guid_to_text(const Guid& guid);

}  // namespace lintora
