// The line that shows one disk in the disk list: its drive letters, its name and its capacity.
#pragma once

#include <string>

#include "discovery/disk_info.h"

namespace lintora {

// "(E:,F:) Name 1.83TB", or "Name 931.52GB" for a disk without letters.
std::u16string format_disk_entry(const DiskInfo& disk);

// The capacity in binary units: GB below 2^40 bytes, TB from there on, with a fraction that
// counts 1/1024ths of the unit divided by 10 (two digits at least).
std::u16string format_capacity(const DiskInfo& disk);

}  // namespace lintora
