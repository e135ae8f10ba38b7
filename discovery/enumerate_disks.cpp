#include "discovery/enumerate_disks.h"

#include <cstring>

#include "discovery/usb_disk_walk.h"

namespace lintora {

namespace {

// The device number of the volume of each present drive letter that lies on a fixed USB disk;
// zero for every other letter.
void scan_letters(StorageSystem& storage, StorageDeviceNumber (&letters)[26]) {
    for_each_drive_letter(storage.present_drive_letters(), [&](char letter) {
        std::unique_ptr<StorageDevice> volume = storage.open_volume(letter);
        StorageDeviceNumber number;
        if (volume && is_usb_fixed_disk(*volume) && volume->device_number(&number)) {
            letters[letter - 'A'] = number;
        }
    });
}

// Queries a candidate into its record; false rejects it.
bool accept(DiskInfo& disk, StorageSystem& storage, const StorageDeviceNumber (&letters)[26],
            uint32_t vendor_id) {
    if (vendor_id != kAnyVendor && disk.vendor_id != vendor_id) {
        return false;
    }
    std::unique_ptr<StorageDevice> device = storage.open_disk(disk.interface_path);
    return device && query_disk_record(*device, letters, &disk).ok();
}

}  // namespace

Outcome query_disk_record(StorageDevice& device, const StorageDeviceNumber (&letters)[26],
                          DiskInfo* disk) {
    StorageDeviceNumber number;
    if (!device.device_number(&number)) {
        return Outcome::failure("its device number cannot be read");
    }
    disk->device_number = number.device_number;
    disk->drive_letters = 0;
    for (uint32_t n = 0; n < 26; ++n) {
        if (letters[n].device_type == number.device_type &&
            letters[n].device_number == number.device_number) {
            disk->drive_letters |= 1u << n;
        }
    }
    const char* not_fixed_usb = usb_fixed_disk_refusal(device);
    if (not_fixed_usb != nullptr) {
        return Outcome::failure(not_fixed_usb);
    }
    if (!query_io_chunk_size(device, disk)) {
        return Outcome::failure("its largest transfer cannot be read");
    }
    uint64_t length = 0;
    uint32_t sector = 0;
    if (!device.length_bytes(&length)) {
        return Outcome::failure("its size cannot be read as a number of bytes");
    }
    if (!device.bytes_per_sector(&sector) || sector == 0) {
        return Outcome::failure("its sector size cannot be read");
    }
    disk->bytes_per_sector = sector;
    disk->sector_count = length / sector;
    return disk->sector_count == 0 ? Outcome::failure("it reports no size") : Outcome::success();
}

const char* usb_fixed_disk_refusal(StorageDevice& device) {
    uint32_t bus = 0;
    bool removable = true;
    if (!device.device_descriptor(&bus, &removable) || bus != kBusTypeUsb) {
        return "it is not a USB disk";
    }
    return removable ? "it has removable media" : nullptr;
}

bool is_usb_fixed_disk(StorageDevice& device) {
    return usb_fixed_disk_refusal(device) == nullptr;
}

bool query_io_chunk_size(StorageDevice& device, DiskInfo* disk) {
    uint32_t bytes = 0;
    if (!device.max_transfer_length(&bytes)) {
        return false;
    }
    disk->io_chunk_size = bytes;
    return true;
}

uint32_t enumerate_disks(DiskList& list, DeviceTree& tree, StorageSystem& storage,
                         uint32_t vendor_id) {
    std::memset(&list, 0, sizeof list);
    StorageDeviceNumber letters[26] = {};
    scan_letters(storage, letters);
    DevNode previous = 0;
    while (list.count < kMaxListedDisks) {
        DiskInfo& slot = list.disks[list.count];
        previous = find_next_usb_disk(tree, previous, &slot);
        if (previous == 0) {
            break;
        }
        if (accept(slot, storage, letters, vendor_id)) {
            ++list.count;
        }
    }
    return list.count;
}

}  // namespace lintora
