// The disks the program would list, for the tool: the list in the dialog's order, and whether a
// block device the user names is one of them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "discovery/disk_info.h"
#include "platform/outcome.h"

namespace lintora {

// The listed disks of this system, sorted by first drive letter.
std::unique_ptr<DiskList> list_disks(uint32_t vendor_id);

// The USB disks of the device tree that the list leaves out, each with why: a query that could
// not be answered (a size that does not fit 64 bits reads as none), removable media, no size.
struct UnlistedDisk {
    std::string path;
    std::string reason;
};
std::vector<UnlistedDisk> unlisted_usb_disks(const DiskList& listed);

// Success when the device at `path` is one of the listed disks; otherwise why not (not on USB,
// removable media, another vendor's).
Outcome is_listed_disk(const char16_t* path);

}  // namespace lintora
