// The disk preparation job: turns one external disk into an empty NTFS disk with a new MBR or
// GPT partition table.
#pragma once

#include <cstdint>

#include "discovery/disk_info.h"
#include "prep/sector_writer.h"

namespace lintora {

class DiskSystem;

inline constexpr int32_t kStyleGpt = 0;
inline constexpr int32_t kStyleMbr = 1;
inline constexpr uint32_t kLabelUnits = 261;

struct FormatJobParams {
    int32_t partition_style = kStyleMbr;
    char16_t volume_label[kLabelUnits] = {};  // NUL-terminated
    int32_t cluster_size = 4096;
};

using FormatJobResult = int32_t;
inline constexpr FormatJobResult kJobSucceeded = 0;
inline constexpr FormatJobResult kJobRefused = 1;      // open, lock, dismount or a request refused
inline constexpr FormatJobResult kJobWriteFailed = 2;  // a later write or the flush failed
inline constexpr FormatJobResult kJobTooSmall = 3;     // no room for the layout
inline constexpr FormatJobResult kJobNoMemory = 4;
inline constexpr FormatJobResult kJobFormatFailed = 5;

// Transfer size assumed for a disk whose adapter reports none.
inline constexpr uint32_t kFallbackIoChunk = 65536;

// The reserved partition starts right behind the primary GPT header and its entry sectors.
inline constexpr uint64_t kGptReservedStart = 34;

// The partitions of the new disk, in logical sectors.
struct PartitionGeometry {
    uint64_t spm = 0;          // sectors per MiB: the data partition's alignment unit
    uint64_t msr_sectors = 0;  // the reserved partition (GPT)
    uint64_t data_start = 0;
    uint64_t data_sectors = 0;
};

// kJobSucceeded with the geometry, or kJobTooSmall when the disk cannot hold the layout.
FormatJobResult compute_partition_geometry(uint64_t sector_count, uint32_t bytes_per_sector,
                                           int32_t partition_style, PartitionGeometry* geometry);

// Runs the whole job on `disk` through `system`. `progress` receives every write's progress with
// `owner`. Every handle is closed and every buffer freed before it returns.
FormatJobResult prepare_disk(void* owner, const DiskInfo& disk, const FormatJobParams& params,
                             DiskSystem& system, ProgressFn progress);

// Maps a format driver code to the job's result.
FormatJobResult job_result_for(uint32_t ntfs_code);

}  // namespace lintora
