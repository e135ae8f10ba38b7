#include "ntfs/file_record.h"

#include <cstring>

#include "base/le.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/record_layout.h"
#include "ntfs/run_writer.h"

namespace lintora {

namespace {

constexpr uint32_t kSectorStride = 512;     // update sequence stride
constexpr uint32_t kResidentHeader = 0x18;  // header of a resident attribute
constexpr uint32_t kNonResidentHeader = 0x40;

}  // namespace

uint32_t record_bytes_in_use(FileRecordBuffer record) {
    return load_u32(record.bytes + kRecordBytesInUse);
}

uint32_t record_bytes_allocated(FileRecordBuffer record) {
    return load_u32(record.bytes + kRecordBytesAllocated);
}

void name_to_le(const CountedName* name, uint8_t* out) {
    const uint32_t units = name_units(name);
    for (uint32_t i = 0; i < units && i < 255; ++i) {
        store_u16(out + 2 * i, static_cast<uint16_t>(name->units[i]));
    }
}

ntfs_status init_file_record(const NtfsFormatContext& ctx, FileRecordBuffer record,
                             uint32_t record_number) {
    uint8_t* r = record.bytes;
    const uint32_t usa_count = ctx.record_size / kSectorStride + 1;
    const uint32_t usa_offset = load_u16(r + kRecordUsaOffset);
    const uint32_t first_attribute = usa_offset + round_up8(2 * usa_count);
    store_u16(r + kRecordUsaCount, static_cast<uint16_t>(usa_count));
    store_u16(r + usa_offset, 0);
    store_u64(r + kRecordLsn, 0);
    store_u16(r + kRecordSequence, 1);
    store_u16(r + kRecordLinkCount, 0);
    store_u16(r + kRecordFirstAttribute, static_cast<uint16_t>(first_attribute));
    store_u16(r + kRecordFlags, 0);
    store_u32(r + kRecordBytesInUse, round_up8(first_attribute + 8));
    store_u32(r + kRecordBytesAllocated, ctx.record_size);
    store_u64(r + 0x20, 0);  // base record reference
    store_u16(r + kRecordNextAttributeId, 0);
    store_u16(r + 0x2A, 0);
    store_u32(r + kRecordNumber, record_number);
    store_u32(r + first_attribute, kEndMarker);
    std::memset(r + first_attribute + 4, 0, ctx.record_size - first_attribute - 4);
    return NTFS_OK;
}

ntfs_status apply_fixups(uint8_t* image) {
    const uint32_t count = load_u16(image + kRecordUsaCount);
    uint8_t* usa = image + load_u16(image + kRecordUsaOffset);
    auto number = static_cast<uint16_t>(load_u16(usa) + 1);
    if (number == 0xFFFF || number == 0) {
        number = 1;
    }
    store_u16(usa, number);
    for (uint32_t i = 1; i < count; ++i) {
        uint8_t* sector_end = image + kSectorStride * i - 2;
        store_u16(usa + 2 * i, load_u16(sector_end));
        store_u16(sector_end, number);
    }
    return NTFS_OK;
}

ntfs_status remove_fixups(uint8_t* image) {
    const uint32_t count = load_u16(image + kRecordUsaCount);
    const uint8_t* usa = image + load_u16(image + kRecordUsaOffset);
    for (uint32_t i = 1; i < count; ++i) {
        store_u16(image + kSectorStride * i - 2, load_u16(usa + 2 * i));
    }
    return NTFS_OK;
}

ntfs_status write_record(const NtfsFormatContext& ctx, FileRecordBuffer record, uint64_t offset,
                         uint32_t size) {
    apply_fixups(record.bytes);
    if (volume_write(ctx, offset, record.bytes, size) != size) {
        return NTFS_WRITE_FAILED;
    }
    remove_fixups(record.bytes);
    return NTFS_OK;
}

int collate_names(const uint8_t* a, const uint8_t* b, uint32_t length_b, uint32_t length_a,
                  const uint8_t* table, uint32_t table_length) {
    auto mapped = [&](const uint8_t* name, uint32_t i) {
        const uint16_t unit = load_u16(name + 2 * i);
        return unit < table_length ? load_u16(table + 2 * unit) : unit;
    };
    const uint32_t shorter = length_a < length_b ? length_a : length_b;
    for (uint32_t i = 0; i < shorter; ++i) {
        const uint16_t ua = mapped(a, i);
        const uint16_t ub = mapped(b, i);
        if (ua != ub) {
            return ub < ua ? -1 : 1;
        }
    }
    if (length_a == length_b) {
        return 0;
    }
    return length_b < length_a ? -1 : 1;
}

int find_attribute(FileRecordBuffer record, const CountedName* name, const NtfsFormatContext& ctx,
                   uint32_t type, uint32_t* position) {
    const uint8_t* r = record.bytes;
    const uint32_t allocated = record_bytes_allocated(record);
    const uint32_t wanted_units = name_units(name);
    uint8_t wanted[510];
    name_to_le(name, wanted);
    uint32_t pos = load_u16(r + kRecordFirstAttribute);
    while (pos < allocated) {
        const uint8_t* attr = r + pos;
        const uint32_t attr_type = load_u32(attr + kAttrType);
        const uint32_t length = load_u32(attr + kAttrLength);
        if (attr_type == kEndMarker || length == 0 || attr_type > type) {
            break;
        }
        if (attr_type == type) {
            const uint32_t attr_units = attr[kAttrNameLength];
            if (wanted_units == 0) {
                *position = pos;
                return attr_units == 0 ? kAttributeFound : kAttributeAbsent;
            }
            const int order =
                collate_names(attr + load_u16(attr + kAttrNameOffset), wanted, wanted_units,
                              attr_units, ctx.upcase.get(), ctx.upcase_length);
            if (order == 0) {
                *position = pos;
                return kAttributeFound;
            }
            if (order < 0) {
                break;
            }
        }
        pos += length;
    }
    *position = pos;
    return kAttributeAbsent;
}

ntfs_status insert_attribute_header(FileRecordBuffer record, uint32_t position, uint32_t length,
                                    uint32_t type, uint8_t non_resident, const CountedName* name) {
    uint8_t* r = record.bytes;
    const uint32_t in_use = record_bytes_in_use(record);
    if (static_cast<uint64_t>(in_use) + length > record_bytes_allocated(record)) {
        return NTFS_NO_SPACE;
    }
    std::memmove(r + position + length, r + position, in_use - position);
    std::memset(r + position, 0, length);
    store_u32(r + kRecordBytesInUse, in_use + length);

    uint8_t* attr = r + position;
    const uint16_t id = load_u16(r + kRecordNextAttributeId);
    store_u16(r + kRecordNextAttributeId, static_cast<uint16_t>(id + 1));
    const uint32_t name_offset = non_resident != 0 ? kNonResidentHeader : kResidentHeader;
    store_u32(attr + kAttrType, type);
    store_u32(attr + kAttrLength, length);
    attr[kAttrNonResident] = non_resident;
    attr[kAttrNameLength] = static_cast<uint8_t>(name_units(name));
    store_u16(attr + kAttrNameOffset, static_cast<uint16_t>(name_offset));
    store_u16(attr + kAttrId, id);
    name_to_le(name, attr + name_offset);
    return NTFS_OK;
}

ntfs_status add_resident_attribute(const NtfsFormatContext& ctx, FileRecordBuffer record,
                                   uint32_t type, uint8_t indexed, const uint8_t* value,
                                   uint32_t value_length, const CountedName* name) {
    uint32_t position = 0;
    if (find_attribute(record, name, ctx, type, &position) == kAttributeFound) {
        return NTFS_INVALID;
    }
    const uint32_t value_offset = kResidentHeader + round_up8(name_bytes(name));
    const uint64_t length = round_up8(value_offset) + static_cast<uint64_t>(value_length);
    if (length > record_bytes_allocated(record)) {
        return NTFS_NO_SPACE;
    }
    NTFS_RETURN_IF_FAILED(insert_attribute_header(
        record, position, round_up8(static_cast<uint32_t>(length)), type, 0, name));
    uint8_t* attr = record.bytes + position;
    store_u32(attr + kAttrValueLength, value_length);
    store_u16(attr + kAttrValueOffset, static_cast<uint16_t>(value_offset));
    attr[kAttrIndexed] = indexed;
    if (value_length != 0) {
        std::memcpy(attr + value_offset, value, value_length);
    }
    return NTFS_OK;
}

namespace {

// The header and mapping pairs of a non-resident attribute over `runs`; `attribute` receives its
// place in the record. The initialized size is left 0 for the caller.
ntfs_status insert_nonresident_header(const NtfsFormatContext& ctx, FileRecordBuffer record,
                                      uint32_t type, const ClusterRun* runs, uint32_t count,
                                      uint64_t size, const CountedName* name, uint8_t** attribute) {
    uint32_t position = 0;
    if (find_attribute(record, name, ctx, type, &position) == kAttributeFound) {
        return NTFS_INVALID;
    }
    uint64_t clusters = 0;
    for (uint32_t r = 0; r < count; ++r) {
        clusters += runs[r].length;
    }
    const uint64_t allocated_size = clusters * ctx.cluster_size;
    if (allocated_size < size) {
        return NTFS_INVALID;
    }
    uint32_t pairs_length = 0;
    if (encode_run_list(nullptr, ~0u, runs, count, &pairs_length) != NTFS_OK) {
        return NTFS_INVALID;
    }
    const uint32_t pairs_offset = kNonResidentHeader + round_up8(name_bytes(name));
    const uint32_t length = round_up8(pairs_offset + pairs_length);
    NTFS_RETURN_IF_FAILED(insert_attribute_header(record, position, length, type, 1, name));
    uint8_t* attr = record.bytes + position;
    store_u64(attr + kAttrLastVcn, clusters - 1);
    store_u16(attr + kAttrMappingPairsOffset, static_cast<uint16_t>(pairs_offset));
    store_u64(attr + kAttrAllocatedSize, allocated_size);
    store_u64(attr + kAttrDataSize, size);
    *attribute = attr;
    return encode_run_list(attr + pairs_offset, pairs_length, runs, count, nullptr);
}

}  // namespace

ntfs_status add_nonresident_attribute(const NtfsFormatContext& ctx, FileRecordBuffer record,
                                      uint32_t type, const ClusterRun& run, const uint8_t* data,
                                      uint64_t size, const CountedName* name) {
    uint8_t* attr = nullptr;
    NTFS_RETURN_IF_FAILED(insert_nonresident_header(ctx, record, type, &run, 1, size, name, &attr));
    uint64_t initialized_size = 0;
    NTFS_RETURN_IF_FAILED(write_run(run, ctx, data, size, &initialized_size));
    store_u64(attr + kAttrInitializedSize, initialized_size);
    return NTFS_OK;
}

ntfs_status add_run_list_attribute(const NtfsFormatContext& ctx, FileRecordBuffer record,
                                   uint32_t type, const ClusterRun* runs, uint32_t count,
                                   uint64_t size, const CountedName* name) {
    uint8_t* attr = nullptr;
    return insert_nonresident_header(ctx, record, type, runs, count, size, name, &attr);
}

ntfs_status allocate_nonresident_attribute(NtfsFormatContext& ctx, FileRecordBuffer record,
                                           uint32_t type, const CountedName* name,
                                           const uint8_t* data, uint64_t size) {
    ClusterRun run{};
    NTFS_RETURN_IF_FAILED(allocate_run(ctx, run, div_round_up(size, ctx.cluster_size)));
    return add_nonresident_attribute(ctx, record, type, run, data, size, name);
}

ntfs_status find_attribute_run(FileRecordBuffer record, const CountedName* name,
                               const NtfsFormatContext& ctx, uint32_t type, ClusterRun* run) {
    uint32_t position = 0;
    if (find_attribute(record, name, ctx, type, &position) != kAttributeFound) {
        return NTFS_NOT_FOUND;
    }
    const uint8_t* attr = record.bytes + position;
    if (attr[kAttrNonResident] == 0) {
        return NTFS_INVALID;
    }
    const uint32_t pairs_offset = load_u16(attr + kAttrMappingPairsOffset);
    return decode_mapping_pairs(attr + pairs_offset, load_u32(attr + kAttrLength) - pairs_offset,
                                run);
}

ntfs_status resize_resident_value(FileRecordBuffer record, uint32_t attribute,
                                  uint32_t new_value_length) {
    uint8_t* r = record.bytes;
    uint8_t* attr = r + attribute;
    const uint32_t old_length = load_u32(attr + kAttrLength);
    const uint32_t new_length =
        round_up8(round_up8(load_u16(attr + kAttrValueOffset)) + new_value_length);
    if (new_length != old_length) {
        const uint32_t in_use = record_bytes_in_use(record);
        const uint64_t new_in_use = static_cast<uint64_t>(in_use) - old_length + new_length;
        if (new_in_use > record_bytes_allocated(record)) {
            return NTFS_NO_SPACE;
        }
        const uint32_t tail = attribute + old_length;
        std::memmove(attr + new_length, r + tail, in_use - tail);
        if (new_length > old_length) {
            std::memset(r + tail, 0, new_length - old_length);
        } else {
            std::memset(r + new_in_use, 0, old_length - new_length);
        }
        store_u32(r + kRecordBytesInUse, static_cast<uint32_t>(new_in_use));
        store_u32(attr + kAttrLength, new_length);
    }
    store_u32(attr + kAttrValueLength, new_value_length);
    return NTFS_OK;
}

}  // namespace lintora
