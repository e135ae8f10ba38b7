// Raw disks on POSIX: disk image files and Linux block devices. There is no partition manager
// here, so re-initialising a disk and writing its layout write the partition table directly.
// Linux has no volume locks either; what stands in for them is checked when a disk is opened,
// before anything is written: the open is exclusive (it fails while a partition is mounted or
// claimed), a partition node is not taken for a whole disk, the kernel must be able to re-read
// the partition table (it cannot while a partition is open), an image is locked against a
// second run and must not back a loop device.
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/encoding/utf.h"
#include "platform/kernel_partitions_posix.h"
#include "platform/raw_disk.h"
#include "platform/sysfs_posix.h"
#include "platform/table_writing_disk.h"

namespace lintora {

namespace {

// A file descriptor closed on every way out.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

Outcome failure_with(const std::string& what) {
    return Outcome::failure(what + ": " + std::strerror(errno));
}

const char* type_refusal(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "it is a directory";
    }
    if (S_ISFIFO(mode)) {
        return "it is a pipe";
    }
    if (S_ISCHR(mode)) {
        return "it is a character device, not a disk";
    }
    if (S_ISSOCK(mode)) {
        return "it is a socket";
    }
    return nullptr;
}

// Opens without blocking (a FIFO would wait for a writer) and refuses anything that is neither a
// regular file nor a block device.
Outcome open_checked(const std::string& name, int flags, Fd* fd, struct stat* st) {
    // A socket cannot be opened at all (ENXIO): its type is told from the name first.
    struct stat named {};
    if (::stat(name.c_str(), &named) == 0 && S_ISSOCK(named.st_mode)) {
        return Outcome::failure(type_refusal(named.st_mode));
    }
    Fd opened(::open(name.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (opened.get() < 0 && errno == EBUSY && (flags & O_EXCL) != 0) {
        Outcome busy = Outcome::failure(
            "Device or resource busy (a volume on it is mounted, or another program holds it)");
        busy.in_use = true;
        return busy;
    }
    if (opened.get() < 0) {
        return last_system_failure();
    }
    if (::fstat(opened.get(), st) != 0) {
        return last_system_failure();
    }
    if (const char* refusal = type_refusal(st->st_mode)) {
        return Outcome::failure(refusal);
    }
    if (!S_ISREG(st->st_mode) && !S_ISBLK(st->st_mode)) {
        return Outcome::failure("it is neither a file nor a block device");
    }
    const int status = ::fcntl(opened.get(), F_GETFL);
    if (status < 0 || ::fcntl(opened.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
        return last_system_failure();
    }
    fd->reset(opened.release());
    return Outcome::success();
}

// The loop device whose backing file is the image, or "" when none is.
std::string loop_device_backed_by(const struct stat& image) {
    const std::string block = std::string(kKernelSysfsRoot) + "/block";
    DIR* dir = ::opendir(block.c_str());
    if (dir == nullptr) {
        return "";
    }
    std::string found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind("loop", 0) != 0) {
            continue;
        }
        std::string backing = read_sysfs_line(block + "/" + name + "/loop/backing_file");
        const std::string deleted = " (deleted)";
        if (backing.size() > deleted.size() &&
            backing.compare(backing.size() - deleted.size(), deleted.size(), deleted) == 0) {
            continue;  // a deleted file is not this image
        }
        struct stat st {};
        if (!backing.empty() && ::stat(backing.c_str(), &st) == 0 && st.st_dev == image.st_dev &&
            st.st_ino == image.st_ino) {
            found = "/dev/" + name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// A loop device's backing file, locked as a run on the image itself locks it, so that a run on
// the image and one on a loop device over it are never both under way: the lock's descriptor
// (kept open for the run), or -1 for a device that is no loop device. Refused when another run
// holds it.
Outcome lock_backing_file(const struct stat& device, Fd* held) {
    const std::string backing = read_sysfs_line(
        std::string(kKernelSysfsRoot) + "/dev/block/" + std::to_string(major(device.st_rdev)) +
        ":" + std::to_string(minor(device.st_rdev)) + "/loop/backing_file");
    if (backing.empty()) {
        return Outcome::success();
    }
    Fd fd(::open(backing.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return Outcome::success();  // a deleted backing file is no other run's image
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? Outcome::failure("its backing file " + backing +
                                                       " is held locked by another program "
                                                       "(a run on the image?)")
                                    : last_system_failure();
    }
    held->reset(fd.release());
    return Outcome::success();
}

bool is_partition(const struct stat& device) {
    const std::string node = sysfs_block_node(device.st_rdev, kKernelSysfsRoot) + "/partition";
    return ::access(node.c_str(), F_OK) == 0;
}

// The device numbers ("MAJ:MIN") of `device` and, for a whole disk, of its partitions.
std::vector<std::string> device_and_partition_numbers(dev_t device) {
    const std::string node = sysfs_block_node(device, kKernelSysfsRoot);
    std::vector<std::string> numbers{read_sysfs_line(node + "/dev")};
    DIR* dir = ::opendir(node.c_str());
    if (dir == nullptr) {
        return numbers;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string child = node + "/" + entry->d_name;
        if (entry->d_name[0] != '.' && ::access((child + "/partition").c_str(), F_OK) == 0) {
            numbers.push_back(read_sysfs_line(child + "/dev"));
        }
    }
    ::closedir(dir);
    return numbers;
}

// The mount point of the first mount, as this process's mount table lists them, whose device is
// one of `numbers` ("MAJ:MIN"): by the mount's own device number, or by its source when that is
// a device node (a FUSE mount such as ntfs-3g has a device number of its own). "" when none is.
std::string mounted_from(const std::vector<std::string>& numbers) {
    const auto wanted = [&](const std::string& number) {
        return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
    };
    std::FILE* table = std::fopen("/proc/self/mountinfo", "r");
    if (table == nullptr) {
        return "";
    }
    char line[8192];
    std::string found;
    while (found.empty() && std::fgets(line, sizeof line, table) != nullptr) {
        // mount id, parent id, MAJ:MIN, root, mount point, options... - type, source, options
        char number[64] = {};
        char point[2048] = {};
        char source[2048] = {};
        if (std::sscanf(line, "%*s %*s %63s %*s %2047s", number, point) != 2) {
            continue;
        }
        const char* tail = std::strstr(line, " - ");
        struct stat st {};
        const bool by_source =
            tail != nullptr && std::sscanf(tail + 3, "%*s %2047s", source) == 1 &&
            source[0] == '/' && ::stat(source, &st) == 0 && S_ISBLK(st.st_mode) &&
            wanted(std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)));
        if (wanted(number) || by_source) {
            found = point;
        }
    }
    std::fclose(table);
    return found;
}

// The checks that stand in for locking every volume of a disk, on an exclusively opened device.
// `kernel_cannot_reread` tells whether the kernel cannot re-read the device's table.
Outcome check_whole_disk(int fd, const struct stat& st, const TargetInfo& info,
                         bool* kernel_cannot_reread) {
    *kernel_cannot_reread = false;
    if (info.is_partition) {
        return Outcome::failure("it is a partition, not a whole disk");
    }
    // The table is re-read after the disk is re-initialised; that fails while any partition is
    // open, so find out now, before the wipe. A device whose table the kernel cannot re-read
    // (a loop device without partition scan answers EINVAL) may still carry partitions added one
    // by one: they are removed now, which is refused while one is in use.
    if (::ioctl(fd, BLKRRPART) == 0) {
        return Outcome::success();
    }
    if (errno == EINVAL) {
        *kernel_cannot_reread = true;
        return remove_kernel_partitions(fd, st.st_rdev);
    }
    if (errno == EBUSY) {
        Outcome busy = Outcome::failure(
            "a partition of it is in use by another program (Device or resource busy)");
        busy.in_use = true;
        return busy;
    }
    return failure_with("the partition table cannot be re-read");
}

// Repeats a positioned read or write (`step(bytes done)`) until all `length` bytes are moved:
// a partial transfer goes on, an interrupted one is tried again, a transfer of nothing is
// `at_end`.
template <typename Step>
Outcome transfer_all(uint32_t length, const std::string& at_end, Step step) {
    uint32_t done = 0;
    while (done < length) {
        const ssize_t n = step(done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return last_system_failure();
        }
        if (n == 0) {
            return Outcome::failure(at_end);
        }
        done += static_cast<uint32_t>(n);
    }
    return Outcome::success();
}

// The bytes of an open image or block device; the partition tables are written on top of it by
// a TableWritingDisk.
class PosixDisk final : public DiskDevice {
  public:
    // `kernel_cannot_reread`: the kernel cannot re-read this device's table, so the partitions of a
    // new layout are told to it one by one.
    // `backing_lock`: a loop device's backing file, held locked while the disk is open.
    PosixDisk(int fd, bool block_device, bool kernel_cannot_reread, int backing_lock = -1)
        : fd_(fd),
          backing_lock_(backing_lock),
          block_device_(block_device),
          kernel_cannot_reread_(kernel_cannot_reread) {}

    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        return unless_gone(
            transfer_all(length, "the device took no more bytes", [&](uint32_t done) {
                return ::pwrite(fd_.get(), data + done, length - done,
                                static_cast<off_t>(offset + done));
            }));
    }

    Outcome read_at(uint64_t offset, uint8_t* data, uint32_t length) override {
        return unless_gone(
            transfer_all(length, "the target ends before byte " + std::to_string(offset + length),
                         [&](uint32_t done) {
                             return ::pread(fd_.get(), data + done, length - done,
                                            static_cast<off_t>(offset + done));
                         }));
    }

    Outcome flush() override {
        if (::fsync(fd_.get()) == 0) {
            return Outcome::success();
        }
        // A disk pulled out fails the flush at once, and the kernel may take a moment more to
        // drop its size to 0: it is asked again for a second before the failure is called the
        // medium's. A flush fails rarely, so the wait costs nothing on a healthy run.
        const Outcome failed = last_system_failure();
        Outcome classed = unless_gone(failed);
        for (int tries = 0; block_device_ && !classed.gone() && tries < 5; ++tries) {
            ::usleep(200000);
            classed = unless_gone(failed);
        }
        return classed;
    }

    // The pages are clean after the flush, so the kernel lets them go; on a block device this
    // drops the device's own page cache, on an image the file's.
    Outcome forget_cached() override {
        const int error = ::posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_DONTNEED);
        if (error != 0) {
            errno = error;
            return last_system_failure();
        }
        return Outcome::success();
    }

    Outcome create_disk(const CreateDiskRecord&) override {
        return Outcome::unsupported("no partition manager here");
    }
    // The table itself is written as sectors above this device; the layout only comes here to
    // be told to a kernel that cannot re-read it.
    Outcome set_drive_layout(const uint8_t* layout, uint32_t size) override {
        pending_ = decode_drive_layout(layout, size).entries;
        return Outcome::success();
    }

    Outcome update_properties() override {
        if (kernel_cannot_reread_) {
            const Outcome added = add_kernel_partitions(fd_.get(), pending_);
            pending_.clear();
            return added.ok()
                       ? added
                       : Outcome::failure("telling the kernel the new partitions: " + added.reason);
        }
        if (::ioctl(fd_.get(), BLKRRPART) == 0) {
            return Outcome::success();
        }
        return failure_with("re-reading the partition table");
    }

  private:
    // A disk pulled out is still open here: the kernel sets its size to 0 and answers the next
    // writes with ENOSPC or EIO. Such a failure is the disk gone, not a full or a bad medium.
    Outcome unless_gone(Outcome failed) const {
        if (failed.ok() || !block_device_ || failed.cause == FailureClass::gone) {
            return failed;
        }
        uint64_t size = 0;
        const bool answered = ::ioctl(fd_.get(), BLKGETSIZE64, &size) == 0;
        if (answered && size != 0) {
            return failed;
        }
        failed.reason += answered ? " (the disk has gone away: its size is now 0)"
                                  : " (the disk has gone away: it no longer answers)";
        failed.cause = FailureClass::gone;
        return failed;
    }

    Fd fd_;
    Fd backing_lock_;
    bool block_device_;
    bool kernel_cannot_reread_;
    std::vector<PartitionRecord> pending_;
};

class PosixDiskSystem final : public DiskSystem {
  public:
    Outcome query_target(const char16_t* path, TargetInfo* info) override {
        Fd fd;
        struct stat st {};
        Outcome opened = open_for_reading(path, &fd, &st);
        return opened.ok() ? describe(fd.get(), st, info) : opened;
    }

    Outcome open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse use,
                      std::unique_ptr<DiskDevice>* device) override {
        std::string name;
        Outcome named = native_name(path, &name);
        if (!named.ok()) {
            return named;
        }
        // A block device is taken exclusively: the open fails while a volume on it is mounted,
        // while another program holds it exclusively, and keeps both away until it is closed.
        struct stat before {};
        const bool block = ::stat(name.c_str(), &before) == 0 && S_ISBLK(before.st_mode);
        Fd fd;
        struct stat st {};
        Outcome opened = open_checked(name, O_RDWR | (block ? O_EXCL : 0), &fd, &st);
        if (!opened.ok()) {
            return opened;
        }
        TargetInfo info;
        bool kernel_cannot_reread = false;
        Fd backing_lock;
        Outcome described = describe(fd.get(), st, &info);
        if (!described.ok()) {
            return described;
        }
        if (info.kind == TargetKind::block_device) {
            if (info.logical_sector_size != bytes_per_sector) {
                return Outcome::failure("the device has " +
                                        std::to_string(info.logical_sector_size) +
                                        "-byte sectors, not " + std::to_string(bytes_per_sector));
            }
            int read_only = 0;
            if (::ioctl(fd.get(), BLKROGET, &read_only) == 0 && read_only != 0) {
                return Outcome::failure("the device is read-only");
            }
            Outcome locked = lock_backing_file(st, &backing_lock);
            if (!locked.ok()) {
                return locked;
            }
            if (use == DiskUse::whole_disk) {
                Outcome whole = check_whole_disk(fd.get(), st, info, &kernel_cannot_reread);
                if (!whole.ok()) {
                    return whole;
                }
            }
        } else {
            // A second run on the same image waits for nobody: it is refused.
            if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
                return errno == EWOULDBLOCK
                           ? Outcome::failure("another program (a second run?) holds it locked")
                           : last_system_failure();
            }
            const std::string loop = loop_device_backed_by(st);
            if (!loop.empty()) {
                return Outcome::failure("it is the backing file of " + loop +
                                        "; detach the loop device first");
            }
        }
        *device = std::make_unique<TableWritingDisk>(
            std::make_unique<PosixDisk>(fd.release(), info.kind == TargetKind::block_device,
                                        kernel_cannot_reread, backing_lock.release()),
            bytes_per_sector, info.size_bytes, info.kind == TargetKind::block_device);
        return Outcome::success();
    }

