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

bool is_capacity_supported(const DiskInfo& disk) {
    switch (disk.bytes_per_sector) {
        case 512:
            return disk.sector_count >= 0x19000000ull && disk.sector_count <= 0x800000000ull;
        case 4096:
            return disk.sector_count >= 0x20000000ull && disk.sector_count <= 0xFFFFFFFFull;
        default:
            return false;
    }
}

}  // namespace lintora
