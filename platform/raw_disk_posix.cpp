// Raw disks on POSIX: disk image files and Linux block devices. There is no partition manager
// here, so re-initialising a disk and writing its layout write the partition table directly.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/partition_table.h"
#include "platform/raw_disk.h"
#include "platform/utf.h"

namespace lintora {

namespace {

class PosixDisk final : public DiskDevice {
  public:
    PosixDisk(int fd, bool is_block_device, uint32_t sector_size, uint64_t size_bytes)
        : fd_(fd), block_(is_block_device), sector_size_(sector_size), size_bytes_(size_bytes) {}
    ~PosixDisk() override { ::close(fd_); }

    bool write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        uint32_t done = 0;
        while (done < length) {
            const ssize_t n =
                ::pwrite(fd_, data + done, length - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += static_cast<uint32_t>(n);
        }
        return true;
    }

    bool flush() override { return ::fsync(fd_) == 0; }

    // A whole disk is never a volume here; the exclusive open already keeps others away.
    bool lock_volume() override { return false; }
    bool dismount_volume() override { return false; }

    bool create_disk(const CreateDiskRecord& record) override {
        if (record.style == kPartitionStyleGpt) {
            return write_gpt(record.gpt_disk_id, {});
        }
        // An empty MBR; the backup GPT at the end of the disk goes too, so that nothing reads
        // the disk as GPT any more.
        const uint64_t sectors = total_sectors();
        const uint64_t tail = 33;
        if (sectors > tail + 1) {
            const std::vector<uint8_t> zeros(static_cast<size_t>(tail) * sector_size_, 0);
            if (!write_at((sectors - tail) * sector_size_, zeros.data(),
                          static_cast<uint32_t>(zeros.size()))) {
                return false;
            }
        }
        return write_sector(0, build_mbr_sector(sector_size_, record.mbr_signature, {}));
    }

    bool update_properties() override {
        if (!block_) {
            return true;
        }
        // Devices that cannot hold partitions (a loop device without partition scan) answer
        // EINVAL; there is nothing to re-read on them.
        return ::ioctl(fd_, BLKRRPART) == 0 || errno == EINVAL;
    }

    bool set_drive_layout(const uint8_t* layout, uint32_t size) override {
        const DriveLayoutRecord record = decode_drive_layout(layout, size);
        if (record.style == kPartitionStyleGpt) {
            return write_gpt(record.gpt_disk_id, record.entries);
        }
        return write_sector(0,
                            build_mbr_sector(sector_size_, record.mbr_signature, record.entries));
    }

  private:
    uint64_t total_sectors() const { return size_bytes_ / sector_size_; }

    bool write_sector(uint64_t lba, const std::vector<uint8_t>& bytes) {
        return write_at(lba * sector_size_, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }

    bool write_gpt(const Guid& disk_id, const std::vector<PartitionRecord>& entries) {
        const GptImage gpt = build_gpt(sector_size_, total_sectors(), disk_id, entries);
        return write_sector(0, gpt.protective_mbr) && write_sector(1, gpt.primary_header) &&
               write_sector(gpt.primary_entries_lba, gpt.entries) &&
               write_sector(gpt.backup_entries_lba, gpt.entries) &&
               write_sector(gpt.backup_header_lba, gpt.backup_header);
    }

    int fd_;
    bool block_;
    uint32_t sector_size_;
    uint64_t size_bytes_;
};

class PosixDiskSystem final : public DiskSystem {
  public:
    explicit PosixDiskSystem(uint32_t sector_size) : sector_size_(sector_size) {}

    std::unique_ptr<DiskDevice> open_disk(const char16_t* path) override {
        const std::string name = utf16_to_utf8(path);
        struct stat st {};
        if (::stat(name.c_str(), &st) != 0) {
            return nullptr;
        }
        const bool block = S_ISBLK(st.st_mode);
        if (!block && !S_ISREG(st.st_mode)) {
            return nullptr;
        }
        // A block device is taken exclusively: the open fails while a volume on it is mounted.
        const int fd = ::open(name.c_str(), O_RDWR | O_CLOEXEC | (block ? O_EXCL : 0));
        if (fd < 0) {
            return nullptr;
        }
        uint64_t size = static_cast<uint64_t>(st.st_size);
        if (block && ::ioctl(fd, BLKGETSIZE64, &size) != 0) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<PosixDisk>(fd, block, sector_size_, size);
    }

    // Drive letters do not exist here.
    std::unique_ptr<DiskDevice> open_volume(char) override { return nullptr; }
    void notify_drive_removed(char) override {}

    Guid make_guid() override {
        Guid guid;
        const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            if (::read(fd, guid.bytes, sizeof guid.bytes) != sizeof guid.bytes) {
                std::memset(guid.bytes, 0, sizeof guid.bytes);
            }
            ::close(fd);
        }
        // Version 4, variant 1 (the version sits in the high nibble of the third field).
        guid.bytes[7] = static_cast<uint8_t>((guid.bytes[7] & 0x0F) | 0x40);
        guid.bytes[8] = static_cast<uint8_t>((guid.bytes[8] & 0x3F) | 0x80);
        return guid;
    }

  private:
    uint32_t sector_size_;
};

}  // namespace

uint64_t disk_size_bytes(const char16_t* path) {
    const int fd = ::open(utf16_to_utf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    const off_t end = ::lseek(fd, 0, SEEK_END);  // files and block devices alike
    ::close(fd);
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

std::unique_ptr<DiskSystem> make_system_disks(uint32_t bytes_per_sector) {
    return std::make_unique<PosixDiskSystem>(bytes_per_sector);
}

}  // namespace lintora
