#include "tools/listed_disks.h"

#include <cstdlib>
#include <string>

#include "discovery/enumerate_disks.h"
#include "discovery/usb_disk_walk.h"
#include "platform/device_tree.h"
#include "platform/encoding/utf.h"
#include "platform/storage_query.h"

namespace lintora {

std::unique_ptr<DiskList> list_disks(uint32_t vendor_id) {
    auto list = std::make_unique<DiskList>();
    std::unique_ptr<DeviceTree> tree = make_system_device_tree();
    std::unique_ptr<StorageSystem> storage = make_system_storage();
    enumerate_disks(*list, *tree, *storage, vendor_id);
    std::qsort(list->disks, list->count, sizeof(DiskInfo), compare_by_first_letter);
    return list;
}

namespace {

// The first storage query that rules the disk out: enumeration's own.
std::string storage_refusal(StorageDevice& device) {
    const StorageDeviceNumber no_letters[26] = {};
    DiskInfo record{};
    const Outcome queried = query_disk_record(device, no_letters, &record);
    return queried.ok() ? "the list was full before it" : queried.reason;
}

}  // namespace

std::vector<UnlistedDisk> unlisted_usb_disks(const DiskList& listed) {
    std::vector<UnlistedDisk> unlisted;
    std::unique_ptr<DeviceTree> tree = make_system_device_tree();
    std::unique_ptr<StorageSystem> storage = make_system_storage();
    DiskInfo disk{};
    for (DevNode node = 0; (node = find_next_usb_disk(*tree, node, &disk)) != 0;) {
        bool found = false;
        for (uint32_t i = 0; i < listed.count && !found; ++i) {
            found = std::u16string(listed.disks[i].interface_path) == disk.interface_path;
        }
        if (found) {
            continue;
        }
        std::unique_ptr<StorageDevice> device = storage->open_disk(disk.interface_path);
        unlisted.push_back({path_for_display(disk.interface_path),
                            device ? storage_refusal(*device) : "it cannot be opened"});
    }
    return unlisted;
}

Outcome is_listed_disk(const char16_t* path) {
    std::unique_ptr<StorageSystem> storage = make_system_storage();
    std::unique_ptr<StorageDevice> target = storage->open_disk(path);
    StorageDeviceNumber number;
    if (!target || !target->device_number(&number)) {
        return Outcome::failure("the storage stack does not know it as a disk");
    }
    const std::unique_ptr<DiskList> listed = list_disks(kMakerVendorId);
    for (uint32_t i = 0; i < listed->count; ++i) {
        std::unique_ptr<StorageDevice> disk = storage->open_disk(listed->disks[i].interface_path);
        StorageDeviceNumber other;
        if (disk && disk->device_number(&other) && other.device_type == number.device_type &&
            other.device_number == number.device_number) {
            return Outcome::success();
        }
    }
    // Enumeration's own reasons, in its words.
    if (const char* not_fixed_usb = usb_fixed_disk_refusal(*target)) {
        return Outcome::failure(not_fixed_usb);
    }
    return Outcome::failure("it is not one of the maker's disks");
}

}  // namespace lintora
