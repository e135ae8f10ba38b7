// The records that re-initialise a disk and describe its partitions, in the byte form of the
// Windows structures CREATE_DISK and DRIVE_LAYOUT_INFORMATION_EX / PARTITION_INFORMATION_EX.
// The job builds them; the Windows layer hands them to the system unchanged and the POSIX layer
// reads them back to write the partition table itself.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/encoding/guid.h"

namespace lintora {

// PARTITION_STYLE as the layout records store it.
enum class LayoutStyle : uint32_t { mbr = 0, gpt = 1 };

inline constexpr uint32_t kCreateDiskBytes = 24;
inline constexpr uint32_t kLayoutHeaderBytes = 48;
inline constexpr uint32_t kLayoutEntryBytes = 144;
inline constexpr uint32_t kGptNameUnits = 36;

struct CreateDiskRecord {
    LayoutStyle style = LayoutStyle::mbr;
    uint32_t mbr_signature = 0;
    Guid gpt_disk_id;
    uint32_t max_partition_count = 0;
};

struct PartitionRecord {
    LayoutStyle style = LayoutStyle::mbr;
    uint64_t starting_offset = 0;  // bytes
    uint64_t length = 0;           // bytes
    uint32_t number = 0;
    bool rewrite = false;
    // MBR
    uint8_t mbr_type = 0;
    bool boot_indicator = false;
    bool recognized = false;
    uint32_t hidden_sectors = 0;
    // GPT
    Guid gpt_type;
    Guid gpt_id;
    uint64_t gpt_attributes = 0;
    char16_t gpt_name[kGptNameUnits] = {};
};

struct DriveLayoutRecord {
    LayoutStyle style = LayoutStyle::mbr;
    uint32_t count = 0;
    uint32_t mbr_signature = 0;
    Guid gpt_disk_id;
    uint64_t gpt_starting_usable = 0;
    uint64_t gpt_usable_length = 0;
    uint32_t gpt_max_partition_count = 0;
    std::vector<PartitionRecord> entries;  // `count` entries; the encoder zero-fills missing ones
};

void encode_create_disk(const CreateDiskRecord& record, uint8_t out[kCreateDiskBytes]);

// Encodes into `size` bytes (zero-filled first); entries beyond the buffer are dropped.
void encode_drive_layout(const DriveLayoutRecord& layout, uint8_t* buffer, uint32_t size);
DriveLayoutRecord decode_drive_layout(const uint8_t* buffer, uint32_t size);

}  // namespace lintora
