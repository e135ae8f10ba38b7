#include "prep/volume_format.h"

#include <algorithm>

#include "ntfs/format_volume.h"
#include "ntfs/typed_attributes.h"

namespace lintora {

namespace {

static_assert(2 * kMaxLabelUnits == kVolumeNameMaxBytes, "one label limit, in units and bytes");

constexpr uint32_t kFallbackIoChunk = 65536;

}  // namespace

uint32_t job_io_chunk(uint32_t adapter_bytes, uint32_t cluster_size) {
    if (cluster_size == 0) {
        return 0;
    }
    const uint32_t wanted =
        std::min(adapter_bytes != 0 ? adapter_bytes : kFallbackIoChunk, kMaxIoChunk);
    // Clusters above 64 KiB are written in 64 KiB steps, a multiple of every sector size, so
    // that the adapter's size is kept to within 64 KiB.
    const uint32_t unit = std::min(cluster_size, 65536u);
    return std::max(wanted / unit, 1u) * unit;
}

void setup_volume_format(const VolumeRequest& request, VolumeFormat& volume) {
    volume.label = counted_name(request.label, kMaxLabelUnits);
    volume.failure = Outcome::success();

    volume.writer = SectorWriter{};
    volume.writer.unit_size = request.io_chunk;
    volume.writer.base_offset = request.first_sector * request.bytes_per_sector;
    volume.writer.progress = request.progress;
    volume.writer.phase = kPhaseFileSystem;
    volume.writer.owner = request.owner;
    volume.writer.failure = &volume.failure;

    volume.params = NtfsFormatParams{};
    volume.params.write_user = &volume.writer;
    volume.params.write = &write_sectors;
    volume.params.volume_label = &volume.label;
    volume.params.io_chunk_size = request.io_chunk;
    volume.params.bytes_per_sector = static_cast<uint16_t>(request.bytes_per_sector);
    volume.params.cluster_size = request.cluster_size;
    volume.params.first_sector = request.first_sector;
    volume.params.sector_count = request.sector_count;
}

void set_bad_clusters(VolumeFormat& volume, std::vector<uint64_t> clusters) {
    volume.bad_clusters = std::move(clusters);
    volume.bad_cluster_hit = 0;
    volume.params.bad_clusters = volume.bad_clusters.data();
    volume.params.bad_cluster_count = static_cast<uint32_t>(volume.bad_clusters.size());
    volume.params.bad_cluster_hit = &volume.bad_cluster_hit;
}

ntfs_status count_volume(VolumeFormat& volume) {
    volume.writer.device = nullptr;
    volume.writer.units_done = 0;
    volume.writer.bytes_done = 0;
    volume.writer.units_expected = 0;
    const ntfs_status status = format_ntfs_volume(&volume.params);
    if (status == NTFS_OK) {
        volume.writer.units_expected = volume.writer.units_done;
        volume.writer.units_done = 0;
    }
    return status;
}

ntfs_status write_volume(VolumeFormat& volume, DiskIo& device) {
    volume.writer.device = &device;
    volume.writer.units_done = 0;
    volume.writer.bytes_done = 0;  // the writing pass's own bytes, not the count's as well
    return format_ntfs_volume(&volume.params);
}

}  // namespace lintora
