#include "ntfs/boot_sector.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/le.h"

namespace lintora {

uint32_t find_first_set(uint32_t value) {
    if (value == 0) {
        return 0;
    }
    uint32_t bit = 1;
    while ((value & 1u) == 0) {
        value >>= 1;
        ++bit;
    }
    return bit;
}

uint64_t make_volume_serial() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    uint8_t draws[8];
    for (uint8_t& draw : draws) {
        draw = static_cast<uint8_t>(std::rand());
    }
    // From the most significant byte down: draws 2, 1, 3, 4, 5, 6, 7, 8.
    const int order[8] = {1, 0, 2, 3, 4, 5, 6, 7};
    uint64_t serial = 0;
    for (int index : order) {
        serial = (serial << 8) | draws[index];
    }
    return serial;
}

uint8_t encode_sectors_per_cluster(uint32_t sectors_per_cluster) {
    if (sectors_per_cluster <= 128) {
        return static_cast<uint8_t>(sectors_per_cluster);
    }
    // 256 and more do not fit a byte: the byte holds 256 - log2, 0xF8 for 256 sectors.
    return static_cast<uint8_t>(257 - find_first_set(sectors_per_cluster));
}

uint8_t encode_unit_size(uint32_t size, uint32_t cluster_size) {
    if (size >= cluster_size) {
        return static_cast<uint8_t>(size / cluster_size);
    }
    return static_cast<uint8_t>(1 - static_cast<int>(find_first_set(size)));
}

void build_boot_image(const NtfsFormatContext& ctx, uint64_t serial, uint8_t* image) {
    const uint8_t jump[3] = {0xEB, 0x52, 0x90};
    std::memcpy(image, jump, 3);
    std::memcpy(image + 0x03, "NTFS    ", 8);
    store_u16(image + 0x0B, ctx.bytes_per_sector);
    image[0x0D] = encode_sectors_per_cluster(ctx.cluster_size / ctx.bytes_per_sector);
    image[0x15] = 0xF8;            // media descriptor: fixed disk
    store_u16(image + 0x18, 63);   // sectors per track
    store_u16(image + 0x1A, 255);  // heads
    store_u32(image + 0x1C, static_cast<uint32_t>(ctx.first_sector));
    image[0x24] = 0x80;
    image[0x26] = 0x80;
    store_u64(image + 0x28, ctx.last_sector);
    store_u64(image + 0x30, ctx.mft_lcn);
    store_u64(image + 0x38, ctx.mftmirr_lcn);
    image[0x40] = encode_unit_size(ctx.record_size, ctx.cluster_size);
    image[0x44] = encode_unit_size(ctx.index_block_size, ctx.cluster_size);
    store_u64(image + 0x48, serial);
    store_u16(image + 0x1FE, 0xAA55);
}

}  // namespace lintora
