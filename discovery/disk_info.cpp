#include "discovery/disk_info.h"

namespace lintora {

namespace {

// Index of the lowest drive letter (0 for A:), 26 for a disk without one.
int first_letter_key(const DiskInfo& disk) {
    int first = 26;
    for_each_drive_letter(disk.drive_letters, [&](char letter) {
        if (first == 26) {
            first = letter - 'A';
        }
    });
    return first;
}

}  // namespace

int compare_by_first_letter(const void* a, const void* b) {
    return first_letter_key(*static_cast<const DiskInfo*>(a)) -
           first_letter_key(*static_cast<const DiskInfo*>(b));
}

namespace {

// The program's capacity window, in sectors: 200 GiB to 16 TiB of 512-byte sectors, 2 TiB to
// 0xFFFFFFFF sectors (just under 16 TiB) of 4096-byte sectors.
struct CapacityWindow {
    uint64_t fewest_sectors;
    uint64_t most_sectors;
};
constexpr CapacityWindow kWindow512{0x19000000ull, 0x800000000ull};
constexpr CapacityWindow kWindow4096{0x20000000ull, 0xFFFFFFFFull};

bool inside(const CapacityWindow& window, uint64_t sectors) {
    return sectors >= window.fewest_sectors && sectors <= window.most_sectors;
}

}  // namespace

bool is_capacity_supported(const DiskInfo& disk) {
    switch (disk.bytes_per_sector) {
        case 512:
            return inside(kWindow512, disk.sector_count);
        case 4096:
            return inside(kWindow4096, disk.sector_count);
        default:
            return false;
    }
}

}  // namespace lintora
