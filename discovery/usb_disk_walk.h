// The walk of the device tree that finds USB mass-storage disks: one node per call, resumed from
// the node the last call returned, in depth-first pre-order.
#pragma once

#include <cstdint>

#include "discovery/disk_info.h"
#include "platform/device_tree.h"

namespace lintora {

// Largest accepted physical device object name, in bytes (terminator included).
inline constexpr uint32_t kMaxDeviceObjectNameBytes = 522;

// Reads a registry property of `node` into `buffer` (zero-filled first): false, with the buffer
// left empty, when the property's size is above `capacity` bytes or the value read back is.
bool read_devnode_property(DeviceTree& tree, DevNode node, uint32_t property, void* buffer,
                           uint32_t capacity);

// The USB vendor and product ids of a hardware id "USB\VID_vvvv&PID_pppp&REV_rrrr": the first
// character of the set "Vid_" marks the vendor id four characters on, the next character of the
// set "Pid_" after that marks the product id; each is read as by "%04x". What cannot be found
// or read stays 0.
void parse_usb_ids(const char16_t* hardware_id, uint32_t* vendor_id, uint32_t* product_id);

// The next USB mass-storage disk node after `previous` (0: start at the root) whose disk
// interfaces can be listed: a "USBSTOR\DISK" node, or a "SCSI\DISK" node whose parent is a USB
// device (hardware id "USB\VID_..."), as a disk behind a USB Attached SCSI bridge is; with the
// record's interface_path, friendly_name, device_object_name, vendor_id and product_id filled; 0
// when the walk is over or cannot start.
DevNode find_next_usb_disk(DeviceTree& tree, DevNode previous, DiskInfo* disk);

}  // namespace lintora
