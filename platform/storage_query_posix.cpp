// Storage queries on Linux, answered from sysfs: the bus from where the disk sits in the device
// tree, removable media, the largest transfer, the device number, the size and the logical
// sector size. Linux has no drive letters.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/encoding/utf.h"
#include "platform/storage_query.h"
#include "platform/sysfs_posix.h"

namespace lintora {

namespace {

constexpr uint32_t kFileDeviceDisk = 7;
constexpr uint32_t kBusTypeAta = 3;
constexpr uint32_t kBusTypeSata = 11;
constexpr uint32_t kBusTypeNvme = 17;

bool parse_u64(const std::string& text, uint64_t* value) {
    if (text.empty()) {
        return false;
    }
    uint64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        const auto digit = static_cast<uint64_t>(c - '0');
        if (n > (UINT64_MAX - digit) / 10) {
            return false;  // does not fit: no value, never a wrapped one
        }
        n = n * 10 + digit;
    }
    *value = n;
    return true;
}

class SysfsDisk final : public StorageDevice {
  public:
    explicit SysfsDisk(std::string node) : node_(std::move(node)) {}

    bool device_descriptor(uint32_t* bus_type, bool* removable_media) override {
        // Where the disk hangs in the device tree, below the tree's own root.
        std::error_code error;
        const std::string devices =
            std::filesystem::canonical(sysfs_root() + "/devices", error).string();
        const std::string where = std::filesystem::canonical(node_, error).string();
        if (error || where.rfind(devices, 0) != 0) {
            return false;
        }
        const std::string path = where.substr(devices.size());
        *bus_type = path.find("/usb") != std::string::npos    ? kBusTypeUsb
                    : path.find("/nvme") != std::string::npos ? kBusTypeNvme
                    : path.find("/ata") != std::string::npos  ? kBusTypeSata
                                                              : kBusTypeAta;
        *removable_media = read_sysfs_line(node_ + "/removable") == "1";
        return true;
    }

    bool max_transfer_length(uint32_t* bytes) override {
        uint64_t kib = 0;
        if (!parse_u64(read_sysfs_line(node_ + "/queue/max_hw_sectors_kb"), &kib) ||
            kib > 0xFFFFFFFFu / 1024) {
            return false;
        }
        *bytes = static_cast<uint32_t>(kib * 1024);
        return true;
    }

    bool device_number(StorageDeviceNumber* number) override {
        const std::string dev = read_sysfs_line(node_ + "/dev");
        const size_t colon = dev.find(':');
        uint64_t major_number = 0;
        uint64_t minor_number = 0;
        if (colon == std::string::npos || !parse_u64(dev.substr(0, colon), &major_number) ||
            !parse_u64(dev.substr(colon + 1), &minor_number) || major_number >= (1u << 12) ||
            minor_number >= (1u << 20)) {
            return false;
        }
        number->device_type = kFileDeviceDisk;
        number->device_number = static_cast<uint32_t>((major_number << 20) | minor_number);
        number->partition_number = 0;
        return true;
    }

    bool length_bytes(uint64_t* bytes) override {
        uint64_t sectors = 0;  // sysfs counts 512-byte units whatever the sector size
        if (!parse_u64(read_sysfs_line(node_ + "/size"), &sectors) || sectors > UINT64_MAX / 512) {
            return false;
        }
        *bytes = sectors * 512;
        return true;
    }

    bool bytes_per_sector(uint32_t* bytes) override {
        uint64_t size = 0;
        if (!parse_u64(read_sysfs_line(node_ + "/queue/logical_block_size"), &size) ||
            size > 0xFFFFFFFFu) {
            return false;
        }
        *bytes = static_cast<uint32_t>(size);
        return true;
    }

  private:
    std::string node_;
};

class SysfsStorage final : public StorageSystem {
  public:
    uint32_t present_drive_letters() override { return 0; }
    std::unique_ptr<StorageDevice> open_volume(char) override { return nullptr; }

    // The device path must open for reading; its sysfs node is found by device number for a
    // real block device and by name in a stand-in tree.
    std::unique_ptr<StorageDevice> open_disk(const char16_t* path) override {
        const std::optional<std::string> name = path_from_utf16(path);
        if (!name || name->empty()) {
            return nullptr;
        }
        const int fd = ::open(name->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) {
            return nullptr;
        }
        struct stat st {};
        const bool described = ::fstat(fd, &st) == 0;
        ::close(fd);
        if (!described) {
            return nullptr;
        }
        const std::string node =
            S_ISBLK(st.st_mode)
                ? sysfs_block_node(st.st_rdev)
                : sysfs_root() + "/class/block/" + std::filesystem::path(*name).filename().string();
        if (::access(node.c_str(), F_OK) != 0) {
            return nullptr;
        }
        return std::make_unique<SysfsDisk>(node);
    }
};

}  // namespace

std::unique_ptr<StorageSystem> make_system_storage() {
    return std::make_unique<SysfsStorage>();
}

}  // namespace lintora
