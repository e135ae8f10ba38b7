#include "platform/kernel_partitions_posix.h"

#include <dirent.h>
#include <linux/blkpg.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/sysfs_posix.h"

namespace lintora {

namespace {

Outcome ask(int fd, int op, blkpg_partition* partition) {
    blkpg_ioctl_arg request{};
    request.op = op;
    request.datalen = sizeof *partition;
    request.data = partition;
    if (::ioctl(fd, BLKPG, &request) == 0) {
        return Outcome::success();
    }
    if (errno == EBUSY) {
        Outcome busy = Outcome::failure("partition " + std::to_string(partition->pno) +
                                        " of it is in use by another program (Device or "
                                        "resource busy)");
        busy.in_use = true;
        return busy;
    }
    return Outcome::failure("partition " + std::to_string(partition->pno) + ": " +
                            std::strerror(errno));
}

// The partition numbers the kernel lists below the device's sysfs directory.
std::vector<int> kernel_partition_numbers(dev_t device) {
    std::vector<int> numbers;
    const std::string node = sysfs_block_node(device, kKernelSysfsRoot);
    DIR* dir = ::opendir(node.c_str());
    if (dir == nullptr) {
        return numbers;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string text = read_sysfs_line(node + "/" + entry->d_name + "/partition");
        const int number = std::atoi(text.c_str());
        if (number > 0) {
            numbers.push_back(number);
        }
    }
    ::closedir(dir);
    return numbers;
}

}  // namespace

Outcome remove_kernel_partitions(int fd, dev_t device) {
    for (const int number : kernel_partition_numbers(device)) {
        blkpg_partition partition{};
        partition.pno = number;
        const Outcome removed = ask(fd, BLKPG_DEL_PARTITION, &partition);
        if (!removed.ok()) {
            return removed;
        }
    }
    return Outcome::success();
}

Outcome add_kernel_partitions(int fd, const std::vector<PartitionRecord>& entries) {
    for (const PartitionRecord& entry : entries) {
        if (entry.length == 0 || entry.number == 0) {
            continue;
        }
        blkpg_partition partition{};
        partition.start = static_cast<long long>(entry.starting_offset);
        partition.length = static_cast<long long>(entry.length);
        partition.pno = static_cast<int>(entry.number);
        const Outcome added = ask(fd, BLKPG_ADD_PARTITION, &partition);
        if (!added.ok()) {
            return added;
        }
    }
    return Outcome::success();
}

}  // namespace lintora
