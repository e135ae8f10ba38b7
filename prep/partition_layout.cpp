#include "prep/partition_layout.h"

#include "platform/raw_disk.h"

namespace lintora {

Guid microsoft_reserved_type() {
    return guid_from_text("E3C9E316-0B5C-4DB8-817D-F92DF00215AE");
}
Guid basic_data_type() {
    return guid_from_text("EBD0A0A2-B9E5-4433-87C0-68B6B72699C7");
}

namespace {

constexpr uint8_t kMbrTypeNtfs = 0x07;
constexpr uint64_t kMbrMaxSectors = 0xFFFFFFFFull;
constexpr uint64_t kMbrTailSectors = 63;
constexpr uint64_t kGptBackupSectors = 33;  // backup entry array and header
constexpr uint32_t kGptMaxPartitions = 128;

void copy_name(char16_t (&out)[kGptNameUnits], const char16_t* name) {
    for (uint32_t i = 0; i < kGptNameUnits && name[i] != 0; ++i) {
        out[i] = name[i];
    }
}

PartitionRecord gpt_partition(uint32_t number, uint64_t start, uint64_t sectors, const Guid& type,
                              const Guid& id, const char16_t* name, uint32_t bytes_per_sector) {
    PartitionRecord p;
    p.style = LayoutStyle::gpt;
    p.starting_offset = start * bytes_per_sector;
    p.length = sectors * bytes_per_sector;
    p.number = number;
    p.rewrite = true;
    p.gpt_type = type;
    p.gpt_id = id;
    copy_name(p.gpt_name, name);
    return p;
}

}  // namespace

FormatJobResult compute_partition_geometry(uint64_t sector_count, uint32_t bytes_per_sector,
                                           PartitionStyle style, PartitionGeometry* geometry) {
    if (bytes_per_sector == 0 || (style != PartitionStyle::mbr && style != PartitionStyle::gpt)) {
        return kJobTooSmall;
    }
    const uint64_t b = bytes_per_sector;
    PartitionGeometry g;
    g.spm = (1048576 + b - 1) / b;
    g.msr_sectors = (134217728 + b - 1) / b;
    uint64_t total = sector_count;
    if (style == PartitionStyle::mbr) {
        if (total > kMbrMaxSectors) {
            total = kMbrMaxSectors;
        }
        g.data_start = g.spm;
        if (total < 2 * g.spm + kMbrTailSectors) {
            return kJobTooSmall;
        }
        g.data_sectors = (total - 2 * g.spm - kMbrTailSectors) / g.spm * g.spm;
    } else {
        g.data_start = (g.spm + g.msr_sectors + kGptReservedStart - 1) / g.spm * g.spm;
        if (total < g.data_start + kGptBackupSectors) {
            return kJobTooSmall;
        }
        g.data_sectors = (total - g.data_start - kGptBackupSectors) / g.spm * g.spm;
    }
    *geometry = g;
    return kJobSucceeded;
}

Outcome draw_disk_guids(PartitionStyle style, DiskSystem& system, DiskGuids* guids) {
    *guids = DiskGuids{};
    if (style != PartitionStyle::gpt) {
        return Outcome::success();
    }
    for (Guid* guid :
         {&guids->create_disk_id, &guids->layout_disk_id, &guids->reserved_id, &guids->data_id}) {
        const Outcome made = system.make_guid(guid);
        if (!made.ok()) {
            return made;
        }
    }
    return Outcome::success();
}

CreateDiskRecord make_create_disk(PartitionStyle style, const DiskGuids& guids) {
    CreateDiskRecord record;
    if (style == PartitionStyle::gpt) {
        record.style = LayoutStyle::gpt;
        record.gpt_disk_id = guids.create_disk_id;
        record.max_partition_count = kGptMaxPartitions;
    }
    return record;
}

DriveLayoutRecord make_drive_layout(PartitionStyle style, const PartitionGeometry& geometry,
                                    uint32_t bytes_per_sector, const DiskGuids& guids) {
    DriveLayoutRecord layout;
    if (style == PartitionStyle::mbr) {
        layout.style = LayoutStyle::mbr;
        layout.count = 4;
        PartitionRecord data;
        data.style = LayoutStyle::mbr;
        data.starting_offset = geometry.data_start * bytes_per_sector;
        data.length = geometry.data_sectors * bytes_per_sector;
        data.number = 1;
        data.rewrite = true;
        data.mbr_type = kMbrTypeNtfs;
        data.recognized = true;
        data.hidden_sectors = static_cast<uint32_t>(geometry.data_start);
        layout.entries.push_back(data);
        return layout;
    }
    layout.style = LayoutStyle::gpt;
    layout.count = kGptMaxPartitions;
    layout.gpt_disk_id = guids.layout_disk_id;
    layout.gpt_max_partition_count = kGptMaxPartitions;

    layout.entries.push_back(gpt_partition(1, kGptReservedStart, geometry.msr_sectors,
                                           microsoft_reserved_type(), guids.reserved_id,
                                           u"Microsoft reserved partition", bytes_per_sector));
    layout.entries.push_back(gpt_partition(2, geometry.data_start, geometry.data_sectors,
                                           basic_data_type(), guids.data_id,
                                           u"Basic data partition", bytes_per_sector));
    return layout;
}

ClusterChoice data_cluster_size(const DiskInfo& disk, const FormatJobParams& params,
                                const PartitionGeometry& geometry) {
    // The parameters carry the size as a signed 32-bit number, 0 (kAutomaticClusterSize) for
    // the automatic choice; a negative one is refused as what it is.
    if (params.cluster_size < 0) {
        ClusterChoice refused;
        refused.refusal =
            "the cluster size cannot be negative, not " + std::to_string(params.cluster_size);
        return refused;
    }
    return choose_cluster_size(static_cast<uint32_t>(params.cluster_size), disk.bytes_per_sector,
                               geometry.data_sectors);
}

VolumeRequest data_volume_request(const DiskInfo& disk, const FormatJobParams& params,
                                  const PartitionGeometry& geometry) {
    const uint32_t cluster_size = data_cluster_size(disk, params, geometry).cluster_size;
    VolumeRequest request;
    request.label = params.volume_label;
    request.bytes_per_sector = disk.bytes_per_sector;
    request.cluster_size = cluster_size;
    request.first_sector = geometry.data_start;
    request.sector_count = geometry.data_sectors;
    request.io_chunk = job_io_chunk(disk.io_chunk_size, cluster_size);
    return request;
}

}  // namespace lintora
