#include "discovery/disk_entry_text.h"

#include <gtest/gtest.h>

#include <string>

namespace lintora {

namespace {

DiskInfo disk(uint64_t bytes, uint32_t letters, const std::u16string& name) {
    DiskInfo d{};
    d.bytes_per_sector = 512;
    d.sector_count = bytes / 512;
    if (bytes % 512 != 0) {  // totals that are no multiple of 512: one-byte sectors
        d.bytes_per_sector = 1;
        d.sector_count = bytes;
    }
    d.drive_letters = letters;
    name.copy(d.friendly_name, name.size());
    return d;
}

std::string ascii(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

TEST(DiskEntryText, LinesOfTheSampleDisks) {
    const uint32_t E = 1u << 4, F = 1u << 5, H = 1u << 7, D = 1u << 3, G = 1u << 6;
    EXPECT_EQ(ascii(format_disk_entry(disk(2000398934016, E, u"Ext Disk USB Device"))),
              "(E:) Ext Disk USB Device 1.83TB");
    EXPECT_EQ(ascii(format_disk_entry(disk(1000204886016, F | H, u"Ext Disk USB Device"))),
              "(F:,H:) Ext Disk USB Device 931.52GB");
    EXPECT_EQ(ascii(format_disk_entry(disk(500107862016, 0, u"Ext Disk USB Device"))),
              "Ext Disk USB Device 465.78GB");
    EXPECT_EQ(ascii(format_disk_entry(disk(1099511627776, 0, u""))), " 1.00TB");
    // Never a third digit: just short of 1 TiB, 2 TiB, and 199 GiB + 1000 MiB.
    EXPECT_EQ(ascii(format_disk_entry(disk(1099511627775, 0, u"X"))), "X 1023.99GB");
    EXPECT_EQ(ascii(format_disk_entry(disk(2199023251456, 0, u"X"))), "X 1.99TB");
    EXPECT_EQ(ascii(format_disk_entry(disk(199ull * 1073741824 + 1000ull * 1048576, 0, u"X"))),
              "X 199.99GB");
    EXPECT_EQ(ascii(format_disk_entry(disk(214748364800, D, u"X"))), "(D:) X 200.00GB");
    EXPECT_EQ(ascii(format_disk_entry(disk(4000787030016, G, u"X"))), "(G:) X 3.65TB");
    EXPECT_EQ(ascii(format_disk_entry(disk(214748364800, D, u""))), "(D:)  200.00GB");
    EXPECT_EQ(ascii(format_disk_entry(disk(0, 0, u"X"))), "X 0.00GB");
    EXPECT_EQ(ascii(format_disk_entry(disk(1u << 30, 0x3FFFFFF, u"A"))),
              "(A:,B:,C:,D:,E:,F:,G:,H:,I:,J:,K:,L:,M:,N:,O:,P:,Q:,R:,S:,T:,U:,V:,W:,X:,Y:,Z:) A "
              "1.00GB");
}

}  // namespace

}  // namespace lintora
