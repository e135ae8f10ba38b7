// Raw disks and volumes of the system: the operations a disk preparation job needs. One
// implementation per platform is picked at build time (Win32, POSIX); tests use a fake.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/drive_layout.h"
#include "platform/guid.h"

namespace lintora {

// One open disk or volume; destroying it closes it (and so unlocks a locked volume).
class DiskDevice {
  public:
    virtual ~DiskDevice() = default;

    // Positions at `offset` and writes all `length` bytes; false on any failure or short write.
    virtual bool write_at(uint64_t offset, const uint8_t* data, uint32_t length) = 0;
    virtual bool flush() = 0;

    // Volumes: take the volume away from the system until the handle is closed.
    virtual bool lock_volume() = 0;
    virtual bool dismount_volume() = 0;

    // Disks: a new empty partition table (MBR or GPT), the re-read of the disk's properties, and
    // the final partition layout (a DRIVE_LAYOUT_INFORMATION_EX image of `size` bytes).
    virtual bool create_disk(const CreateDiskRecord& record) = 0;
    virtual bool update_properties() = 0;
    virtual bool set_drive_layout(const uint8_t* layout, uint32_t size) = 0;
};

class DiskSystem {
  public:
    virtual ~DiskSystem() = default;

    // Opens a disk by its interface path for reading and writing; null on failure.
    virtual std::unique_ptr<DiskDevice> open_disk(const char16_t* path) = 0;
    // Opens the volume of a drive letter ('A' to 'Z'); null on failure.
    virtual std::unique_ptr<DiskDevice> open_volume(char letter) = 0;
    // Tells the shell that the medium and the drive of a letter went away.
    virtual void notify_drive_removed(char letter) = 0;
    virtual Guid make_guid() = 0;
};

// Size in bytes of a disk image or disk device, or 0 when it cannot be opened or measured.
uint64_t disk_size_bytes(const char16_t* path);

// The build's own implementation. `bytes_per_sector` tells layers that write partition tables
// themselves (POSIX) the logical sector size of the disks they open.
std::unique_ptr<DiskSystem> make_system_disks(uint32_t bytes_per_sector);

}  // namespace lintora
