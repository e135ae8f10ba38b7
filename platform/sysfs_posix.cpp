#include "platform/sysfs_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>

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

std::string read_sysfs_text(const std::string& path) {
    // Only regular files: a FIFO would block the read and a link to /dev/zero never end it. A
    // kernel attribute is at most a page.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return "";
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return "";
    }
    std::string text(kSysfsPage, '\0');
    size_t filled = 0;
    while (filled < text.size()) {
        const ssize_t got = ::read(fd, &text[filled], text.size() - filled);
        if (got <= 0) {
            break;
        }
        filled += static_cast<size_t>(got);
    }
    ::close(fd);
    text.resize(filled);
    return text;
}

std::string read_sysfs_line(const std::string& path) {
    const std::string text = read_sysfs_text(path);
    return text.substr(0, text.find('\n'));
}

}  // namespace lintora
