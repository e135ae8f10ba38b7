#include "prep/cluster_size.h"

#include <gtest/gtest.h>

namespace lintora {

namespace {

constexpr uint64_t kTiB = 1ull << 40;

// The sectors of a volume of `bytes`, with its backup boot sector one sector beyond.
uint64_t sectors_of(uint64_t bytes, uint32_t sector_size) {
    return bytes / sector_size;
}

TEST(ClusterSize, AutomaticChoiceFollowsTheVolumeSize) {
    struct Case {
        uint64_t sectors;
        uint32_t sector_size;
        uint32_t chosen;  // 0: refused
    };
    for (const Case& c : {
             Case{sectors_of(3 * kTiB, 512), 512, 4096},
             Case{sectors_of(16 * kTiB, 512), 512, 4096},  // 2^32 - 1 clusters: still 4 KiB
             Case{sectors_of(16 * kTiB, 512) + 1, 512, 8192},
             Case{sectors_of(20 * kTiB, 512), 512, 8192},
             Case{sectors_of(32 * kTiB, 512), 512, 8192},
             Case{sectors_of(32 * kTiB, 512) + 1, 512, 16384},
             Case{sectors_of(64 * kTiB, 512), 512, 16384},
             Case{sectors_of(128 * kTiB, 512), 512, 32768},
             Case{sectors_of(256 * kTiB, 512), 512, 65536},
             Case{sectors_of(256 * kTiB, 512) + 1, 512, 0},  // 128 KiB would need Windows 10 1709
             Case{sectors_of(2 * kTiB, 4096), 4096, 4096},
             Case{sectors_of(16 * kTiB, 4096) + 1, 4096, 8192},
             Case{sectors_of(20 * kTiB, 4096), 4096, 8192},
             Case{sectors_of(256 * kTiB, 4096), 4096, 65536},
         }) {
        const ClusterChoice choice =
            choose_cluster_size(kAutomaticClusterSize, c.sector_size, c.sectors);
        EXPECT_EQ(choice.cluster_size, c.chosen) << c.sectors << " x " << c.sector_size;
        EXPECT_EQ(choice.refusal.empty(), c.chosen != 0) << choice.refusal;
    }
}

TEST(ClusterSize, RefusalsNameTheNumbersAndTheWayOut) {
    // An explicit size above what the count allows, too small a size, one that is no size.
    EXPECT_EQ(choose_cluster_size(4096, 512, sectors_of(20 * kTiB, 512)).refusal,
              "42949672960 sectors of 512 bytes make 5368709119 clusters of 4096 bytes; NTFS "
              "allows at most 4294967295 (16 TiB with 4096-byte clusters): use --cluster-size "
              "8192 or larger");
    const std::string beyond =
        choose_cluster_size(kAutomaticClusterSize, 512, sectors_of(300 * kTiB, 512)).refusal;
    EXPECT_NE(beyond.find("Windows 10 version 1709"), std::string::npos) << beyond;
    EXPECT_NE(beyond.find("use --cluster-size 131072 or larger"), std::string::npos) << beyond;
    for (const uint32_t size : {12288u, 256u, 4194304u, 2048u}) {
        const ClusterChoice choice = choose_cluster_size(size, 4096, sectors_of(3 * kTiB, 4096));
        EXPECT_EQ(choice.cluster_size, 0u) << size;
        EXPECT_NE(choice.refusal.find("power of two from 4096 bytes to 2097152"), std::string::npos)
            << choice.refusal;
    }
    // With 512-byte sectors the floor named is still this formatter's, not the sector size;
    // 512, 1024 and 2048 are sizes NTFS allows, refused for why they are not made here.
    EXPECT_EQ(choose_cluster_size(3000, 512, sectors_of(kTiB, 512)).refusal,
              "the cluster size must be a power of two from 4096 bytes to 2097152 bytes (2 MiB), "
              "not 3000");
    for (const uint32_t size : {512u, 1024u, 2048u}) {
        EXPECT_EQ(choose_cluster_size(size, 512, sectors_of(kTiB, 512)).refusal,
                  "clusters of " + std::to_string(size) +
                      " bytes are not made here: the cluster size must be at least 4096 bytes, "
                      "so that each file record and index block lies within one cluster");
    }
    // Explicit sizes beyond the automatic range format what fits.
    EXPECT_EQ(choose_cluster_size(2097152, 512, sectors_of(300 * kTiB, 512)).cluster_size,
              2097152u);
    EXPECT_NE(choose_cluster_size(2097152, 512, sectors_of(9000 * kTiB, 512))
                  .refusal.find("no cluster size up to 2 MiB is large enough"),
              std::string::npos);
}

}  // namespace

}  // namespace lintora
