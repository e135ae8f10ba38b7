// Little-endian loads and stores on byte images. Every on-disk integer of NTFS, MBR and GPT is
// little-endian; these helpers keep the images correct whatever the host's byte order is.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lintora {

inline uint16_t load_u16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t load_u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t load_u64(const uint8_t* p) {
    return static_cast<uint64_t>(load_u32(p)) | (static_cast<uint64_t>(load_u32(p + 4)) << 32);
}

inline void store_u16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void store_u32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

inline void store_u64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

// Rounds up to a multiple of 8, the alignment of attributes and index entries.
constexpr uint32_t round_up8(uint32_t v) {
    return (v + 7u) & ~7u;
}

constexpr uint64_t div_round_up(uint64_t value, uint64_t unit) {
    return value / unit + (value % unit != 0 ? 1 : 0);
}

}  // namespace lintora
