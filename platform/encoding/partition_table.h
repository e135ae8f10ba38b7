// Sector images of MBR and GPT partition tables, as a partition manager writes them for a
// drive layout. Used where the system has no partition manager of its own (POSIX).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/encoding/drive_layout.h"

namespace lintora {

uint32_t gpt_crc32(const uint8_t* data, size_t length);

// One sector: zero boot code, the disk signature, the MBR entries of `partitions` (at most 4)
// and the 0xAA55 signature.
std::vector<uint8_t> build_mbr_sector(uint32_t sector_size, uint32_t signature,
                                      const std::vector<PartitionRecord>& partitions);

// Where the four MBR entries start in sector 0, and the size of each.
inline constexpr uint32_t kMbrEntryOffset = 0x1BE;
inline constexpr uint32_t kMbrEntryBytes = 16;
inline constexpr uint32_t kGptHeaderLba = 1;
inline constexpr uint32_t kGptEntries = 128;
inline constexpr uint32_t kGptEntryBytes = 128;

// Everything a GPT disk carries: the protective MBR (LBA 0), the primary header (LBA 1) and
// entry array (from LBA 2), the backup entry array and the backup header (the last LBA).
struct GptImage {
    std::vector<uint8_t> protective_mbr;
    std::vector<uint8_t> primary_header;
    std::vector<uint8_t> backup_header;
    std::vector<uint8_t> entries;  // kGptEntries entries, whole sectors
    uint64_t primary_entries_lba = 2;
    uint64_t backup_entries_lba = 0;
    uint64_t backup_header_lba = 0;
};

GptImage build_gpt(uint32_t sector_size, uint64_t total_sectors, const Guid& disk_id,
                   const std::vector<PartitionRecord>& partitions);

}  // namespace lintora
