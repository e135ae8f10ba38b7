// The partitions of a prepared disk: their geometry, the re-initialisation record and the final
// drive layout.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/encoding/drive_layout.h"
#include "platform/outcome.h"
#include "prep/cluster_size.h"
#include "prep/format_job.h"
#include "prep/volume_format.h"

namespace lintora {

class DiskSystem;

inline constexpr uint32_t kMbrLayoutBytes = kLayoutHeaderBytes + 4 * kLayoutEntryBytes;
inline constexpr uint32_t kGptLayoutBytes = kLayoutHeaderBytes + 128 * kLayoutEntryBytes;

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
                                           PartitionStyle style, PartitionGeometry* geometry);

// The data partition's cluster size: the job's, or the automatic choice by the partition's size
// (kAutomaticClusterSize), or the sentence that refuses it.
ClusterChoice data_cluster_size(const DiskInfo& disk, const FormatJobParams& params,
                                const PartitionGeometry& geometry);

// The volume of the data partition: the job's label and cluster size (0 when refused), the
// disk's sectors and transfer size; no progress callback.
VolumeRequest data_volume_request(const DiskInfo& disk, const FormatJobParams& params,
                                  const PartitionGeometry& geometry);

// The GPT partition type of the Microsoft reserved partition and of basic data.
Guid microsoft_reserved_type();
Guid basic_data_type();

// The new GUIDs a GPT disk gets: the disk id of its re-initialisation, a second one for the final
// layout, and one for each partition. They are drawn before anything is written, so that a
// system without randomness refuses the job instead of writing a fixed pattern.
struct DiskGuids {
    Guid create_disk_id;
    Guid layout_disk_id;
    Guid reserved_id;
    Guid data_id;
};
// Draws what `style` needs (MBR: nothing); the system's reason when a GUID cannot be made.
Outcome draw_disk_guids(PartitionStyle style, DiskSystem& system, DiskGuids* guids);

CreateDiskRecord make_create_disk(PartitionStyle style, const DiskGuids& guids);

// MBR: one NTFS entry. GPT: the reserved partition at sector 34, then the data partition.
DriveLayoutRecord make_drive_layout(PartitionStyle style, const PartitionGeometry& geometry,
                                    uint32_t bytes_per_sector, const DiskGuids& guids);

}  // namespace lintora
