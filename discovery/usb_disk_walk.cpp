#include "discovery/usb_disk_walk.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace lintora {

namespace {

constexpr uint32_t kCmBufferBytes = kCmBufferUnits * sizeof(char16_t);

char16_t ascii_upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Whether `text` starts with the upper-case ASCII `prefix`, ignoring case.
bool starts_with(const char16_t* text, const char* prefix) {
    for (uint32_t i = 0; prefix[i] != 0; ++i) {
        if (ascii_upper(text[i]) != static_cast<char16_t>(prefix[i])) {
            return false;
        }
    }
    return true;
}

// A disk of the USB mass-storage driver has a device id "USBSTOR\DISK..."; one behind a USB
// Attached SCSI bridge (the UASPStor driver) has "SCSI\DISK..." like any SCSI disk, and only
// its parent, the USB device, tells it from a SATA, NVMe or card-reader disk.
enum class DiskIdKind { other, usb_storage, scsi };

DiskIdKind disk_id_kind(const char16_t* id) {
    if (starts_with(id, "USBSTOR\\DISK")) {
        return DiskIdKind::usb_storage;
    }
    return starts_with(id, "SCSI\\DISK") ? DiskIdKind::scsi : DiskIdKind::other;
}

bool is_usb_hardware_id(const char16_t* hardware_id) {
    return starts_with(hardware_id, "USB\\VID_");
}

uint32_t length_of(const char16_t* text, uint32_t limit) {
    uint32_t n = 0;
    while (n < limit && text[n] != 0) {
        ++n;
    }
    return n;
}

// Position of the first unit of text[from, length) that is one of `set`, or `length`.
uint32_t find_first_of(const char16_t* text, uint32_t from, uint32_t length, const char* set) {
    for (uint32_t i = from; i < length; ++i) {
        if (text[i] < 0x80 && std::strchr(set, static_cast<char>(text[i])) != nullptr) {
            return i;
        }
    }
    return length;
}

// Reads text[from, length) as "%04x" would; false when nothing could be read.
bool read_hex4(const char16_t* text, uint32_t from, uint32_t length, uint32_t* value) {
    char narrow[8] = {};
    for (uint32_t i = 0; i < 7 && from + i < length; ++i) {
        const char16_t c = text[from + i];
        narrow[i] = c < 0x80 ? static_cast<char>(c) : '?';
    }
    unsigned int read = 0;
    if (std::sscanf(narrow, "%04x", &read) != 1) {
        return false;
    }
    *value = read;
    return true;
}

// Copies a NUL-terminated text into a record field, cut to fit with its terminator.
void copy_field(char16_t (&field)[kPathUnits], const char16_t* text, uint32_t limit) {
    const uint32_t n = std::min(length_of(text, limit), kPathUnits - 1);
    std::memcpy(field, text, n * sizeof(char16_t));
    field[n] = 0;
}

// The node's physical device object name into the record; false when it is larger than the
// record's field takes.
bool read_object_name(DeviceTree& tree, DevNode node, DiskInfo* disk) {
    std::memset(disk->device_object_name, 0, sizeof disk->device_object_name);
    uint32_t size = 0;
    tree.property(node, kPropertyDeviceObjectName, nullptr, &size);
    if (size > kMaxDeviceObjectNameBytes) {
        return false;
    }
    uint32_t length = size;
    tree.property(node, kPropertyDeviceObjectName, disk->device_object_name, &length);
    return length <= kMaxDeviceObjectNameBytes;
}

}  // namespace

bool read_devnode_property(DeviceTree& tree, DevNode node, uint32_t property, void* buffer,
                           uint32_t capacity) {
    std::memset(buffer, 0, capacity);
    uint32_t size = 0;
    tree.property(node, property, nullptr, &size);
    if (size > capacity) {
        return false;
    }
    uint32_t length = size;
    tree.property(node, property, buffer, &length);
    if (length > capacity) {
        std::memset(buffer, 0, capacity);
        return false;
    }
    return true;
}

