// MFT file record images: creation, update sequence protection, attribute lookup and insertion
// in NTFS order, and the write of a finished image.
#pragma once

#include <cstdint>

#include "ntfs/cluster_run.h"
#include "ntfs/counted_name.h"
#include "ntfs/format_context.h"

namespace lintora {

// Attribute type codes.
inline constexpr uint32_t kAttrStandardInformation = 0x10;
inline constexpr uint32_t kAttrFileName = 0x30;
inline constexpr uint32_t kAttrSecurityDescriptor = 0x50;
inline constexpr uint32_t kAttrVolumeName = 0x60;
inline constexpr uint32_t kAttrVolumeInformation = 0x70;
inline constexpr uint32_t kAttrData = 0x80;
inline constexpr uint32_t kAttrIndexRoot = 0x90;
inline constexpr uint32_t kAttrIndexAllocation = 0xA0;
inline constexpr uint32_t kAttrBitmap = 0xB0;

// The image of one MFT record, edited in place (a view into the $MFT image or a test buffer).
struct FileRecordBuffer {
    uint8_t* bytes = nullptr;
};

// Result of find_attribute.
inline constexpr int kAttributeFound = 0;
inline constexpr int kAttributeAbsent = 1;

// Writes every header field but magic and update sequence offset, and the end marker.
ntfs_status init_file_record(const NtfsFormatContext& ctx, FileRecordBuffer record,
                             uint32_t record_number);

// Update sequence protection of a multi-sector image (FILE records and INDX blocks): 512-byte
// strides whatever the sector size.
ntfs_status apply_fixups(uint8_t* image);
ntfs_status remove_fixups(uint8_t* image);

// Applies the fixups, writes `size` bytes at `offset` in one call, removes the fixups.
ntfs_status write_record(const NtfsFormatContext& ctx, FileRecordBuffer record, uint64_t offset,
                         uint32_t size);

// kAttributeFound with `position` at the attribute, or kAttributeAbsent with `position` where an
// attribute of that type and name belongs.
int find_attribute(FileRecordBuffer record, const CountedName* name, const NtfsFormatContext& ctx,
                   uint32_t type, uint32_t* position);

// Compares two little-endian UTF-16 names (lengths in code units) after mapping each unit through
// the upper-case table: -1, 0 or +1 as b sorts before, equal to or after a.
int collate_names(const uint8_t* a, const uint8_t* b, uint32_t length_b, uint32_t length_a,
                  const uint8_t* table, uint32_t table_length);

ntfs_status add_resident_attribute(const NtfsFormatContext& ctx, FileRecordBuffer record,
                                   uint32_t type, uint8_t indexed, const uint8_t* value,
                                   uint32_t value_length, const CountedName* name);

// Inserts a non-resident attribute over an already reserved run and, with data, writes `size`
// bytes of it into the run.
ntfs_status add_nonresident_attribute(const NtfsFormatContext& ctx, FileRecordBuffer record,
                                      uint32_t type, const ClusterRun& run, const uint8_t* data,
                                      uint64_t size, const CountedName* name);

// Inserts a non-resident attribute of `size` bytes mapped by a list of runs (sparse ones among
// them), writing nothing: its clusters are as they are ($BadClus:$Bad over the bad clusters).
ntfs_status add_run_list_attribute(const NtfsFormatContext& ctx, FileRecordBuffer record,
                                   uint32_t type, const ClusterRun* runs, uint32_t count,
                                   uint64_t size, const CountedName* name);

// Allocates a run for `size` bytes, then adds the attribute over it.
ntfs_status allocate_nonresident_attribute(NtfsFormatContext& ctx, FileRecordBuffer record,
                                           uint32_t type, const CountedName* name,
                                           const uint8_t* data, uint64_t size);

// The run of a non-resident attribute of the record, read back from its mapping pairs:
// NTFS_NOT_FOUND when the attribute is absent, NTFS_INVALID when it is resident.
ntfs_status find_attribute_run(FileRecordBuffer record, const CountedName* name,
                               const NtfsFormatContext& ctx, uint32_t type, ClusterRun* run);

// Grows or shrinks the resident attribute at `attribute` (an offset) to a new value length.
ntfs_status resize_resident_value(FileRecordBuffer record, uint32_t attribute,
                                  uint32_t new_value_length);

// Record access helpers shared by the encoders.
uint32_t record_bytes_in_use(FileRecordBuffer record);
uint32_t record_bytes_allocated(FileRecordBuffer record);

// Makes room for `length` bytes at `position` (NTFS_NO_SPACE when the record is full) and
// writes the common header of a new attribute there, taking the record's next attribute id.
ntfs_status insert_attribute_header(FileRecordBuffer record, uint32_t position, uint32_t length,
                                    uint32_t type, uint8_t non_resident, const CountedName* name);

// The little-endian bytes of a name's code units (at most 510 bytes are used).
void name_to_le(const CountedName* name, uint8_t* out);

}  // namespace lintora
