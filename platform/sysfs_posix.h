// Where the Linux layers read the kernel's device tree and find device nodes. The environment
// variables LINTORA_SYSFS_ROOT (default /sys) and LINTORA_DEV_ROOT (default /dev) move them, so
// that a tree of plain files and symbolic links can stand in for a machine's devices.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace lintora {

std::string sysfs_root();
std::string dev_root();

// The kernel's own sysfs, whatever the variables say: the checks that protect a disk (is it a
// partition, does a loop device use the image) always read the real system, never a stand-in.
inline constexpr char kKernelSysfsRoot[] = "/sys";

// The sysfs directory, below `root`, of the block device with device number `device`.
std::string sysfs_block_node(dev_t device, const std::string& root = sysfs_root());

// The largest attribute read: a page, as the kernel's own attributes are.
inline constexpr size_t kSysfsPage = 4096;

// The text of a sysfs attribute file, at most a page; empty when it is not a regular file or
// cannot be read.
std::string read_sysfs_text(const std::string& path);
// Its first line, without the line end.
std::string read_sysfs_line(const std::string& path);

}  // namespace lintora
