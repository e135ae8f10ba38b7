// The re-initialisation record and the final drive layout of a prepared disk.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/drive_layout.h"
#include "prep/format_job.h"

namespace lintora {

inline constexpr uint32_t kMbrLayoutBytes = kLayoutHeaderBytes + 4 * kLayoutEntryBytes;
inline constexpr uint32_t kGptLayoutBytes = kLayoutHeaderBytes + 128 * kLayoutEntryBytes;

// The GPT partition type of the Microsoft reserved partition and of basic data.
Guid microsoft_reserved_type();
Guid basic_data_type();

CreateDiskRecord make_create_disk(int32_t partition_style, DiskSystem& system);

// MBR: one NTFS entry. GPT: the reserved partition at sector 34, then the data partition.
DriveLayoutRecord make_drive_layout(int32_t partition_style, const PartitionGeometry& geometry,
                                    uint32_t bytes_per_sector, DiskSystem& system);

}  // namespace lintora
