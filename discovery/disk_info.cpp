#include "discovery/disk_info.h"

namespace lintora {

namespace {

// Index of the lowest drive letter (0 for A:), 26 for a disk without one.
int first_letter_key(const DiskInfo& disk) {
    for (int n = 0; n < 26; ++n) {
        if ((disk.drive_letters >> n) & 1u) {
            return n;
        }
    }
    return 26;
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
