// A stand-in for a Linux machine's devices, for tests: ROOT/sys (the kernel's device tree, in
// plain files and symbolic links) and ROOT/dev (plain files in place of device nodes). It holds
// the maker's USB disk sdb (2 TB, two partitions), the maker's USB stick sdc (removable media),
// another vendor's USB disk sdd, the maker's disk sde (4 TB, 4096-byte sectors) behind a USB
// hub, the maker's disk sdf whose device name is missing (its interface cannot be listed), the
// maker's disk sdg (1 TB) behind a USB Attached SCSI bridge, and the SATA disk sda; with
// `extra_disks`, that many more of the maker's 2 TB disks (sdx0, sdx1, ...) on a second bus.
#pragma once

#include <cstdint>
#include <string>

namespace lintora {

void build_sysfs_fixture(const std::string& root, uint32_t maker_vendor_id,
                         uint32_t extra_disks = 0);

}  // namespace lintora
