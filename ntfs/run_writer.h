// Writers that put data into runs through the context's write callback, in pieces of at most
// io_chunk_size bytes.
#pragma once

#include <cstdint>

#include "ntfs/format_context.h"

namespace lintora {

// One call of the write callback with these arguments; its result unchanged.
uint64_t volume_write(const NtfsFormatContext& ctx, uint64_t offset, const uint8_t* data,
                      uint64_t count);

// Writes `value` over the run's first ceil(size / cluster_size) clusters.
ntfs_status fill_run(const NtfsFormatContext& ctx, const ClusterRun& run, uint8_t value,
                     uint64_t size);

// Writes `size` bytes of `data` into the run, zero-padding its last cluster. Without data nothing
// is written. Reports the initialized size: `size`, or 0 for a run without clusters.
ntfs_status write_run(const ClusterRun& run, const NtfsFormatContext& ctx, const uint8_t* data,
                      uint64_t size, uint64_t* initialized_size);

// Writes the first sector of `sector_image` over the volume's last sector.
ntfs_status write_backup_boot_sector(const NtfsFormatContext& ctx, const uint8_t* sector_image);

}  // namespace lintora
