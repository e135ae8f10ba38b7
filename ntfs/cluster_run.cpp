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

// Bytes of a negative distance in two's complement: as few as keep the sign bit set.
uint32_t negative_field_bytes(int64_t value) {
    uint32_t bytes = 1;
    while (bytes < 8 && (value < -(int64_t{1} << (8 * bytes - 1)))) {
        ++bytes;
    }
    return bytes;
}

}  // namespace

ntfs_status encode_run_list(uint8_t* buffer, uint32_t buffer_length, const ClusterRun* runs,
                            uint32_t count, uint32_t* size) {
    uint32_t total = 1;  // the terminator
    uint64_t previous_lcn = 0;
    uint8_t* p = buffer;
    for (uint32_t r = 0; r < count; ++r) {
        const ClusterRun& run = runs[r];
        const uint32_t length_bytes = signed_field_bytes(run.length);
        uint64_t delta = 0;
        uint32_t lcn_bytes = 0;
        if (run.lcn != kNoClusters) {
            delta = run.lcn - previous_lcn;  // two's complement when the run lies lower
            lcn_bytes = run.lcn >= previous_lcn ? signed_field_bytes(delta)
                                                : negative_field_bytes(static_cast<int64_t>(delta));
            previous_lcn = run.lcn;
        }
        const uint32_t pair = 1 + length_bytes + lcn_bytes;
        if (pair > buffer_length || total + pair > buffer_length) {
            return NTFS_NO_SPACE;
        }
        total += pair;
        if (p != nullptr) {
            *p++ = static_cast<uint8_t>(length_bytes | (lcn_bytes << 4));
            for (uint32_t i = 0; i < length_bytes; ++i) {
                *p++ = i < 8 ? static_cast<uint8_t>(run.length >> (8 * i)) : uint8_t{0};
            }
            for (uint32_t i = 0; i < lcn_bytes; ++i) {
                *p++ = i < 8 ? static_cast<uint8_t>(delta >> (8 * i)) : uint8_t{0};
            }
        }
    }
    if (p != nullptr) {
        *p = 0;
    }
    if (size != nullptr) {
        *size = total;
    }
    return NTFS_OK;
}

ntfs_status encode_mapping_pairs(uint8_t* buffer, uint32_t buffer_length, const ClusterRun& run,
                                 uint32_t* size) {
    return encode_run_list(buffer, buffer_length, &run, 1, size);
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
