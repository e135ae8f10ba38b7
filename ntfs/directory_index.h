// The root directory's file-name index "$I30": $FILE_NAME attributes, the $INDEX_ROOT, and the
// single INDX block of the large form. The index never splits.
#pragma once

#include <cstdint>

#include "ntfs/file_record.h"

namespace lintora {

// A file reference: record number in the low 48 bits, sequence number in the high 16.
constexpr uint64_t make_file_reference(uint64_t record, uint16_t sequence) {
    return record | (static_cast<uint64_t>(sequence) << 48);
}

inline constexpr uint64_t kRootDirectoryReference = make_file_reference(5, 5);
inline constexpr uint32_t kFileAttributesDirectoryIndex = 0x10000000;

// Index entry fields.
inline constexpr uint32_t kEntryReference = 0x00;
inline constexpr uint32_t kEntryLength = 0x08;
inline constexpr uint32_t kEntryKeyLength = 0x0A;
inline constexpr uint32_t kEntryFlags = 0x0C;
inline constexpr uint32_t kEntryKey = 0x10;
inline constexpr uint16_t kEntryHasSubNode = 0x01;
inline constexpr uint16_t kEntryLast = 0x02;

// $FILE_NAME value fields.
inline constexpr uint32_t kFileNameValueHeader = 66;
inline constexpr uint32_t kFileNameLength = 0x40;
inline constexpr uint32_t kFileNameUnits = 0x42;

// INDX block header fields.
inline constexpr uint32_t kBlockIndexHeader = 0x18;  // entries offset, index length, allocated

// The image of one INDX block, edited in place.
struct IndexBlockBuffer {
    uint8_t* bytes = nullptr;
};

// The index name "$I30".
const CountedName* index_name_i30();

ntfs_status add_file_name(const NtfsFormatContext& ctx, FileRecordBuffer record,
                          uint64_t allocated_size, uint64_t data_size, uint32_t file_attributes,
                          const CountedName* name);

ntfs_status add_index_root(const NtfsFormatContext& ctx, FileRecordBuffer record,
                           uint32_t index_block_size, const CountedName* index_name);

// Moves the root's entries into a new INDX block (written once through $INDEX_ALLOCATION over
// `run`, or over a newly allocated run when `run` is null) and hands the block image back.
ntfs_status convert_to_large_index(NtfsFormatContext& ctx, const CountedName* index_name,
                                   FileRecordBuffer record, const ClusterRun* run,
                                   ByteBuffer* block);

ntfs_status insert_block_entry(IndexBlockBuffer block, const NtfsFormatContext& ctx,
                               uint64_t reference, const uint8_t* value, uint32_t value_length);

ntfs_status insert_root_entry(const NtfsFormatContext& ctx, const uint8_t* entry,
                              uint32_t entry_length, FileRecordBuffer record,
                              const CountedName* index_name);

ntfs_status link_in_root_index(const CountedName* file_name, const NtfsFormatContext& ctx,
                               FileRecordBuffer directory, FileRecordBuffer file,
                               uint64_t reference, uint64_t allocated_size, uint64_t data_size);

ntfs_status link_in_index_block(const CountedName* file_name, const NtfsFormatContext& ctx,
                                FileRecordBuffer file, IndexBlockBuffer block, uint64_t reference,
                                uint64_t allocated_size, uint64_t data_size);

// Writes the block image, with fixups, into the run of the directory's $INDEX_ALLOCATION.
ntfs_status write_index_block(IndexBlockBuffer block, const CountedName* index_name,
                              const NtfsFormatContext& ctx, FileRecordBuffer directory);

// Zeroes the four time stamps of an index key for the system files (n, sequence n), 1 <= n <= 15.
void clear_system_file_times(uint8_t* key, uint64_t reference);

// Builds an index entry (16 + key, rounded up to 8) for `key` under `reference`, with the system
// file times cleared; NTFS_NO_MEMORY when no buffer can be had.
ntfs_status make_index_entry(uint64_t reference, const uint8_t* key, uint32_t key_length,
                             ByteBuffer* entry, uint32_t* entry_length);

// Finds the unnamed $FILE_NAME of a record (the first attribute of type 0x30 or above).
ntfs_status find_file_name_value(FileRecordBuffer record, const uint8_t** value,
                                 uint32_t* value_length);

}  // namespace lintora
