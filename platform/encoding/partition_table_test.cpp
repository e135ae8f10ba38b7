#include "platform/encoding/partition_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/le.h"

namespace lintora {

namespace {

TEST(Crc32, KnownValue) {
    const char* text = "123456789";
    EXPECT_EQ(gpt_crc32(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
}

PartitionRecord mbr_entry(uint64_t start, uint64_t sectors, uint32_t sector_size) {
    PartitionRecord p;
    p.starting_offset = start * sector_size;
    p.length = sectors * sector_size;
    p.mbr_type = 0x07;
    return p;
}

TEST(MbrSector, OneNtfsEntryInLogicalSectors) {
    for (uint32_t sector_size : {512u, 4096u}) {
        const uint64_t start = sector_size == 512 ? 2048 : 256;
        const std::vector<uint8_t> s =
            build_mbr_sector(sector_size, 0, {mbr_entry(start, 4294966528, sector_size)});
        ASSERT_EQ(s.size(), sector_size);
        EXPECT_EQ(s[510], 0x55);
        EXPECT_EQ(s[511], 0xAA);
        EXPECT_EQ(s[0x1BE], 0x00);
        EXPECT_EQ(s[0x1BE + 4], 0x07);
        EXPECT_EQ(load_u32(&s[0x1BE + 8]), start);
        EXPECT_EQ(load_u32(&s[0x1BE + 12]), 4294966528u);
        EXPECT_EQ(s[0x1CE + 4], 0);  // no second entry
        // Past cylinder 1023 the end address is the conventional maximum.
        EXPECT_EQ(s[0x1BE + 5], 0xFE);
        EXPECT_EQ(s[0x1BE + 7], 0xFF);
    }
}

TEST(Gpt, HeadersEntriesAndChecksums) {
    for (uint32_t sector_size : {512u, 4096u}) {
        const uint64_t total = sector_size == 512 ? 0x100000000ull : 0x40000000ull;
        Guid disk_id;
        disk_id.bytes[0] = 0x11;
        PartitionRecord data;
        data.starting_offset = 264192ull * 512;
        data.length = 1000ull * 1048576;
        data.gpt_type = guid_from_text("EBD0A0A2-B9E5-4433-87C0-68B6B72699C7");
        data.gpt_id.bytes[3] = 9;
        const char16_t name[] = u"Basic data partition";
        std::memcpy(data.gpt_name, name, sizeof name);
        const GptImage gpt = build_gpt(sector_size, total, disk_id, {PartitionRecord{}, data});

        const uint32_t entry_sectors = 16384 / sector_size;
        EXPECT_EQ(gpt.entries.size(), 16384u);
        EXPECT_EQ(gpt.backup_header_lba, total - 1);
        EXPECT_EQ(gpt.backup_entries_lba, total - 1 - entry_sectors);

        const std::vector<uint8_t>& h = gpt.primary_header;
        EXPECT_EQ(std::string(h.begin(), h.begin() + 8), "EFI PART");
        EXPECT_EQ(load_u32(&h[12]), 92u);
        std::vector<uint8_t> copy(h.begin(), h.begin() + 92);
        store_u32(&copy[16], 0);
        EXPECT_EQ(load_u32(&h[16]), gpt_crc32(copy.data(), 92));
        EXPECT_EQ(load_u64(&h[24]), 1u);
        EXPECT_EQ(load_u64(&h[32]), total - 1);
        EXPECT_EQ(load_u64(&h[40]), 2u + entry_sectors);
        EXPECT_EQ(load_u64(&h[48]), total - 2 - entry_sectors);
        EXPECT_EQ(load_u64(&h[72]), 2u);
        EXPECT_EQ(load_u32(&h[88]), gpt_crc32(gpt.entries.data(), 16384));
        EXPECT_EQ(h[56], 0x11);

        const std::vector<uint8_t>& b = gpt.backup_header;
        EXPECT_EQ(load_u64(&b[24]), total - 1);
        EXPECT_EQ(load_u64(&b[32]), 1u);
        EXPECT_EQ(load_u64(&b[72]), gpt.backup_entries_lba);

        // The empty record is skipped: the data partition is the first entry.
        const uint8_t* e = gpt.entries.data();
        EXPECT_EQ(e[0], 0xA2);
        EXPECT_EQ(e[19], 9);
        EXPECT_EQ(load_u64(e + 32), 264192ull * 512 / sector_size);
        EXPECT_EQ(load_u64(e + 40), (264192ull * 512 + 1000ull * 1048576) / sector_size - 1);
        EXPECT_EQ(load_u16(e + 56), u'B');
        EXPECT_EQ(e[128], 0);

        const std::vector<uint8_t>& m = gpt.protective_mbr;
        EXPECT_EQ(m[0x1BE + 4], 0xEE);
        EXPECT_EQ(load_u32(&m[0x1BE + 8]), 1u);
        EXPECT_EQ(load_u32(&m[0x1BE + 12]),
                  static_cast<uint32_t>(std::min<uint64_t>(total - 1, 0xFFFFFFFF)));
    }
}

}  // namespace

}  // namespace lintora
