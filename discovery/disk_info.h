// One discovered disk and the fixed list of them, with the order the list is shown in and the
// capacity window of the disks that may be formatted.
#pragma once

#include <cstdint>

namespace lintora {

// The most disks a list holds (the tool's list; the dialog allows fewer, see the main dialog).
inline constexpr uint32_t kMaxListedDisks = 32;
inline constexpr uint32_t kPathUnits = 261;

struct DiskInfo {
    char16_t interface_path[kPathUnits];  // opened for every query and by the format job
    char16_t friendly_name[kPathUnits];
    char16_t device_object_name[kPathUnits];
    uint32_t drive_letters;  // bit n: letter 'A' + n lies on this disk
    uint32_t device_number;
    uint32_t vendor_id;
    uint32_t product_id;
    uint64_t sector_count;
    uint32_t bytes_per_sector;
    uint32_t io_chunk_size;  // the adapter's largest transfer, in bytes
};

struct DiskList {
    uint32_t count;
    DiskInfo disks[kMaxListedDisks];
};

// Calls `visit` with each drive letter set in `letters` (bit 0 is 'A'), from A: to Z:.
template <typename Visit>
void for_each_drive_letter(uint32_t letters, Visit visit) {
    for (uint32_t n = 0; n < 26; ++n) {
        if ((letters >> n) & 1u) {
            visit(static_cast<char>('A' + n));
        }
    }
}

// qsort comparison: by the lowest drive letter, disks without a letter last.
int compare_by_first_letter(const void* a, const void* b);

// Whether the disk's sector size and sector count lie in the window of supported disks.
bool is_capacity_supported(const DiskInfo& disk);

}  // namespace lintora
