#include "prep/full_format.h"

#include <algorithm>

#include "platform/raw_disk.h"

namespace lintora {

Outcome check_room_for_full_format(DiskSystem& system, const char16_t* path) {
    uint64_t missing = 0;
    Outcome measured = system.room_missing_to_fill(path, &missing);
    if (!measured.ok()) {
        measured.reason = "cannot measure the room for a full format: " + measured.reason;
        return measured;
    }
    return missing == 0 ? Outcome::success()
                        : Outcome::failure("its file system lacks " + std::to_string(missing) +
                                           " bytes to hold every byte of the image");
}

ZeroedVolume zero_volume(VolumeFormat& volume, DiskIo& device, const ZeroFillRequest& zero) {
    ZeroedVolume zeroed;
    ZeroFillResult result;
    zeroed.outcome = zero_fill(device, zero, &result);
    zeroed.zeroed_end = result.zeroed_end;
    zeroed.flushed_end = result.flushed_end;
    zeroed.verified_bytes = result.verified_bytes;
    zeroed.bad_sectors = result.bad_sectors;
    if (!zeroed.outcome.ok()) {
        zeroed.outcome.reason = "zeroing failed: " + zeroed.outcome.reason;
        return zeroed;
    }
    if (result.bad_sectors.empty()) {
        return zeroed;
    }
    const uint64_t volume_offset = volume.writer.base_offset;
    const uint32_t cluster_size = volume.params.cluster_size;
    std::vector<uint64_t> clusters;
    zeroed.outcome =
        clusters_of_bad_sectors(result.bad_sectors, volume_offset,
                                volume.params.sector_count * volume.params.bytes_per_sector,
                                volume.params.bytes_per_sector, cluster_size, &clusters);
    if (!zeroed.outcome.ok()) {
        zeroed.count_status = NTFS_BAD_SYSTEM_CLUSTER;
        return zeroed;
    }
    set_bad_clusters(volume, std::move(clusters));
    zeroed.count_status = count_volume(volume);
    std::string failure;
    if (zeroed.count_status == NTFS_BAD_SYSTEM_CLUSTER) {
        // The first bad sector of the cluster the formatter could not give up.
        const uint64_t cluster_start = volume_offset + volume.bad_cluster_hit * cluster_size;
        const auto bad =
            std::lower_bound(result.bad_sectors.begin(), result.bad_sectors.end(), cluster_start);
        failure = "the bad sector at byte " +
                  std::to_string(bad != result.bad_sectors.end() ? *bad : cluster_start) +
                  " lies where the file system's own structures must go";
    } else if (zeroed.count_status == NTFS_TOO_MANY_BAD_CLUSTERS) {
        failure = "too many bad sectors (" + std::to_string(result.bad_sectors.size()) + " in " +
                  std::to_string(volume.bad_clusters.size()) +
                  " clusters) for the volume's bad-cluster list";
    } else if (zeroed.count_status != NTFS_OK) {
        failure = std::string("formatting failed after the zero pass: ") +
                  ntfs_status_text(zeroed.count_status);
    }
    if (zeroed.count_status != NTFS_OK) {
        zeroed.outcome = Outcome::failure(std::move(failure));
    }
    return zeroed;
}

ZeroedVolume run_zero_pass(VolumeFormat& volume, DiskIo& device, uint64_t length,
                           uint32_t sector_size, bool verify, ProgressSpan& span) {
    ZeroFillRequest zero;
    zero.length = length;
    zero.sector_size = sector_size;
    zero.piece = volume.writer.unit_size;
    zero.verify = verify;
    zero.progress = &span;
    span.total += zero_fill_units(zero);
    span.begin_pass(RunPhase::zeroing, zero_fill_units(zero), verify ? 2 : 1);
    const ZeroedVolume zeroed = zero_volume(volume, device, zero);
    if (zeroed.outcome.ok()) {
        span.pass_done(zero_fill_units(zero));
        // The bad clusters change the file system's writes a little.
        span.total = span.before + file_system_units(volume, verify);
    }
    return zeroed;
}

}  // namespace lintora