    Outcome open_volume(char, std::unique_ptr<VolumeHandle>*) override {
        return Outcome::unsupported("drive letters do not exist here");
    }
    Outcome open_volume_path(const char16_t*, std::unique_ptr<VolumeHandle>*) override {
        return Outcome::unsupported("volume GUID paths do not exist here");
    }
    Outcome volume_path_of_letter(char, std::u16string*) override {
        return Outcome::unsupported("drive letters do not exist here");
    }
    Outcome letters_of_volume(const char16_t*, uint32_t*) override {
        return Outcome::unsupported("drive letters do not exist here");
    }
    // The exclusive open of the disk stands in for locking its volumes here.
    Outcome volumes_on_disk(const char16_t*, std::vector<std::u16string>* paths) override {
        paths->clear();
        return Outcome::success();
    }
    void notify_drive_removed(char) override {}

    Outcome make_guid(Guid* guid) override {
        Fd fd(::open("/dev/urandom", O_RDONLY | O_CLOEXEC));
        if (fd.get() < 0) {
            return failure_with("no new GUID could be made: opening /dev/urandom");
        }
        const ssize_t got = ::read(fd.get(), guid->bytes, sizeof guid->bytes);
        if (got != static_cast<ssize_t>(sizeof guid->bytes)) {
            return got < 0 ? failure_with("no new GUID could be made: reading /dev/urandom")
                           : Outcome::failure("no new GUID could be made: /dev/urandom ran dry");
        }
        // Version 4, variant 1 (the version sits in the high nibble of the third field).
        guid->bytes[7] = static_cast<uint8_t>((guid->bytes[7] & 0x0F) | 0x40);
        guid->bytes[8] = static_cast<uint8_t>((guid->bytes[8] & 0x3F) | 0x80);
        return Outcome::success();
    }

