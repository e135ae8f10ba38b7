// Raw disks and volumes of the system: the operations a disk preparation job needs. One
// implementation per platform is picked at build time (Win32, POSIX); tests use a fake. Every
// operation answers with an Outcome that carries the system's reason when it fails.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/encoding/drive_layout.h"
#include "platform/encoding/guid.h"
#include "platform/outcome.h"

namespace lintora {

// The bytes of an open disk, image or volume; destroying it closes it.
class DiskIo {
  public:
    virtual ~DiskIo() = default;

    // Positions at `offset` and writes all `length` bytes; a short write is a failure.
    virtual Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) = 0;
    // Positions at `offset` and reads all `length` bytes; a short read is a failure.
    virtual Outcome read_at(uint64_t offset, uint8_t* data, uint32_t length) = 0;
    // Everything written reaches the medium before this returns.
    virtual Outcome flush() = 0;
    // After a flush: whatever the system keeps cached of these bytes is dropped, so that the
    // reads that follow come from the medium (a read-back that the cache answers proves nothing).
    virtual Outcome forget_cached() = 0;
};

// An I/O target in front of another that it does not own: hands every request on, so that a
// decorator (the read-back log, the boot sector hold) overrides only what it changes.
class ForwardingDiskIo : public DiskIo {
  public:
    explicit ForwardingDiskIo(DiskIo& target) : target_(target) {}

    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        return target_.write_at(offset, data, length);
    }
    Outcome read_at(uint64_t offset, uint8_t* data, uint32_t length) override {
        return target_.read_at(offset, data, length);
    }
    Outcome flush() override { return target_.flush(); }
    Outcome forget_cached() override { return target_.forget_cached(); }

  protected:
    DiskIo& target_;
};

// Flushes `io` and drops what the system caches of it: what is read next comes from the medium.
inline Outcome flush_and_forget(DiskIo& io) {
    Outcome step = io.flush();
    return step.ok() ? io.forget_cached() : step;
}

// An open whole disk: its bytes, and its partition table as the system's partition manager
// keeps it: a new empty table (MBR or GPT), the re-read of the disk's properties, and the final
// layout (a DRIVE_LAYOUT_INFORMATION_EX image of `size` bytes).
class DiskDevice : public DiskIo {
  public:
    virtual Outcome create_disk(const CreateDiskRecord& record) = 0;
    virtual Outcome update_properties() = 0;
    virtual Outcome set_drive_layout(const uint8_t* layout, uint32_t size) = 0;
};

// An open volume, taken away from the system until the handle is closed.
class VolumeHandle {
  public:
    virtual ~VolumeHandle() = default;

    virtual Outcome lock_volume() = 0;
    virtual Outcome dismount_volume() = 0;
};

// A disk that hands every request to the one it owns; a decorator overrides only what it
// changes.
class ForwardingDiskDevice : public DiskDevice {
  public:
    explicit ForwardingDiskDevice(std::unique_ptr<DiskDevice> inner) : inner_(std::move(inner)) {}

    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        return inner_->write_at(offset, data, length);
    }
    Outcome read_at(uint64_t offset, uint8_t* data, uint32_t length) override {
        return inner_->read_at(offset, data, length);
    }
    Outcome flush() override { return inner_->flush(); }
    Outcome forget_cached() override { return inner_->forget_cached(); }
    Outcome create_disk(const CreateDiskRecord& record) override {
        return inner_->create_disk(record);
    }
    Outcome update_properties() override { return inner_->update_properties(); }
    Outcome set_drive_layout(const uint8_t* layout, uint32_t size) override {
        return inner_->set_drive_layout(layout, size);
    }

  protected:
    std::unique_ptr<DiskDevice> inner_;
};

enum class TargetKind { image_file, block_device };

// What a path names, found without writing anything.
struct TargetInfo {
    TargetKind kind = TargetKind::image_file;
    uint64_t size_bytes = 0;
    uint32_t logical_sector_size = 0;  // a device's own; 0 for an image file (the caller picks)
    bool is_partition = false;         // a partition of a disk, not a whole disk
    // Which file or device the path names now (its device and file number where the system
    // gives them, both 0 where it does not): a path moved or replaced during a run names
    // another.
    uint64_t device_id = 0;
    uint64_t file_id = 0;
};

// What an opened target is for. A whole disk gets a new partition table, so the layer makes
// sure before the first write that it is a whole disk and that nothing else holds it or any of
// its partitions; a volume target is written as it is (an image, a partition, a whole device).
enum class DiskUse { whole_disk, volume };

class DiskSystem {
  public:
    virtual ~DiskSystem() = default;

