#include "prep/cluster_size.h"

#include <algorithm>

#include "ntfs/cluster_limits.h"

namespace lintora {

namespace {

std::string count_text(uint64_t sector_count, uint32_t bytes_per_sector) {
    return std::to_string(sector_count) + " sectors of " + std::to_string(bytes_per_sector) +
           " bytes";
}

// The largest volume with `cluster_size` clusters, in binary units ("16 TiB").
std::string largest_volume_text(uint32_t cluster_size) {
    const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    uint64_t size = (kMaxVolumeClusters + 1) / 1024 * cluster_size;  // in KiB
    size_t unit = 0;
    while (size >= 1024 && size % 1024 == 0 && unit + 1 < std::size(units)) {
        size /= 1024;
        ++unit;
    }
    return std::to_string(size) + " " + units[unit];
}

// The smallest valid power of two from `from` whose count fits, or 0.
uint32_t smallest_fitting(uint32_t from, uint32_t bytes_per_sector, uint64_t sector_count) {
    for (uint32_t size = from; size <= kMaxClusterSize; size *= 2) {
        if (volume_cluster_count(sector_count, bytes_per_sector, size) <= kMaxVolumeClusters) {
            return size;
        }
    }
    return 0;
}

// How a refused volume can be formatted anyway: the smallest size that fits, if any.
std::string way_out(uint32_t fitting, const char* after) {
    return fitting != 0 ? ": use --cluster-size " + std::to_string(fitting) + " or larger" + after
                        : ": no cluster size up to 2 MiB is large enough";
}

}  // namespace

ClusterChoice choose_cluster_size(uint32_t requested, uint32_t bytes_per_sector,
                                  uint64_t sector_count) {
    ClusterChoice choice;
    if (requested == kAutomaticClusterSize) {
        const uint32_t fitting =
            smallest_fitting(std::max(4096u, bytes_per_sector), bytes_per_sector, sector_count);
        if (fitting != 0 && fitting <= kLargestAutomaticCluster) {
            choice.cluster_size = fitting;
            return choice;
        }
        const uint64_t clusters =
            volume_cluster_count(sector_count, bytes_per_sector, kLargestAutomaticCluster);
        choice.refusal =
            count_text(sector_count, bytes_per_sector) + " make " + std::to_string(clusters) +
            " clusters even of 65536 bytes, the largest size chosen automatically; NTFS allows "
            "at most 4294967295 (256 TiB with 65536-byte clusters), and clusters above 64 KiB "
            "need Windows 10 version 1709 or later to mount";
        choice.refusal += way_out(fitting, " to format it anyway");
        return choice;
    }
    if (!is_valid_cluster_size(requested, bytes_per_sector)) {
        // The floor named is the one this formatter keeps, not NTFS's (the sector size).
        choice.refusal = "the cluster size must be a power of two from " +
                         std::to_string(std::max(kSmallestCluster, bytes_per_sector)) +
                         " bytes to 2097152 bytes (2 MiB), not " + std::to_string(requested);
        return choice;
    }
    const uint64_t clusters = volume_cluster_count(sector_count, bytes_per_sector, requested);
    if (clusters > kMaxVolumeClusters) {
        const uint32_t fitting = smallest_fitting(requested, bytes_per_sector, sector_count);
        choice.refusal = count_text(sector_count, bytes_per_sector) + " make " +
                         std::to_string(clusters) + " clusters of " + std::to_string(requested) +
                         " bytes; NTFS allows at most 4294967295 (" +
                         largest_volume_text(requested) + " with " + std::to_string(requested) +
                         "-byte clusters)";
        choice.refusal += way_out(fitting, "");
        return choice;
    }
    if (requested < kSmallestCluster) {
        // NTFS allows clusters down to the sector size, but this formatter lays each file
        // record and index block within one cluster.
        choice.refusal = "clusters of " + std::to_string(requested) +
                         " bytes are not made here: the cluster size must be at least " +
                         std::to_string(kSmallestCluster) +
                         " bytes, so that each file record and index block lies within one "
                         "cluster";
        return choice;
    }
    choice.cluster_size = requested;
    return choice;
}

}  // namespace lintora
