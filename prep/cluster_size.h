// The cluster size of a volume: the one asked for, or the automatic choice by the volume's size,
// checked against NTFS's limits before anything is written.
#pragma once

#include <cstdint>
#include <string>

namespace lintora {

// Asks for the automatic choice.
inline constexpr uint32_t kAutomaticClusterSize = 0;
// The smallest cluster this formatter makes: a file record (up to 4096 bytes) and an index
// block (4096 bytes) each lie within one cluster.
inline constexpr uint32_t kSmallestCluster = 4096;
// The largest cluster the automatic choice takes: larger ones need Windows 10 version 1709 or
// later to mount.
inline constexpr uint32_t kLargestAutomaticCluster = 65536;

// The chosen size, or 0 with the sentence that refuses the volume: the numbers and the way out.
struct ClusterChoice {
    uint32_t cluster_size = 0;
    std::string refusal;
};

// `requested` as it is, when valid and the count fits NTFS; with kAutomaticClusterSize, Windows'
// default for NTFS: the smallest power of two from max(4096, sector size) up to 64 KiB that keeps
// the count within 0xFFFFFFFF (4096 up to 16 TiB, 8192 up to 32 TiB, ... 65536 up to 256 TiB).
ClusterChoice choose_cluster_size(uint32_t requested, uint32_t bytes_per_sector,
                                  uint64_t sector_count);

}  // namespace lintora
