#include "platform/encoding/partition_table.h"

#include <algorithm>
#include <cstring>

#include "base/le.h"

namespace lintora {

uint32_t gpt_crc32(const uint8_t* data, size_t length) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

namespace {

// Cylinder-head-sector address of an LBA on the usual 255-head, 63-sector geometry; addresses
// past cylinder 1023 are stored as the conventional maximum.
void put_chs(uint8_t* p, uint64_t lba) {
    const uint64_t cylinder = lba / (255 * 63);
    if (cylinder > 1023) {
        p[0] = 0xFE;
        p[1] = 0xFF;
        p[2] = 0xFF;
        return;
    }
    const auto head = static_cast<uint8_t>((lba / 63) % 255);
    const auto sector = static_cast<uint8_t>(lba % 63 + 1);
    p[0] = head;
    p[1] = static_cast<uint8_t>(sector | ((cylinder >> 2) & 0xC0));
    p[2] = static_cast<uint8_t>(cylinder);
}

void put_mbr_entry(uint8_t* p, uint8_t status, uint8_t type, uint64_t first, uint64_t count) {
    p[0] = status;
    put_chs(p + 1, first);
    p[4] = type;
    put_chs(p + 5, count == 0 ? first : first + count - 1);
    store_u32(p + 8, static_cast<uint32_t>(first));
    store_u32(p + 12, static_cast<uint32_t>(count));
}

constexpr uint8_t kProtectiveType = 0xEE;
constexpr uint32_t kGptHeaderBytes = 92;

std::vector<uint8_t> gpt_header(uint32_t sector_size, uint64_t current, uint64_t backup,
                                uint64_t first_usable, uint64_t last_usable, const Guid& disk_id,
                                uint64_t entries_lba, uint32_t entries_crc) {
    std::vector<uint8_t> h(sector_size, 0);
    std::memcpy(h.data(), "EFI PART", 8);
    store_u32(&h[8], 0x00010000);
    store_u32(&h[12], kGptHeaderBytes);
    store_u64(&h[24], current);
    store_u64(&h[32], backup);
    store_u64(&h[40], first_usable);
    store_u64(&h[48], last_usable);
    std::memcpy(&h[56], disk_id.bytes, 16);
    store_u64(&h[72], entries_lba);
    store_u32(&h[80], kGptEntries);
    store_u32(&h[84], kGptEntryBytes);
    store_u32(&h[88], entries_crc);
    store_u32(&h[16], gpt_crc32(h.data(), kGptHeaderBytes));
    return h;
}

}  // namespace

std::vector<uint8_t> build_mbr_sector(uint32_t sector_size, uint32_t signature,
                                      const std::vector<PartitionRecord>& partitions) {
    std::vector<uint8_t> sector(sector_size, 0);
    store_u32(&sector[0x1B8], signature);
    size_t slot = 0;
    for (const PartitionRecord& p : partitions) {
        if (slot == 4) {
            break;
        }
        if (p.mbr_type == 0 || p.length == 0) {
            continue;
        }
        put_mbr_entry(&sector[kMbrEntryOffset + kMbrEntryBytes * slot++],
                      p.boot_indicator ? 0x80 : 0x00, p.mbr_type, p.starting_offset / sector_size,
                      p.length / sector_size);
    }
    sector[510] = 0x55;
    sector[511] = 0xAA;
    return sector;
}

GptImage build_gpt(uint32_t sector_size, uint64_t total_sectors, const Guid& disk_id,
                   const std::vector<PartitionRecord>& partitions) {
    GptImage gpt;
    const uint32_t entry_sectors = kGptEntries * kGptEntryBytes / sector_size;
    const uint64_t last = total_sectors - 1;
    gpt.backup_header_lba = last;
    gpt.backup_entries_lba = last - entry_sectors;
    const uint64_t first_usable = 2 + entry_sectors;
    const uint64_t last_usable = gpt.backup_entries_lba - 1;

    gpt.protective_mbr.assign(sector_size, 0);
    put_mbr_entry(&gpt.protective_mbr[kMbrEntryOffset], 0, kProtectiveType, 1,
                  std::min<uint64_t>(total_sectors - 1, 0xFFFFFFFFu));
    gpt.protective_mbr[510] = 0x55;
    gpt.protective_mbr[511] = 0xAA;

    gpt.entries.assign(static_cast<size_t>(entry_sectors) * sector_size, 0);
    size_t slot = 0;
    for (const PartitionRecord& p : partitions) {
        if (slot == kGptEntries) {
            break;
        }
        if (p.gpt_type == Guid{} || p.length == 0) {
            continue;
        }
        uint8_t* e = &gpt.entries[kGptEntryBytes * slot++];
        std::memcpy(e, p.gpt_type.bytes, 16);
        std::memcpy(e + 16, p.gpt_id.bytes, 16);
        store_u64(e + 32, p.starting_offset / sector_size);
        store_u64(e + 40, (p.starting_offset + p.length) / sector_size - 1);
        store_u64(e + 48, p.gpt_attributes);
        for (uint32_t u = 0; u < kGptNameUnits; ++u) {
            store_u16(e + 56 + 2 * u, static_cast<uint16_t>(p.gpt_name[u]));
        }
    }
    const uint32_t entries_crc = gpt_crc32(gpt.entries.data(), kGptEntries * kGptEntryBytes);
    gpt.primary_header = gpt_header(sector_size, 1, last, first_usable, last_usable, disk_id,
                                    gpt.primary_entries_lba, entries_crc);
    gpt.backup_header = gpt_header(sector_size, last, 1, first_usable, last_usable, disk_id,
                                   gpt.backup_entries_lba, entries_crc);
    return gpt;
}

}  // namespace lintora
