// The single sink of every byte a disk preparation job writes: positions each request on the
// disk, writes it, and counts progress units. With no device it only counts.
#pragma once

#include <cstdint>
#include <string>

#include "platform/outcome.h"

namespace lintora {

class DiskIo;

// Progress: (phase, units done, units expected or 0 when unknown, owner); the result is ignored.
using ProgressFn = int (*)(int32_t phase, uint32_t units_done, uint32_t units_expected,
                           void* owner);

inline constexpr int32_t kPhaseWipe = 0;
inline constexpr int32_t kPhaseFileSystem = 2;

struct SectorWriter {
    DiskIo* device = nullptr;  // none: count only
    uint32_t unit_size = 0;    // bytes per progress unit, not 0
    uint64_t base_offset = 0;  // added to every request
    ProgressFn progress = nullptr;
    int32_t phase = 0;
    uint32_t units_done = 0;
    uint32_t units_expected = 0;
    uint64_t bytes_done = 0;  // the bytes of every write done (or counted)
    void* owner = nullptr;
    // When set, a failed write leaves here what failed, with the system's reason and its class.
    Outcome* failure = nullptr;
};

// The shape of the format callback, with the SectorWriter as `writer`: returns `length` on
// success and 0 on failure (a length above 32 bits, a failed or short write, no unit size).
uint64_t write_sectors(void* writer, uint64_t offset, const uint8_t* data, uint64_t length);

}  // namespace lintora
