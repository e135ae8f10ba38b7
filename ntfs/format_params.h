// The volume formatter's input: where the volume lies, its geometry and the one way out.
#pragma once

#include <cstdint>

#include "ntfs/counted_name.h"

namespace lintora {

// Writes `length` bytes at byte `offset` from the volume's first byte; returns the number of
// bytes written. Anything other than `length` is a failure.
using NtfsWriteFn = uint64_t (*)(void* user, uint64_t offset, const uint8_t* data, uint64_t length);

struct NtfsFormatParams {
    void* write_user = nullptr;
    NtfsWriteFn write = nullptr;
    const CountedName* volume_label = nullptr;
    uint32_t io_chunk_size = 0;  // largest write of a run fill or run write
    uint16_t bytes_per_sector = 0;
    uint32_t cluster_size = 0;  // a multiple of the sector size
    uint64_t first_sector = 0;  // of the partition on the disk (the boot sector's hidden sectors)
    uint64_t sector_count = 0;  // of the volume
    // The clusters found bad before the format (ascending, each once): $BadClus maps them,
    // $Bitmap marks them in use. One that lies where a system file must go ends the run with
    // NTFS_BAD_SYSTEM_CLUSTER and, when `bad_cluster_hit` is given, its LCN there.
    const uint64_t* bad_clusters = nullptr;
    uint32_t bad_cluster_count = 0;
    uint64_t* bad_cluster_hit = nullptr;
};

}  // namespace lintora
