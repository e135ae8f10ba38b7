// The partitions the Linux kernel knows on a block device whose table it cannot re-read (a loop
// device without partition scanning answers BLKRRPART with EINVAL): they were added one by one
// (partx, BLKPG) and are removed and added the same way, so that after a run the kernel's
// partitions are those of the new table and not stale ones of the old.
#pragma once

#include <sys/types.h>

#include <vector>

#include "platform/encoding/drive_layout.h"
#include "platform/outcome.h"

namespace lintora {

// Removes every partition the kernel has on the device `device` (open as `fd`); refused, with
// nothing removed past that point, while one of them is in use.
Outcome remove_kernel_partitions(int fd, dev_t device);

// Tells the kernel the partitions of a new table (entries of no length are left out).
Outcome add_kernel_partitions(int fd, const std::vector<PartitionRecord>& entries);

}  // namespace lintora