    void pause(uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    Outcome check_without_writing(const char16_t* path, DiskUse use) override {
        Fd fd;
        struct stat st {};
        Outcome opened = open_for_reading(path, &fd, &st);
        if (!opened.ok()) {
            return opened;
        }
        if (!S_ISBLK(st.st_mode)) {
            const std::string loop = loop_device_backed_by(st);
            return loop.empty() ? Outcome::success()
                                : Outcome::failure("it is the backing file of " + loop +
                                                   "; detach the loop device first");
        }
        int read_only = 0;
        if (::ioctl(fd.get(), BLKROGET, &read_only) == 0 && read_only != 0) {
            return Outcome::failure("the device is read-only");
        }
        if (use == DiskUse::whole_disk && is_partition(st)) {
            return Outcome::failure("it is a partition, not a whole disk");
        }
        const std::string point = mounted_from(device_and_partition_numbers(st.st_rdev));
        if (!point.empty()) {
            Outcome mounted = Outcome::failure("it or a partition of it is mounted on " + point);
            mounted.in_use = true;
            return mounted;
        }
        return Outcome::success();
    }

    Outcome room_missing_to_fill(const char16_t* path, uint64_t* missing) override {
        *missing = 0;
        std::string name;
        Outcome named = native_name(path, &name);
        if (!named.ok()) {
            return named;
        }
        struct stat st {};
        if (::stat(name.c_str(), &st) != 0) {
            return last_system_failure();
        }
        if (!S_ISREG(st.st_mode)) {
            return Outcome::success();
        }
        struct statvfs fs {};
        if (::statvfs(name.c_str(), &fs) != 0) {
            return last_system_failure();
        }
        const auto size = static_cast<uint64_t>(st.st_size);
        const uint64_t allocated = static_cast<uint64_t>(st.st_blocks) * 512;
        const uint64_t needed = size > allocated ? size - allocated : 0;
        const uint64_t available = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
        *missing = needed > available ? needed - available : 0;
        return Outcome::success();
    }

  private:
    static Outcome native_name(const char16_t* path, std::string* name) {
        const std::optional<std::string> bytes = path_from_utf16(path);
        if (!bytes || bytes->empty() || bytes->find('\0') != std::string::npos) {
            return Outcome::failure("the path cannot be represented on this system");
        }
        *name = *bytes;
        return Outcome::success();
    }

    // Opens `path` read-only, with the checks of its kind that every open makes.
    static Outcome open_for_reading(const char16_t* path, Fd* fd, struct stat* st) {
        std::string name;
        Outcome named = native_name(path, &name);
        return named.ok() ? open_checked(name, O_RDONLY, fd, st) : named;
    }

    static Outcome describe(int fd, const struct stat& st, TargetInfo* info) {
        TargetInfo found;
        if (S_ISBLK(st.st_mode)) {
            found.kind = TargetKind::block_device;
            int sector = 0;
            if (::ioctl(fd, BLKGETSIZE64, &found.size_bytes) != 0 ||
                ::ioctl(fd, BLKSSZGET, &sector) != 0) {
                return last_system_failure();
            }
            found.logical_sector_size = static_cast<uint32_t>(sector);
            found.is_partition = is_partition(st);
        } else {
            found.size_bytes = static_cast<uint64_t>(st.st_size);
        }
        found.device_id = static_cast<uint64_t>(st.st_dev);
        found.file_id = static_cast<uint64_t>(st.st_ino);
        *info = found;
        return Outcome::success();
    }
};

}  // namespace

std::unique_ptr<DiskSystem> make_system_disks() {
    return std::make_unique<PosixDiskSystem>();
}

}  // namespace lintora
