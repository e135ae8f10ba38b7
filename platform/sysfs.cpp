#include "platform/sysfs.h"

#include <sys/sysmacros.h>

#include <cstdlib>
#include <fstream>

namespace lintora {

namespace {

std::string root_from(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != 0 ? value : fallback;
}

}  // namespace

std::string sysfs_root() {
    return root_from("LINTORA_SYSFS_ROOT", "/sys");
}

std::string dev_root() {
    return root_from("LINTORA_DEV_ROOT", "/dev");
}

std::string sysfs_block_node(dev_t device, const std::string& root) {
    return root + "/dev/block/" + std::to_string(major(device)) + ":" +
           std::to_string(minor(device));
}

std::string read_sysfs_line(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace lintora
