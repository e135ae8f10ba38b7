#include "prep/format_job.h"

#include <array>
#include <memory>
#include <new>

#include "ntfs/format_volume.h"
#include "ntfs/status.h"
#include "platform/raw_disk.h"
#include "prep/partition_layout.h"

namespace lintora {

namespace {

constexpr uint32_t kWipedSectors = 32;
constexpr uint64_t kMbrMaxSectors = 0xFFFFFFFFull;
constexpr uint64_t kMbrTailSectors = 63;
constexpr uint64_t kGptBackupSectors = 33;  // backup entry array and header

// The disk and its volume handles; closed volumes first (A: to Z:), then the disk, on every way
// out of the job.
struct JobHandles {
    std::unique_ptr<DiskDevice> disk;
    std::array<std::unique_ptr<DiskDevice>, 26> volumes;

    ~JobHandles() {
        for (auto& volume : volumes) {
            volume.reset();
        }
        disk.reset();
    }
};

std::unique_ptr<uint8_t[]> zeroed_buffer(uint32_t size) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]());
}

// Step 3: tell the shell each drive goes away, then lock and dismount its volume.
FormatJobResult take_volumes_away(const DiskInfo& disk, DiskSystem& system, JobHandles& handles) {
    for (int n = 0; n < 26; ++n) {
        if (((disk.drive_letters >> n) & 1u) == 0) {
            continue;
        }
        const char letter = static_cast<char>('A' + n);
        system.notify_drive_removed(letter);
        handles.volumes[static_cast<size_t>(n)] = system.open_volume(letter);
        DiskDevice* volume = handles.volumes[static_cast<size_t>(n)].get();
        if (volume == nullptr || !volume->lock_volume() || !volume->dismount_volume()) {
            return kJobRefused;
        }
    }
    return kJobSucceeded;
}

// Step 4: zeros over sectors 0 to 31.
FormatJobResult wipe_start(const DiskInfo& disk, uint32_t io_chunk, DiskDevice& device,
                           ProgressFn progress, void* owner) {
    const uint32_t sector = disk.bytes_per_sector;
    std::unique_ptr<uint8_t[]> zeros = zeroed_buffer(sector);
    if (!zeros) {
        return kJobNoMemory;
    }
    SectorWriter wipe;
    wipe.device = &device;
    wipe.unit_size = io_chunk;
    wipe.progress = progress;
    wipe.phase = kPhaseWipe;
    wipe.owner = owner;
    for (uint32_t i = 0; i < kWipedSectors; ++i) {
        if (write_sectors(&wipe, uint64_t{i} * sector, zeros.get(), sector) != sector) {
            return i == 0 ? kJobRefused : kJobWriteFailed;
        }
    }
    return kJobSucceeded;
}

// Step 6: the counting pass, then the writing pass that knows its total.
FormatJobResult write_file_system(const DiskInfo& disk, const FormatJobParams& params,
                                  const PartitionGeometry& geometry, uint32_t io_chunk,
                                  DiskDevice& device, ProgressFn progress, void* owner) {
    uint16_t label_units = 0;
    while (label_units < kLabelUnits && params.volume_label[label_units] != 0) {
        ++label_units;
    }
    const CountedName label{static_cast<uint16_t>(2 * label_units),
                            static_cast<uint16_t>(2 * label_units), params.volume_label};
    SectorWriter writer;
    writer.unit_size = io_chunk;
    writer.base_offset = geometry.data_start * disk.bytes_per_sector;
    writer.progress = progress;
    writer.phase = kPhaseFileSystem;
    writer.owner = owner;

    NtfsFormatParams format;
    format.write_user = &writer;
    format.write = &write_sectors;
    format.volume_label = &label;
    format.io_chunk_size = io_chunk;
    format.bytes_per_sector = static_cast<uint16_t>(disk.bytes_per_sector);
    format.cluster_size = static_cast<uint32_t>(params.cluster_size);
    format.first_sector = geometry.data_start;
    format.sector_count = geometry.data_sectors;

    FormatJobResult result = job_result_for(format_ntfs_volume(&format));
    if (result != kJobSucceeded) {
        return result;
    }
    writer.units_expected = writer.units_done;
    writer.units_done = 0;
    writer.device = &device;
    return job_result_for(format_ntfs_volume(&format));
}

// Step 8: the partition table, then a re-read of the disk's properties.
FormatJobResult write_partition_table(const DiskInfo& disk, const FormatJobParams& params,
                                      const PartitionGeometry& geometry, DiskSystem& system,
                                      DiskDevice& device) {
    const uint32_t size = params.partition_style == kStyleGpt ? kGptLayoutBytes : kMbrLayoutBytes;
    {
        std::unique_ptr<uint8_t[]> buffer = zeroed_buffer(size);
        if (!buffer) {
            return kJobNoMemory;
        }
        encode_drive_layout(
            make_drive_layout(params.partition_style, geometry, disk.bytes_per_sector, system),
            buffer.get(), size);
        if (!device.set_drive_layout(buffer.get(), size)) {
            return kJobRefused;
        }
    }
    return device.update_properties() ? kJobSucceeded : kJobRefused;
}

}  // namespace

FormatJobResult job_result_for(uint32_t ntfs_code) {
    switch (ntfs_code) {
        case NTFS_OK:
            return kJobSucceeded;
        case NTFS_NO_MEMORY:
            return kJobNoMemory;
        case NTFS_NO_SPACE:
            return kJobTooSmall;
        case NTFS_WRITE_FAILED:
            return kJobWriteFailed;
        default:
            return kJobFormatFailed;
    }
}

FormatJobResult compute_partition_geometry(uint64_t sector_count, uint32_t bytes_per_sector,
                                           int32_t partition_style, PartitionGeometry* geometry) {
    if (bytes_per_sector == 0) {
        return kJobTooSmall;
    }
    PartitionGeometry g;
    g.spm = (1048576u + bytes_per_sector - 1) / bytes_per_sector;
    g.msr_sectors = (134217728u + bytes_per_sector - 1) / bytes_per_sector;
    uint64_t total = sector_count;
    if (partition_style == kStyleMbr) {
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

FormatJobResult prepare_disk(void* owner, const DiskInfo& disk, const FormatJobParams& params,
                             DiskSystem& system, ProgressFn progress) {
    PartitionGeometry geometry;
    FormatJobResult result = compute_partition_geometry(disk.sector_count, disk.bytes_per_sector,
                                                        params.partition_style, &geometry);
    if (result != kJobSucceeded) {
        return result;
    }
    // An adapter that reports no transfer limit still gets bounded writes and progress units.
    const uint32_t io_chunk = disk.io_chunk_size != 0 ? disk.io_chunk_size : kFallbackIoChunk;

    JobHandles handles;
    handles.disk = system.open_disk(disk.interface_path);
    if (!handles.disk) {
        return kJobRefused;
    }
    DiskDevice& device = *handles.disk;
    result = take_volumes_away(disk, system, handles);
    if (result == kJobSucceeded) {
        result = wipe_start(disk, io_chunk, device, progress, owner);
    }
    if (result == kJobSucceeded) {
        result = device.create_disk(make_create_disk(params.partition_style, system)) &&
                         device.update_properties()
                     ? kJobSucceeded
                     : kJobRefused;
    }
    if (result == kJobSucceeded) {
        result = write_file_system(disk, params, geometry, io_chunk, device, progress, owner);
    }
    if (result == kJobSucceeded && !device.flush()) {
        result = kJobWriteFailed;
    }
    if (result == kJobSucceeded) {
        result = write_partition_table(disk, params, geometry, system, device);
    }
    return result;
}

}  // namespace lintora
