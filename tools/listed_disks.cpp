#include "tools/listed_disks.h"

#include <cstdlib>

#include "discovery/enumerate_disks.h"
#include "platform/device_tree.h"
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

std::string why_not_listed(const char16_t* path) {
    std::unique_ptr<StorageSystem> storage = make_system_storage();
    std::unique_ptr<StorageDevice> target = storage->open_disk(path);
    StorageDeviceNumber number;
    if (!target || !target->device_number(&number)) {
        return "the storage stack does not know it as a disk";
    }
    const std::unique_ptr<DiskList> listed = list_disks(kMakerVendorId);
    for (uint32_t i = 0; i < listed->count; ++i) {
        std::unique_ptr<StorageDevice> disk = storage->open_disk(listed->disks[i].interface_path);
        StorageDeviceNumber other;
        if (disk && disk->device_number(&other) && other.device_type == number.device_type &&
            other.device_number == number.device_number) {
            return "";
        }
    }
    uint32_t bus = 0;
    bool removable = false;
    if (!target->device_descriptor(&bus, &removable) || bus != kBusTypeUsb) {
        return "it is not a USB disk";
    }
    if (removable) {
        return "it has removable media";
    }
    return "it is not one of the maker's disks";
}

}  // namespace lintora
