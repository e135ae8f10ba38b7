#include "ntfs/directory_index.h"

#include <cstring>

#include "base/le.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/record_layout.h"
#include "ntfs/run_writer.h"
#include "ntfs/typed_attributes.h"

namespace lintora {

namespace {

constexpr uint32_t kIndexRootValueSize = 48;
constexpr uint32_t kIndexHeader = 0x10;  // index header inside the $INDEX_ROOT value
constexpr uint32_t kIndexEntriesOffset = 0x00;
constexpr uint32_t kIndexLength = 0x04;
constexpr uint32_t kIndexAllocated = 0x08;
constexpr uint32_t kIndexFlags = 0x0C;
constexpr uint32_t kEndEntryLength = 16;
constexpr uint32_t kSubNodeEndEntryLength = 24;
constexpr uint8_t kNamespaceWin32AndDos = 3;

const char16_t kI30Units[] = u"$I30";
const CountedName kI30{8, 8, kI30Units};

uint8_t* value_of(uint8_t* attr) {
    return attr + load_u16(attr + kAttrValueOffset);
}

// The first attribute whose type is at least `type`, if it is that type and unnamed.
uint8_t* first_unnamed_attribute(FileRecordBuffer record, uint32_t type) {
    uint8_t* r = record.bytes;
    const uint32_t allocated = record_bytes_allocated(record);
    uint32_t pos = load_u16(r + kRecordFirstAttribute);
    while (pos < allocated) {
        uint8_t* attr = r + pos;
        const uint32_t attr_type = load_u32(attr + kAttrType);
        const uint32_t length = load_u32(attr + kAttrLength);
        if (attr_type == kEndMarker || length == 0 || attr_type >= type) {
            return attr_type == type && attr[kAttrNameLength] == 0 ? attr : nullptr;
        }
        pos += length;
    }
    return nullptr;
}

// Where an entry for `key` goes among the entries from `first` up to `end`: the entry before
// which it belongs, or the last entry. NTFS_INVALID when the name is already indexed.
ntfs_status find_insertion_point(const NtfsFormatContext& ctx, uint8_t* first, const uint8_t* end,
                                 const uint8_t* key, bool stop_at_empty, uint8_t** point) {
    const uint8_t* new_name = key + kFileNameUnits;
    const uint32_t new_units = key[kFileNameLength];
    uint8_t* entry = first;
    while (entry < end) {
        const uint16_t length = load_u16(entry + kEntryLength);
        if ((load_u16(entry + kEntryFlags) & kEntryLast) != 0 || (stop_at_empty && length == 0)) {
            break;
        }
        const uint8_t* entry_key = entry + kEntryKey;
        const int order =
            collate_names(entry_key + kFileNameUnits, new_name, new_units,
                          entry_key[kFileNameLength], ctx.upcase.get(), ctx.upcase_length);
        if (order == 0) {
            return NTFS_INVALID;
        }
        if (order < 0) {
            break;
        }
        entry += length;
    }
    *point = entry;
    return NTFS_OK;
}

ntfs_status link_file_name(const CountedName* file_name, const NtfsFormatContext& ctx,
                           FileRecordBuffer file, uint64_t allocated_size, uint64_t data_size,
                           const uint8_t** value, uint32_t* value_length) {
    if (load_u16(file.bytes + kRecordLinkCount) == 0xFFFF) {
        return NTFS_INVALID;
    }
    NTFS_RETURN_IF_FAILED(add_file_name(ctx, file, allocated_size, data_size,
                                        kFileAttributesHiddenSystem, file_name));
    return find_file_name_value(file, value, value_length);
}

// Fills `length` bytes at `at` with an entry for `key`, flags 0, system file times cleared.
void write_index_entry(uint8_t* at, uint32_t length, uint64_t reference, const uint8_t* key,
                       uint32_t key_length) {
    std::memset(at, 0, length);
    store_u64(at + kEntryReference, reference);
    store_u16(at + kEntryLength, static_cast<uint16_t>(length));
    store_u16(at + kEntryKeyLength, static_cast<uint16_t>(key_length));
    std::memcpy(at + kEntryKey, key, key_length);
    clear_system_file_times(at + kEntryKey, reference);
}

void raise_link_count(FileRecordBuffer file) {
    uint8_t* count = file.bytes + kRecordLinkCount;
    store_u16(count, static_cast<uint16_t>(load_u16(count) + 1));
}

}  // namespace

const CountedName* index_name_i30() {
    return &kI30;
}

void clear_system_file_times(uint8_t* key, uint64_t reference) {
    const auto low = static_cast<uint32_t>(reference);
    const auto high = static_cast<uint32_t>(reference >> 32);
    if (low >= 1 && low <= 15 && high == low * 0x10000u) {
        std::memset(key + 0x08, 0, 32);
    }
}

ntfs_status find_file_name_value(FileRecordBuffer record, const uint8_t** value,
                                 uint32_t* value_length) {
    uint8_t* attr = first_unnamed_attribute(record, kAttrFileName);
    if (attr == nullptr) {
        return NTFS_NOT_FOUND;
    }
    *value = value_of(attr);
    *value_length = load_u32(attr + kAttrValueLength);
    return NTFS_OK;
}

ntfs_status add_file_name(const NtfsFormatContext& ctx, FileRecordBuffer record,
                          uint64_t allocated_size, uint64_t data_size, uint32_t file_attributes,
                          const CountedName* name) {
    uint8_t* standard_information = first_unnamed_attribute(record, kAttrStandardInformation);
    if (standard_information == nullptr) {
        return NTFS_NOT_FOUND;
    }
    const uint32_t bytes = name_bytes(name);
    const uint32_t value_length = kFileNameValueHeader + bytes;
    ByteBuffer value = allocate_zeroed(value_length);
    if (!value) {
        return NTFS_NO_MEMORY;
    }
    if (bytes == 0) {
        return NTFS_INVALID;
    }
    if (bytes > 510) {
        return NTFS_NAME_TOO_LONG;
    }
    uint8_t* v = value.get();
    store_u64(v + 0x00, kRootDirectoryReference);
    std::memcpy(v + 0x08, value_of(standard_information), 32);
    store_u64(v + 0x28, allocated_size);
    store_u64(v + 0x30, data_size);
    store_u32(v + 0x38, file_attributes);
    v[kFileNameLength] = static_cast<uint8_t>(bytes / 2);
    v[0x41] = kNamespaceWin32AndDos;
    name_to_le(name, v + kFileNameUnits);
    return add_resident_attribute(ctx, record, kAttrFileName, 1, v, value_length, nullptr);
}

ntfs_status add_index_root(const NtfsFormatContext& ctx, FileRecordBuffer record,
                           uint32_t index_block_size, const CountedName* index_name) {
    ByteBuffer value = allocate_zeroed(kIndexRootValueSize);
    if (!value) {
        return NTFS_NO_MEMORY;
    }
    uint32_t clusters_per_block = 0;
    if (index_block_size >= ctx.cluster_size) {
        if (index_block_size % ctx.cluster_size != 0) {
            return NTFS_INVALID;
        }
        clusters_per_block = index_block_size / ctx.cluster_size;
    } else {
        if (index_block_size < 512 || (index_block_size & (index_block_size - 1)) != 0) {
            return NTFS_INVALID;
        }
        clusters_per_block = index_block_size / 512;
    }
    uint8_t* v = value.get();
    store_u32(v + 0x00, kAttrFileName);
    store_u32(v + 0x04, 1);  // collation by file name
    store_u32(v + 0x08, index_block_size);
    v[0x0C] = static_cast<uint8_t>(clusters_per_block);
    uint8_t* header = v + kIndexHeader;
    store_u32(header + kIndexEntriesOffset, 0x10);
    store_u32(header + kIndexLength, 0x10 + kEndEntryLength);
    store_u32(header + kIndexAllocated, 0x10 + kEndEntryLength);
    uint8_t* end_entry = header + 0x10;
    store_u16(end_entry + kEntryLength, kEndEntryLength);
    store_u16(end_entry + kEntryFlags, kEntryLast);
    return add_resident_attribute(ctx, record, kAttrIndexRoot, 0, v, kIndexRootValueSize,
                                  index_name);
}

ntfs_status insert_block_entry(IndexBlockBuffer block, const NtfsFormatContext& ctx,
                               uint64_t reference, const uint8_t* value, uint32_t value_length) {
    uint8_t* header = block.bytes + kBlockIndexHeader;
    const uint32_t index_length = load_u32(header + kIndexLength);
    uint8_t* first = header + load_u32(header + kIndexEntriesOffset);
    uint8_t* end = header + index_length;
    uint8_t* point = nullptr;
    NTFS_RETURN_IF_FAILED(find_insertion_point(ctx, first, end, value, false, &point));
    const uint32_t length = round_up8(value_length + 16);
    if (static_cast<uint64_t>(index_length) + length > load_u32(header + kIndexAllocated)) {
        return NTFS_NO_SPACE;
    }
    std::memmove(point + length, point, static_cast<size_t>(end - point));
    store_u32(header + kIndexLength, index_length + length);
    write_index_entry(point, length, reference, value, value_length);
    return NTFS_OK;
}

ntfs_status insert_root_entry(const NtfsFormatContext& ctx, const uint8_t* entry,
                              uint32_t entry_length, FileRecordBuffer record,
                              const CountedName* index_name) {
    const uint32_t in_use = record_bytes_in_use(record);
    if (static_cast<uint64_t>(in_use) + entry_length > record_bytes_allocated(record)) {
        return NTFS_NO_SPACE;
    }
    uint32_t position = 0;
    if (find_attribute(record, index_name, ctx, kAttrIndexRoot, &position) != kAttributeFound) {
        return NTFS_NOT_FOUND;
    }
    uint8_t* attr = record.bytes + position;
    uint8_t* header = value_of(attr) + kIndexHeader;
    uint8_t* first = header + load_u32(header + kIndexEntriesOffset);
    uint8_t* end = header + load_u32(header + kIndexLength);
    uint8_t* point = nullptr;
    NTFS_RETURN_IF_FAILED(find_insertion_point(ctx, first, end, entry + kEntryKey, true, &point));
    uint8_t* record_end = record.bytes + in_use;
    std::memmove(point + entry_length, point, static_cast<size_t>(record_end - point));
    std::memcpy(point, entry, entry_length);
    auto grow_u32 = [entry_length](uint8_t* field) {
        store_u32(field, load_u32(field) + entry_length);
    };
    grow_u32(record.bytes + kRecordBytesInUse);
    grow_u32(attr + kAttrLength);
    grow_u32(attr + kAttrValueLength);
    grow_u32(header + kIndexLength);
    grow_u32(header + kIndexAllocated);
    return NTFS_OK;
}

ntfs_status make_index_entry(uint64_t reference, const uint8_t* key, uint32_t key_length,
                             ByteBuffer* entry, uint32_t* entry_length) {
    const uint32_t length = round_up8(16 + key_length);
    *entry = allocate_zeroed(length);
    if (!*entry) {
        return NTFS_NO_MEMORY;
    }
    write_index_entry(entry->get(), length, reference, key, key_length);
    *entry_length = length;
    return NTFS_OK;
}

ntfs_status link_in_root_index(const CountedName* file_name, const NtfsFormatContext& ctx,
                               FileRecordBuffer directory, FileRecordBuffer file,
                               uint64_t reference, uint64_t allocated_size, uint64_t data_size) {
    const uint8_t* value = nullptr;
    uint32_t value_length = 0;
    NTFS_RETURN_IF_FAILED(
        link_file_name(file_name, ctx, file, allocated_size, data_size, &value, &value_length));
    ByteBuffer entry;
    uint32_t entry_length = 0;
    NTFS_RETURN_IF_FAILED(make_index_entry(reference, value, value_length, &entry, &entry_length));
    NTFS_RETURN_IF_FAILED(
        insert_root_entry(ctx, entry.get(), entry_length, directory, index_name_i30()));
    raise_link_count(file);
    return NTFS_OK;
}

ntfs_status link_in_index_block(const CountedName* file_name, const NtfsFormatContext& ctx,
                                FileRecordBuffer file, IndexBlockBuffer block, uint64_t reference,
                                uint64_t allocated_size, uint64_t data_size) {
    const uint8_t* value = nullptr;
    uint32_t value_length = 0;
    NTFS_RETURN_IF_FAILED(
        link_file_name(file_name, ctx, file, allocated_size, data_size, &value, &value_length));
    NTFS_RETURN_IF_FAILED(insert_block_entry(block, ctx, reference, value, value_length));
    raise_link_count(file);
    return NTFS_OK;
}

namespace {

// The index $BITMAP with block 0 in use: resident while the record has room for it.
ntfs_status add_index_bitmap(NtfsFormatContext& ctx, FileRecordBuffer record,
                             const CountedName* index_name) {
    const uint8_t bitmap[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    if (record_bytes_in_use(record) + 32 > record_bytes_allocated(record)) {
        return allocate_nonresident_attribute(ctx, record, kAttrBitmap, index_name, bitmap,
                                              sizeof bitmap);
    }
    return add_resident_attribute(ctx, record, kAttrBitmap, 0, bitmap, sizeof bitmap, index_name);
}

// An empty index block ("INDX") of `block_size` bytes; `entries_offset` is where its entries go,
// relative to its index header.
ntfs_status new_index_block(uint32_t block_size, ByteBuffer* image, uint32_t* entries_offset) {
    *image = allocate_zeroed(block_size);
    if (!*image) {
        return NTFS_NO_MEMORY;
    }
    uint8_t* b = image->get();
    const uint32_t usa_count = block_size / 512 + 1;
    *entries_offset = ((2 * usa_count + 31) / 16 + 1) * 16;
    std::memcpy(b, "INDX", 4);
    store_u16(b + kRecordUsaOffset, 0x28);
    store_u16(b + kRecordUsaCount, static_cast<uint16_t>(usa_count));
    store_u16(b + 0x28, 1);  // update sequence number
    uint8_t* block_header = b + kBlockIndexHeader;
    store_u32(block_header + kIndexEntriesOffset, *entries_offset);
    store_u32(block_header + kIndexAllocated, block_size - 24);
    return NTFS_OK;
}

// The root's entries move into the block; the root keeps an end entry pointing at block 0.
ntfs_status move_root_entries(FileRecordBuffer record, uint32_t position, uint8_t* block,
                              uint32_t block_size, uint32_t entries_offset) {
    uint8_t* block_header = block + kBlockIndexHeader;
    uint8_t* attr = record.bytes + position;
    uint8_t* header = value_of(attr) + kIndexHeader;
    uint8_t* first = header + load_u32(header + kIndexEntriesOffset);
    uint8_t* end = header + load_u32(header + kIndexLength);
    uint8_t* last = first;
    while (last < end && (load_u16(last + kEntryFlags) & kEntryLast) == 0) {
        const uint16_t length = load_u16(last + kEntryLength);
        if (length == 0) {
            last = end;
            break;
        }
        last += length;
    }
    if (last >= end) {
        return NTFS_INVALID;
    }
    const uint32_t last_length = load_u16(last + kEntryLength);
    const auto copied = static_cast<uint32_t>(last + last_length - first);
    if (entries_offset + copied > block_size - 24) {
        return NTFS_NO_SPACE;
    }
    std::memcpy(block_header + entries_offset, first, copied);
    store_u32(block_header + kIndexLength, entries_offset + copied);

    std::memmove(first, last, last_length);
    const uint32_t new_length =
        last_length < kSubNodeEndEntryLength ? kSubNodeEndEntryLength : last_length;
    store_u16(first + kEntryLength, static_cast<uint16_t>(new_length));
    store_u16(first + kEntryFlags,
              static_cast<uint16_t>(load_u16(first + kEntryFlags) | kEntryHasSubNode));
    store_u32(header + kIndexFlags, 1);  // large index
    store_u32(header + kIndexLength, 0x10 + new_length);
    store_u32(header + kIndexAllocated, 0x10 + new_length);
    NTFS_RETURN_IF_FAILED(
        resize_resident_value(record, position, kIndexHeader + 0x10 + new_length));
    store_u64(first + new_length - 8, 0);  // sub-node VCN
    return NTFS_OK;
}

}  // namespace

ntfs_status convert_to_large_index(NtfsFormatContext& ctx, const CountedName* index_name,
                                   FileRecordBuffer record, const ClusterRun* run,
                                   ByteBuffer* block) {
    block->reset();
    uint32_t position = 0;
    if (find_attribute(record, index_name, ctx, kAttrIndexRoot, &position) != kAttributeFound) {
        return NTFS_NOT_FOUND;
    }
    if (record.bytes[position + kAttrNonResident] != 0) {
        return NTFS_INVALID;
    }
    const uint32_t block_size = load_u32(value_of(record.bytes + position) + 0x08);
    NTFS_RETURN_IF_FAILED(add_index_bitmap(ctx, record, index_name));
    ByteBuffer image;
    uint32_t entries_offset = 0;
    NTFS_RETURN_IF_FAILED(new_index_block(block_size, &image, &entries_offset));
    uint8_t* b = image.get();
    NTFS_RETURN_IF_FAILED(move_root_entries(record, position, b, block_size, entries_offset));

    apply_fixups(b);
    NTFS_RETURN_IF_FAILED(run != nullptr
                              ? add_nonresident_attribute(ctx, record, kAttrIndexAllocation, *run,
                                                          b, block_size, index_name)
                              : allocate_nonresident_attribute(ctx, record, kAttrIndexAllocation,
                                                               index_name, b, block_size));
    remove_fixups(b);
    *block = std::move(image);
    return NTFS_OK;
}

ntfs_status write_index_block(IndexBlockBuffer block, const CountedName* index_name,
                              const NtfsFormatContext& ctx, FileRecordBuffer directory) {
    ClusterRun run{};
    NTFS_RETURN_IF_FAILED(
        find_attribute_run(directory, index_name, ctx, kAttrIndexAllocation, &run));
    const uint32_t size = load_u32(block.bytes + kBlockIndexHeader + kIndexAllocated) + 24;
    apply_fixups(block.bytes);
    NTFS_RETURN_IF_FAILED(write_run(run, ctx, block.bytes, size, nullptr));
    remove_fixups(block.bytes);
    return NTFS_OK;
}

}  // namespace lintora
