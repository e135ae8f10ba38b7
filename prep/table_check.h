// The partition table read back from the medium and compared with the layout that was set:
// whoever wrote it (the system's partition manager, or this program as sectors), the disk must
// now hold it. Only what identifies the partitions is compared: the signatures, the disk's GUID
// and each entry's type, GUID and extent.
#pragma once

#include <cstdint>

#include "platform/encoding/drive_layout.h"
#include "platform/outcome.h"

namespace lintora {

class DiskIo;

// Flushes, drops the cache and reads the table back; a difference names what differs. On
// success `bytes_compared` (when given) learns how many bytes were read and checked.
Outcome check_partition_table(DiskIo& device, const DriveLayoutRecord& layout, uint32_t sector_size,
                              uint64_t* bytes_compared = nullptr);

}  // namespace lintora