void parse_usb_ids(const char16_t* hardware_id, uint32_t* vendor_id, uint32_t* product_id) {
    *vendor_id = 0;
    *product_id = 0;
    const uint32_t length = length_of(hardware_id, kCmBufferUnits);
    const uint32_t v = find_first_of(hardware_id, 0, length, "Vid_");
    if (v == length || v + 4 > length) {
        return;
    }
    read_hex4(hardware_id, v + 4, length, vendor_id);
    const uint32_t p = find_first_of(hardware_id, v + 4, length, "Pid_");
    if (p == length || p + 4 > length) {
        return;
    }
    read_hex4(hardware_id, p + 4, length, product_id);
}

namespace {

// Advances in pre-order: the first child, else the next sibling, else the next sibling of the
// nearest ancestor that has one. False at the end of the tree.
bool advance_in_preorder(DeviceTree& tree, DevNode* current) {
    DevNode next = 0;
    if (tree.child(&next, *current) == kCmSuccess) {
        *current = next;
        return true;
    }
    for (;;) {
        if (tree.sibling(&next, *current) == kCmSuccess) {
            *current = next;
            return true;
        }
        if (tree.parent(&next, *current) != kCmSuccess) {
            return false;
        }
        *current = next;
    }
}

// A node whose device id names a disk: its object name, its parent's USB ids, and, when it sits
// on USB and has a disk interface, its interface path and friendly name. True for such a disk.
bool read_usb_disk(DeviceTree& tree, DevNode node, DiskIdKind kind, const char16_t* id,
                   DiskInfo* disk) {
    if (!read_object_name(tree, node, disk)) {
        return false;
    }
    char16_t hardware[kCmBufferUnits] = {};
    DevNode usb_device = 0;
    if (tree.parent(&usb_device, node) == kCmSuccess &&
        read_devnode_property(tree, usb_device, kPropertyHardwareId, hardware, kCmBufferBytes)) {
        parse_usb_ids(hardware, &disk->vendor_id, &disk->product_id);
    }
    const bool on_usb = kind == DiskIdKind::usb_storage || is_usb_hardware_id(hardware);
    char16_t interfaces[kCmBufferUnits] = {};
    if (!on_usb || tree.disk_interfaces(id, interfaces, kCmBufferUnits) != kCmSuccess) {
        return false;
    }
    char16_t friendly[kCmBufferUnits] = {};
    uint32_t name_size = 0;
    tree.property(node, kPropertyFriendlyName, nullptr, &name_size);
    if (name_size <= kCmBufferBytes) {
        uint32_t name_length = name_size;
        tree.property(node, kPropertyFriendlyName, friendly, &name_length);
    }
    copy_field(disk->interface_path, interfaces, kCmBufferUnits);
    copy_field(disk->friendly_name, friendly, kCmBufferUnits);
    return true;
}

}  // namespace

DevNode find_next_usb_disk(DeviceTree& tree, DevNode previous, DiskInfo* disk) {
    disk->vendor_id = 0;
    disk->product_id = 0;
    DevNode current = 0;
    bool examine = true;
    if (previous == 0) {
        if (tree.locate_root(&current) != kCmSuccess) {
            return 0;
        }
    } else {
        current = previous;
        examine = false;
    }
    char16_t id[kCmBufferUnits] = {};
    for (;;) {
        const DiskIdKind kind = examine && tree.device_id(current, id, kCmBufferUnits) == kCmSuccess
                                    ? disk_id_kind(id)
                                    : DiskIdKind::other;
        if (kind != DiskIdKind::other && read_usb_disk(tree, current, kind, id, disk)) {
            return current;
        }
        examine = true;
        if (!advance_in_preorder(tree, &current)) {
            return 0;
        }
    }
}

}  // namespace lintora
