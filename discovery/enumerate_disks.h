// The disks that are listed: the maker's USB disks with fixed media that answer the storage
// queries, with their drive letters, sector size and count and largest transfer.
#pragma once

#include <cstdint>
#include <string>

#include "discovery/disk_info.h"
#include "platform/device_tree.h"
#include "platform/outcome.h"
#include "platform/storage_query.h"

namespace lintora {

// The maker's USB vendor id, a build setting (LINTORA_MAKER_VENDOR_ID).
inline constexpr uint32_t kMakerVendorId = LINTORA_MAKER_VENDOR_ID;
static_assert(kMakerVendorId <= 0xFFFF, "a USB vendor id has 16 bits");
// For enumerate_disks: list fixed USB disks whatever their vendor.
inline constexpr uint32_t kAnyVendor = 0xFFFFFFFF;

// On the USB bus, with fixed (not removable) media; or why not ("it is not on USB", "it has
// removable media"), null when it is.
bool is_usb_fixed_disk(StorageDevice& device);
const char* usb_fixed_disk_refusal(StorageDevice& device);

// The adapter's largest transfer into the record's io_chunk_size.
bool query_io_chunk_size(StorageDevice& device, DiskInfo* disk);

// Queries a disk into its record (device number and the drive letters whose volumes lie on it,
// largest transfer, sector size and count): success when it can be listed, otherwise the first
// reason it cannot, in the order enumeration asks ("it is not on USB", "it has removable
// media", ...).
Outcome query_disk_record(StorageDevice& device, const StorageDeviceNumber (&letters)[26],
                          DiskInfo* disk);

// Zero-fills `list` and fills it with the accepted disks in walk order, at most kMaxListedDisks;
// returns their number. Every failed query rejects only the disk at hand.
uint32_t enumerate_disks(DiskList& list, DeviceTree& tree, StorageSystem& storage,
                         uint32_t vendor_id = kMakerVendorId);

}  // namespace lintora
