#include <gtest/gtest.h>

#include <vector>

#include "base/le.h"
#include "ntfs/attrdef_table.h"
#include "ntfs/boot_sector.h"
#include "ntfs/security_descriptors.h"
#include "ntfs/upcase_table.h"

namespace lintora {

namespace {

TEST(UpcaseTable, MatchesTheSamplesAndTheCountOfChangedEntries) {
    std::vector<uint8_t> table(kUpcaseBytes);
    build_upcase_table(kUpcaseBytes, table.data());
    auto entry = [&](uint32_t i) { return load_u16(&table[2 * i]); };
    int changed = 0;
    for (uint32_t i = 0; i < kUpcaseEntries; ++i) {
        changed += entry(i) != i ? 1 : 0;
    }
    EXPECT_EQ(changed, 973);
    for (uint32_t i = 0; i < 0x80; ++i) {
        EXPECT_EQ(entry(i), i >= 'a' && i <= 'z' ? i - 32 : i) << i;
    }
    const std::pair<uint16_t, uint16_t> samples[] = {
        {0x0000, 0x0000}, {0x00B5, 0x00B5}, {0x00DF, 0x00DF}, {0x00F7, 0x00F7}, {0x00FF, 0x0178},
        {0x0101, 0x0100}, {0x0131, 0x0131}, {0x017F, 0x017F}, {0x01C5, 0x01C5}, {0x03C2, 0x03C2},
        {0x03C3, 0x03A3}, {0x0450, 0x0400}, {0x2170, 0x2160}, {0x24D0, 0x24B6}, {0x2D00, 0x10A0},
        {0xFF5A, 0xFF3A}, {0xFFFF, 0xFFFF}, {0x0250, 0x2C6F}, {0xA78C, 0xA78B}, {0x1F70, 0x1FBA}};
    for (const auto& [from, to] : samples) {
        EXPECT_EQ(entry(from), to) << std::hex << from;
    }
}

TEST(AttrDefTable, HoldsFourteenEntriesThenZeros) {
    std::vector<uint8_t> image(kAttrDefBytes, 0xEE);
    build_attrdef_table(kAttrDefBytes, image.data());
    for (size_t i = 14 * kAttrDefEntryBytes; i < image.size(); ++i) {
        ASSERT_EQ(image[i], 0) << i;
    }
    auto name = [&](int n) {
        std::string out;
        for (int i = 0; i < 64; ++i) {
            const uint16_t unit = load_u16(&image[n * kAttrDefEntryBytes + 2 * i]);
            if (unit == 0) {
                break;
            }
            out += static_cast<char>(unit);
        }
        return out;
    };
    auto field32 = [&](int n, int at) { return load_u32(&image[n * kAttrDefEntryBytes + at]); };
    auto field64 = [&](int n, int at) { return load_u64(&image[n * kAttrDefEntryBytes + at]); };
    EXPECT_EQ(name(0), "$STANDARD_INFORMATION");
    EXPECT_EQ(name(13), "$EA");
    EXPECT_EQ(field32(2, 128), 0x30u);
    EXPECT_EQ(field32(2, 140), 0x42u);
    EXPECT_EQ(field64(2, 144), 0x44u);
    EXPECT_EQ(field64(2, 152), 0x242u);
    EXPECT_EQ(field32(3, 128), 0x40u);  // $VOLUME_VERSION: the NTFS 1.2 set
    EXPECT_EQ(field32(11, 128), 0xC0u);
    EXPECT_EQ(field64(13, 152), 0x10000u);
    EXPECT_EQ(field64(7, 152), ~0ull);
    for (int n = 0; n < 14; ++n) {
        EXPECT_LT(name(n).size(), 64u);
        EXPECT_EQ(field32(n, 132), 0u);
        EXPECT_EQ(field32(n, 136), 0u);
        EXPECT_EQ(load_u16(&image[n * kAttrDefEntryBytes + 126]), 0);
    }
}

TEST(SecurityDescriptors, SizesOffsetsAndMasks) {
    uint32_t length = 0;
    ByteBuffer sd = build_system_file_sd(9, &length);
    ASSERT_EQ(length, kSystemFileSdBytes);
    const uint8_t* d = sd.get();
    EXPECT_EQ(load_u16(d + 2), 0x8004);
    EXPECT_EQ(load_u32(d + 4), 72u);
    EXPECT_EQ(load_u32(d + 8), 88u);
    EXPECT_EQ(load_u32(d + 16), 20u);
    EXPECT_EQ(load_u16(d + 22), 52);
    EXPECT_EQ(load_u32(d + 32), 0x0012019Fu);
    EXPECT_EQ(load_u32(d + 52), 0x0012019Fu);
    EXPECT_EQ(d[48 + 8 + 7], 5);             // NT authority, big-endian
    EXPECT_EQ(load_u32(d + 48 + 20), 544u);  // Administrators
    EXPECT_EQ(load_u32(build_system_file_sd(6, &length).get() + 32), 0x00120089u);
    EXPECT_EQ(load_u32(build_system_file_sd(12, &length).get() + 32), 0x0012019Fu);

    sd = build_root_sd(&length);
    ASSERT_EQ(length, kRootSdBytes);
    d = sd.get();
    EXPECT_EQ(load_u32(d + 4), 204u);
    EXPECT_EQ(load_u32(d + 8), 220u);
    EXPECT_EQ(load_u16(d + 22), 184);
    EXPECT_EQ(load_u16(d + 24), 8);
    EXPECT_EQ(d[28 + 24 + 1], 0x0B);  // second ACE inherits only
    EXPECT_EQ(load_u32(d + 28 + 24 + 4), 0x10000000u);
    EXPECT_EQ(load_u32(d + 220 + 12), 544u);
}

TEST(BootSector, SizeBytesAndFirstSetBit) {
    EXPECT_EQ(find_first_set(0), 0u);
    EXPECT_EQ(find_first_set(1), 1u);
    EXPECT_EQ(find_first_set(512), 10u);
    EXPECT_EQ(find_first_set(1024), 11u);
    EXPECT_EQ(encode_unit_size(1024, 4096), 0xF6);
    EXPECT_EQ(encode_unit_size(512, 4096), 0xF7);
    EXPECT_EQ(encode_unit_size(4096, 4096), 1);
    EXPECT_EQ(encode_unit_size(8192, 4096), 2);
}

}  // namespace

}  // namespace lintora
