#include "prep/table_check.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/le.h"
#include "platform/encoding/partition_table.h"
#include "platform/raw_disk.h"

namespace lintora {

namespace {

// Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on a literal plus a short
// std::to_string here.
Outcome differs(const char* what, size_t entry = 0) {
    std::string reason = "the partition table read back differs from the one written: ";
    reason += what;
    if (entry != 0) {
        reason += ' ';
        reason += std::to_string(entry);
    }
    return Outcome::failure(reason);
}

// Reads `count` sectors from `lba`, counting what was read in `*read`.
Outcome read_sectors(DiskIo& device, uint64_t* read_bytes, uint64_t lba, uint32_t count,
                     uint32_t sector_size, std::vector<uint8_t>* bytes) {
    bytes->assign(uint64_t{count} * sector_size, 0);
    Outcome read = device.read_at(lba * sector_size, bytes->data(), count * sector_size);
    if (!read.ok()) {
        read.reason = "cannot read the partition table back: " + read.reason;
    } else {
        *read_bytes += bytes->size();
    }
    return read;
}

Outcome check_mbr(DiskIo& device, uint64_t* read_bytes, const DriveLayoutRecord& layout,
                  uint32_t sector_size) {
    std::vector<uint8_t> mbr;
    Outcome step = read_sectors(device, read_bytes, 0, 1, sector_size, &mbr);
    if (!step.ok()) {
        return step;
    }
    if (mbr[510] != 0x55 || mbr[511] != 0xAA) {
        return differs("sector 0 carries no boot signature");
    }
    for (size_t i = 0; i < layout.entries.size() && i < 4; ++i) {
        const PartitionRecord& p = layout.entries[i];
        const uint8_t* e = &mbr[kMbrEntryOffset + i * kMbrEntryBytes];
        if (e[4] != p.mbr_type || load_u32(e + 8) != p.starting_offset / sector_size ||
            load_u32(e + 12) != p.length / sector_size) {
            return differs("MBR entry", i + 1);
        }
    }
    return Outcome::success();
}

// One GPT header and the entries it points to, read back: its signature, its CRC, the disk's
// GUID, the entries' CRC and each partition's entry. `which` names it in a difference.
Outcome check_gpt_header(DiskIo& device, uint64_t* read_bytes, uint64_t lba,
                         const DriveLayoutRecord& layout, uint32_t sector_size, const char* which) {
    std::vector<uint8_t> header;
    Outcome step = read_sectors(device, read_bytes, lba, 1, sector_size, &header);
    if (!step.ok()) {
        return step;
    }
    std::string what = which;
    if (std::memcmp(header.data(), "EFI PART", 8) != 0) {
        return differs((what + " GPT header is missing").c_str());
    }
    const uint32_t header_bytes = load_u32(&header[12]);
    const uint32_t header_crc = load_u32(&header[16]);
    if (header_bytes < 92 || header_bytes > sector_size) {
        return differs((what + " GPT header's size").c_str());
    }
    store_u32(&header[16], 0);
    if (gpt_crc32(header.data(), header_bytes) != header_crc) {
        return differs((what + " GPT header's CRC").c_str());
    }
    if (std::memcmp(&header[56], layout.gpt_disk_id.bytes, 16) != 0) {
        return differs("the disk GUID");
    }
    const uint64_t entries_lba = load_u64(&header[72]);
    const uint64_t table_bytes = uint64_t{load_u32(&header[80])} * load_u32(&header[84]);
    if (load_u32(&header[84]) != kGptEntryBytes || table_bytes < layout.entries.size() ||
        table_bytes > (1u << 20)) {
        return differs((what + " GPT header's entry count or size").c_str());
    }
    std::vector<uint8_t> entries;
    step = read_sectors(device, read_bytes, entries_lba,
                        static_cast<uint32_t>((table_bytes + sector_size - 1) / sector_size),
                        sector_size, &entries);
    if (!step.ok()) {
        return step;
    }
    if (gpt_crc32(entries.data(), static_cast<size_t>(table_bytes)) != load_u32(&header[88])) {
        return differs((what + " GPT entries' CRC").c_str());
    }
    for (size_t i = 0; i < layout.entries.size(); ++i) {
        const PartitionRecord& p = layout.entries[i];
        const uint8_t* e = &entries[i * kGptEntryBytes];
        const uint64_t first = p.starting_offset / sector_size;
        if (std::memcmp(e, p.gpt_type.bytes, 16) != 0 ||
            std::memcmp(e + 16, p.gpt_id.bytes, 16) != 0 || load_u64(e + 32) != first ||
            load_u64(e + 40) != first + p.length / sector_size - 1) {
            return differs((what + " GPT entry").c_str(), i + 1);
        }
    }
    return Outcome::success();
}

// The protective MBR, the primary header and entries, and the backup header and entries at
// the disk's end, where the primary header says it lies: a GPT whose backup is lost is
// reported damaged by every partition tool.
Outcome check_gpt(DiskIo& device, uint64_t* read_bytes, const DriveLayoutRecord& layout,
                  uint32_t sector_size) {
    std::vector<uint8_t> mbr;
    Outcome step = read_sectors(device, read_bytes, 0, 1, sector_size, &mbr);
    if (!step.ok()) {
        return step;
    }
    if (mbr[510] != 0x55 || mbr[511] != 0xAA || mbr[kMbrEntryOffset + 4] != 0xEE) {
        return differs("sector 0 holds no protective MBR");
    }
    step = check_gpt_header(device, read_bytes, kGptHeaderLba, layout, sector_size, "the primary");
    if (!step.ok()) {
        return step;
    }
    std::vector<uint8_t> header;
    step = read_sectors(device, read_bytes, kGptHeaderLba, 1, sector_size, &header);
    if (!step.ok()) {
        return step;
    }
    return check_gpt_header(device, read_bytes, load_u64(&header[32]), layout, sector_size,
                            "the backup");
}

}  // namespace

Outcome check_partition_table(DiskIo& device, const DriveLayoutRecord& layout, uint32_t sector_size,
                              uint64_t* bytes_compared) {
    Outcome step = flush_and_forget(device);
    if (!step.ok()) {
        return step;
    }
    uint64_t read_bytes = 0;
    step = layout.style == LayoutStyle::mbr ? check_mbr(device, &read_bytes, layout, sector_size)
                                            : check_gpt(device, &read_bytes, layout, sector_size);
    if (step.ok() && bytes_compared != nullptr) {
        *bytes_compared = read_bytes;
    }
    return step;
}

}  // namespace lintora
