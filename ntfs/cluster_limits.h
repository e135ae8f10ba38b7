// NTFS's rules for the cluster size and count: a volume addresses its clusters with 32 bits in
// the structures every reader walks, and Windows formats clusters from the sector size up to
// 2 MiB, always a power of two.
#pragma once

#include <cstdint>

namespace lintora {

inline constexpr uint64_t kMaxVolumeClusters = 0xFFFFFFFFull;
inline constexpr uint32_t kMaxClusterSize = 2097152;

inline bool is_valid_cluster_size(uint32_t cluster_size, uint32_t bytes_per_sector) {
    return bytes_per_sector != 0 && cluster_size >= bytes_per_sector &&
           cluster_size <= kMaxClusterSize && (cluster_size & (cluster_size - 1)) == 0;
}

// The clusters of a volume of `sector_count` sectors: all but its last sector, which holds the
// backup boot sector, in whole clusters. The cluster size must be valid.
inline uint64_t volume_cluster_count(uint64_t sector_count, uint32_t bytes_per_sector,
                                     uint32_t cluster_size) {
    return sector_count == 0 ? 0 : (sector_count - 1) / (cluster_size / bytes_per_sector);
}

}  // namespace lintora