    // Size, kind and sector size of the image or device at `path`. Directories, pipes and
    // character devices are refused by type.
    virtual Outcome query_target(const char16_t* path, TargetInfo* info) = 0;
    // Opens a disk or image for writing, for `use`, with the logical sector size the caller
    // believes it has (a device that has another is refused).
    virtual Outcome open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse use,
                              std::unique_ptr<DiskDevice>* device) = 0;
    // Opens the volume of a drive letter ('A' to 'Z').
    virtual Outcome open_volume(char letter, std::unique_ptr<VolumeHandle>* volume) = 0;
    // Opens a volume by its volume GUID path ("\\?\Volume{...}").
    virtual Outcome open_volume_path(const char16_t* path,
                                     std::unique_ptr<VolumeHandle>* volume) = 0;
    // The volume GUID path of the volume a drive letter names.
    virtual Outcome volume_path_of_letter(char letter, std::u16string* path) = 0;
    // The drive letters of the volume at a volume GUID path (bit 0 for A: ... bit 25 for Z:),
    // from its mount points.
    virtual Outcome letters_of_volume(const char16_t* path, uint32_t* letters) = 0;
    // The volume GUID paths of every volume that lies on the disk at `disk_path`, with or without
    // a drive letter: the system's list of volumes, each one's disk extents compared with the
    // disk's device number. None for a target that is not a disk of the system (an image).
    virtual Outcome volumes_on_disk(const char16_t* disk_path,
                                    std::vector<std::u16string>* paths) = 0;
    // Tells the shell that the medium and the drive of a letter went away.
    virtual void notify_drive_removed(char letter) = 0;
    // A fresh random GUID; fails when the system has no randomness to give.
    virtual Outcome make_guid(Guid* guid) = 0;
    // Waits before a request is tried again.
    virtual void pause(uint32_t milliseconds) = 0;
    // How many bytes the file system that holds the image at `path` lacks for the image to be
    // written in full (a sparse image becomes allocated); 0 for a device or when there is room.
    virtual Outcome room_missing_to_fill(const char16_t* path, uint64_t* missing) = 0;
    // The checks of open_disk for `use` that need no write access and change nothing (a dry
    // run): a read-only device, a mounted partition as the system lists its mounts, an image
    // that backs a loop device. What only the real open finds (a program holding the device
    // exclusively, a partition held open, a second run) stays for the run. A system without
    // such checks answers success.
    virtual Outcome check_without_writing(const char16_t* path, DiskUse use) {
        (void)path;
        (void)use;
        return Outcome::success();
    }
};

// A disk system that hands every request to another one; a decorator overrides only what it
// changes.
class ForwardingDiskSystem : public DiskSystem {
  public:
    explicit ForwardingDiskSystem(DiskSystem& inner) : inner_(inner) {}

    Outcome query_target(const char16_t* path, TargetInfo* info) override {
        return inner_.query_target(path, info);
    }
    Outcome open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse use,
                      std::unique_ptr<DiskDevice>* device) override {
        return inner_.open_disk(path, bytes_per_sector, use, device);
    }
    Outcome open_volume(char letter, std::unique_ptr<VolumeHandle>* volume) override {
        return inner_.open_volume(letter, volume);
    }
    Outcome open_volume_path(const char16_t* path, std::unique_ptr<VolumeHandle>* volume) override {
        return inner_.open_volume_path(path, volume);
    }
    Outcome volume_path_of_letter(char letter, std::u16string* path) override {
        return inner_.volume_path_of_letter(letter, path);
    }
    Outcome letters_of_volume(const char16_t* path, uint32_t* letters) override {
        return inner_.letters_of_volume(path, letters);
    }
    Outcome volumes_on_disk(const char16_t* disk_path,
                            std::vector<std::u16string>* paths) override {
        return inner_.volumes_on_disk(disk_path, paths);
    }
    void notify_drive_removed(char letter) override { inner_.notify_drive_removed(letter); }
    Outcome make_guid(Guid* guid) override { return inner_.make_guid(guid); }
    void pause(uint32_t milliseconds) override { inner_.pause(milliseconds); }
    Outcome room_missing_to_fill(const char16_t* path, uint64_t* missing) override {
        return inner_.room_missing_to_fill(path, missing);
    }
    Outcome check_without_writing(const char16_t* path, DiskUse use) override {
        return inner_.check_without_writing(path, use);
    }

  protected:
    DiskSystem& inner_;
};

// The build's own implementation.
std::unique_ptr<DiskSystem> make_system_disks();

}  // namespace lintora
