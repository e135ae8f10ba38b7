// A write that the system reports as shorter than asked. Some USB bridges answer so on large
// disks for data they did write, so the report alone does not decide: the range is read back at
// once, and the write counts as done when the disk holds every byte of it.
#pragma once

#include <cstdint>

#include "platform/outcome.h"

namespace lintora {

class DiskIo;

// Reads [offset, offset + length) back through `disk` and compares it with `data`. Success when
// it matches; otherwise the failure names the reported count (and the read's reason, if the
// read-back itself failed).
Outcome settle_short_write(DiskIo& disk, uint64_t offset, const uint8_t* data, uint32_t length,
                           uint32_t reported);

}  // namespace lintora
