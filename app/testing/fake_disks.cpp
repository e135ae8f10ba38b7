#include "app/testing/fake_disks.h"

#include <cstdio>
#include <string>

#include "discovery/enumerate_disks.h"

namespace lintora {

FakeDisks::FakeDisks() {
    root = tree.add(0, {u"HTREE\\ROOT\\0", u"", u"", u"", {}});
}

std::u16string FakeDisks::plug(const std::u16string& name, uint64_t bytes, const char* letters,
                               uint32_t sector_size) {
    const uint32_t number = ++plugged;
    char hardware[48];
    const int length = std::snprintf(hardware, sizeof hardware, "USB\\VID_%04X&PID_%04X&REV_0100",
                                     kMakerVendorId, number);
    const std::u16string hardware_id(hardware, hardware + length);
    const DevNode usb = tree.add(root, {u"USB\\VID", hardware_id, u"", u"", {}});
    const std::string digits = std::to_string(number);
    const std::u16string serial(digits.begin(), digits.end());
    const std::u16string path = u"\\\\?\\usbstor#disk#" + name + u"#" + serial;
    tree.add(usb,
             {u"USBSTOR\\DISK&VEN_" + name + u"\\" + serial, u"", name, u"\\Device\\1", {path}});
    FakeStorageDevice device;
    device.length = bytes;
    device.sector_size = sector_size;
    device.number.device_number = number;
    storage.disks[path] = device;
    for (const char* l = letters; *l != 0; ++l) {
        storage.volumes[*l] = device;
    }
    return path;
}

}  // namespace lintora
