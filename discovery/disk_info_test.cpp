#include "discovery/disk_info.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace lintora {

namespace {

DiskInfo disk_with(uint32_t bytes_per_sector, uint64_t sectors, uint32_t letters = 0) {
    DiskInfo disk{};
    disk.bytes_per_sector = bytes_per_sector;
    disk.sector_count = sectors;
    disk.drive_letters = letters;
    return disk;
}

TEST(CapacityWindow, EdgesForBothSectorSizes) {
    EXPECT_FALSE(is_capacity_supported(disk_with(512, 0x18FFFFFF)));
    EXPECT_TRUE(is_capacity_supported(disk_with(512, 0x19000000)));
    EXPECT_TRUE(is_capacity_supported(disk_with(512, 0x800000000)));
    EXPECT_FALSE(is_capacity_supported(disk_with(512, 0x800000001)));
    EXPECT_FALSE(is_capacity_supported(disk_with(4096, 0x1FFFFFFF)));
    EXPECT_TRUE(is_capacity_supported(disk_with(4096, 0x20000000)));
    EXPECT_TRUE(is_capacity_supported(disk_with(4096, 0xFFFFFFFF)));
    EXPECT_FALSE(is_capacity_supported(disk_with(4096, 0x100000000)));
    EXPECT_FALSE(is_capacity_supported(disk_with(520, 0x20000000)));
    EXPECT_FALSE(is_capacity_supported(disk_with(2048, 0x20000000)));
}

TEST(DiskList, SortsByFirstDriveLetterWithLetterlessDisksLast) {
    DiskList list{};
    list.count = 4;
    list.disks[0] = disk_with(512, 1, 0);                      // none: key 26
    list.disks[1] = disk_with(512, 2, 1u << 25);               // Z:
    list.disks[2] = disk_with(512, 3, (1u << 4) | (1u << 6));  // E:, G:
    list.disks[3] = disk_with(512, 4, 1u << 5);                // F:
    std::qsort(list.disks, list.count, sizeof(DiskInfo), compare_by_first_letter);
    EXPECT_EQ(list.disks[0].sector_count, 3u);
    EXPECT_EQ(list.disks[1].sector_count, 4u);
    EXPECT_EQ(list.disks[2].sector_count, 2u);
    EXPECT_EQ(list.disks[3].sector_count, 1u);
    EXPECT_EQ(compare_by_first_letter(&list.disks[0], &list.disks[3]), 4 - 26);
}

}  // namespace

}  // namespace lintora
