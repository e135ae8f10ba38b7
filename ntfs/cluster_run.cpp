#include "ntfs/cluster_run.h"

namespace lintora {

namespace {

// Bytes needed to store `value` as a positive little-endian signed number: the index of its
// highest non-zero byte plus one (at least one), plus a zero byte when that byte's top bit is set.
uint32_t signed_field_bytes(uint64_t value) {
    uint32_t bytes = 1;
    while (bytes < 8 && (value >> (8 * bytes)) != 0) {
        ++bytes;
    }
    const auto top = static_cast<uint8_t>(value >> (8 * (bytes - 1)));
    if ((top & 0x80) != 0) {
        ++bytes;
    }
    return bytes;
}

}  // namespace

ntfs_status encode_mapping_pairs(uint8_t* buffer, uint32_t buffer_length, const ClusterRun& run,
                                 uint32_t* size) {
    const uint32_t length_bytes = signed_field_bytes(run.length);
    const uint32_t lcn_bytes = run.lcn == kNoClusters ? 0 : signed_field_bytes(run.lcn);
    const uint32_t total = 2 + length_bytes + lcn_bytes;
    if (total > buffer_length) {
        return NTFS_NO_SPACE;
    }
    if (buffer != nullptr) {
        uint8_t* p = buffer;
        *p++ = static_cast<uint8_t>(length_bytes | (lcn_bytes << 4));
        for (uint32_t i = 0; i < length_bytes; ++i) {
            *p++ = i < 8 ? static_cast<uint8_t>(run.length >> (8 * i)) : uint8_t{0};
        }
        for (uint32_t i = 0; i < lcn_bytes; ++i) {
            *p++ = i < 8 ? static_cast<uint8_t>(run.lcn >> (8 * i)) : uint8_t{0};
        }
        *p = 0;
    }
    if (size != nullptr) {
        *size = total;
    }
    return NTFS_OK;
}

ntfs_status decode_mapping_pairs(const uint8_t* bytes, uint32_t available, ClusterRun* run) {
    *run = ClusterRun{0, 0};
    if (available == 0) {
        return NTFS_OK;
    }
    const uint32_t length_bytes = bytes[0] & 0x0Fu;
    const uint32_t lcn_bytes = bytes[0] >> 4;
    auto read_field = [&](uint32_t start, uint32_t count) {
        uint64_t value = 0;
        for (uint32_t i = 0; i < count && i < 8; ++i) {
            if (start + i < available) {
                value |= static_cast<uint64_t>(bytes[start + i]) << (8 * i);
            }
        }
        return value;
    };
    run->length = read_field(1, length_bytes);
    run->lcn = read_field(1 + length_bytes, lcn_bytes);
    return NTFS_OK;
}

}  // namespace lintora
