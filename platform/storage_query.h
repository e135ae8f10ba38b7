// What the storage stack tells about disks and volumes: bus and media, the adapter's largest
// transfer, device numbers, length and sector size, and which drive letters are present. Each
// query answers false when it fails.
#pragma once

#include <cstdint>
#include <memory>

namespace lintora {

inline constexpr uint32_t kBusTypeUsb = 7;

struct StorageDeviceNumber {
    uint32_t device_type = 0;
    uint32_t device_number = 0;
    uint32_t partition_number = 0;
};

class StorageDevice {
  public:
    virtual ~StorageDevice() = default;

    virtual bool device_descriptor(uint32_t* bus_type, bool* removable_media) = 0;
    virtual bool max_transfer_length(uint32_t* bytes) = 0;
    virtual bool device_number(StorageDeviceNumber* number) = 0;
    virtual bool length_bytes(uint64_t* bytes) = 0;
    virtual bool bytes_per_sector(uint32_t* bytes) = 0;
};

class StorageSystem {
  public:
    virtual ~StorageSystem() = default;

    // Bit n set: drive letter 'A' + n is present.
    virtual uint32_t present_drive_letters() = 0;
    // The volume of a drive letter, opened for queries only; null when it cannot be opened.
    virtual std::unique_ptr<StorageDevice> open_volume(char letter) = 0;
    // A disk by its interface path, opened for reading; null when it cannot be opened.
    virtual std::unique_ptr<StorageDevice> open_disk(const char16_t* path) = 0;
};

std::unique_ptr<StorageSystem> make_system_storage();

}  // namespace lintora
