#include "platform/encoding/drive_layout.h"

#include <cstring>

#include "base/le.h"

namespace lintora {

void encode_create_disk(const CreateDiskRecord& record, uint8_t out[kCreateDiskBytes]) {
    std::memset(out, 0, kCreateDiskBytes);
    store_u32(out, static_cast<uint32_t>(record.style));
    if (record.style == LayoutStyle::gpt) {
        std::memcpy(out + 4, record.gpt_disk_id.bytes, 16);
        store_u32(out + 20, record.max_partition_count);
    } else {
        store_u32(out + 4, record.mbr_signature);
    }
}

void encode_drive_layout(const DriveLayoutRecord& layout, uint8_t* buffer, uint32_t size) {
    std::memset(buffer, 0, size);
    if (size < kLayoutHeaderBytes) {
        return;
    }
    store_u32(buffer + 0, static_cast<uint32_t>(layout.style));
    store_u32(buffer + 4, layout.count);
    if (layout.style == LayoutStyle::gpt) {
        std::memcpy(buffer + 8, layout.gpt_disk_id.bytes, 16);
        store_u64(buffer + 24, layout.gpt_starting_usable);
        store_u64(buffer + 32, layout.gpt_usable_length);
        store_u32(buffer + 40, layout.gpt_max_partition_count);
    } else {
        store_u32(buffer + 8, layout.mbr_signature);
    }
    for (size_t i = 0; i < layout.entries.size(); ++i) {
        const uint64_t at = kLayoutHeaderBytes + i * kLayoutEntryBytes;
        if (at + kLayoutEntryBytes > size) {
            break;
        }
        const PartitionRecord& e = layout.entries[i];
        uint8_t* p = buffer + at;
        store_u32(p + 0, static_cast<uint32_t>(e.style));
        store_u64(p + 8, e.starting_offset);
        store_u64(p + 16, e.length);
        store_u32(p + 24, e.number);
        p[28] = e.rewrite ? 1 : 0;
        if (e.style == LayoutStyle::gpt) {
            std::memcpy(p + 32, e.gpt_type.bytes, 16);
            std::memcpy(p + 48, e.gpt_id.bytes, 16);
            store_u64(p + 64, e.gpt_attributes);
            for (uint32_t u = 0; u < kGptNameUnits; ++u) {
                store_u16(p + 72 + 2 * u, static_cast<uint16_t>(e.gpt_name[u]));
            }
        } else {
            p[32] = e.mbr_type;
            p[33] = e.boot_indicator ? 1 : 0;
            p[34] = e.recognized ? 1 : 0;
            store_u32(p + 36, e.hidden_sectors);
        }
    }
}

DriveLayoutRecord decode_drive_layout(const uint8_t* buffer, uint32_t size) {
    DriveLayoutRecord layout;
    if (size < kLayoutHeaderBytes) {
        return layout;
    }
    layout.style = static_cast<LayoutStyle>(load_u32(buffer + 0));
    layout.count = load_u32(buffer + 4);
    if (layout.style == LayoutStyle::gpt) {
        std::memcpy(layout.gpt_disk_id.bytes, buffer + 8, 16);
        layout.gpt_starting_usable = load_u64(buffer + 24);
        layout.gpt_usable_length = load_u64(buffer + 32);
        layout.gpt_max_partition_count = load_u32(buffer + 40);
    } else {
        layout.mbr_signature = load_u32(buffer + 8);
    }
    for (uint32_t i = 0; i < layout.count; ++i) {
        const uint64_t at = kLayoutHeaderBytes + uint64_t{i} * kLayoutEntryBytes;
        if (at + kLayoutEntryBytes > size) {
            break;
        }
        const uint8_t* p = buffer + at;
        PartitionRecord e;
        e.style = static_cast<LayoutStyle>(load_u32(p + 0));
        e.starting_offset = load_u64(p + 8);
        e.length = load_u64(p + 16);
        e.number = load_u32(p + 24);
        e.rewrite = p[28] != 0;
        if (e.style == LayoutStyle::gpt) {
            std::memcpy(e.gpt_type.bytes, p + 32, 16);
            std::memcpy(e.gpt_id.bytes, p + 48, 16);
            e.gpt_attributes = load_u64(p + 64);
            for (uint32_t u = 0; u < kGptNameUnits; ++u) {
                e.gpt_name[u] = static_cast<char16_t>(load_u16(p + 72 + 2 * u));
            }
        } else {
            e.mbr_type = p[32];
            e.boot_indicator = p[33] != 0;
            e.recognized = p[34] != 0;
            e.hidden_sectors = load_u32(p + 36);
        }
        layout.entries.push_back(e);
    }
    return layout;
}

}  // namespace lintora
