// The boot sector and the rest of the 8192-byte $Boot image, and the volume serial number.
#pragma once

#include <cstdint>

#include "ntfs/format_context.h"

namespace lintora {

inline constexpr uint32_t kBootImageBytes = 8192;

// 1-based number of the lowest set bit (1 for bit 0), 0 for 0.
uint32_t find_first_set(uint32_t value);

// Eight draws of the C library's generator seeded with the time in seconds; one byte each.
uint64_t make_volume_serial();

// The sectors-per-cluster byte: the count itself up to 128, 256 - log2(count) above, as
// Windows reads it for clusters of 256 sectors and more.
uint8_t encode_sectors_per_cluster(uint32_t sectors_per_cluster);

// The size byte of the boot sector for MFT records and index blocks: clusters per unit, or
// -log2(size) as a signed byte when the unit is smaller than a cluster.
uint8_t encode_unit_size(uint32_t size, uint32_t cluster_size);

// Fills the zeroed 8192-byte image for the planned volume.
void build_boot_image(const NtfsFormatContext& ctx, uint64_t serial, uint8_t* image);

}  // namespace lintora
