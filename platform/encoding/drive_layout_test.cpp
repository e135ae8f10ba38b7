#include "platform/encoding/drive_layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/le.h"

namespace lintora {

namespace {

TEST(DriveLayout, GptLayoutKeepsTheWindowsOffsets) {
    DriveLayoutRecord layout;
    layout.style = LayoutStyle::gpt;
    layout.count = 128;
    layout.gpt_disk_id = guid_from_text("01234567-89AB-CDEF-0011-223344556677");
    layout.gpt_max_partition_count = 128;
    PartitionRecord p;
    p.style = LayoutStyle::gpt;
    p.starting_offset = 0x1000;
    p.length = 0x2000;
    p.number = 2;
    p.rewrite = true;
    p.gpt_attributes = 0x8000000000000000ull;
    p.gpt_name[0] = u'X';
    p.gpt_name[35] = u'Y';
    layout.entries = {PartitionRecord{}, p};
    std::vector<uint8_t> buffer(48 + 128 * 144, 0xCC);
    encode_drive_layout(layout, buffer.data(), static_cast<uint32_t>(buffer.size()));

    EXPECT_EQ(load_u32(&buffer[0]), 1u);
    EXPECT_EQ(load_u32(&buffer[4]), 128u);
    EXPECT_EQ(buffer[8], 0x67);  // first field little-endian
    EXPECT_EQ(buffer[8 + 15], 0x77);
    EXPECT_EQ(load_u32(&buffer[40]), 128u);
    const uint8_t* e = &buffer[48 + 144];
    EXPECT_EQ(load_u64(e + 8), 0x1000u);
    EXPECT_EQ(load_u64(e + 16), 0x2000u);
    EXPECT_EQ(load_u32(e + 24), 2u);
    EXPECT_EQ(e[28], 1);
    EXPECT_EQ(load_u64(e + 64), 0x8000000000000000ull);
    EXPECT_EQ(load_u16(e + 72), u'X');
    EXPECT_EQ(load_u16(e + 142), u'Y');
    EXPECT_EQ(buffer.back(), 0);  // zero-filled to the end

    const DriveLayoutRecord back =
        decode_drive_layout(buffer.data(), static_cast<uint32_t>(buffer.size()));
    ASSERT_EQ(back.entries.size(), 128u);
    EXPECT_EQ(back.gpt_disk_id, layout.gpt_disk_id);
    EXPECT_EQ(back.entries[1].gpt_name[35], u'Y');
    EXPECT_EQ(back.entries[1].gpt_attributes, p.gpt_attributes);
}

TEST(DriveLayout, CreateDiskRecords) {
    uint8_t bytes[kCreateDiskBytes];
    CreateDiskRecord gpt;
    gpt.style = LayoutStyle::gpt;
    gpt.gpt_disk_id.bytes[0] = 0xAB;
    gpt.max_partition_count = 128;
    encode_create_disk(gpt, bytes);
    EXPECT_EQ(load_u32(bytes), 1u);
    EXPECT_EQ(bytes[4], 0xAB);
    EXPECT_EQ(load_u32(bytes + 20), 128u);
    CreateDiskRecord mbr;
    encode_create_disk(mbr, bytes);
    for (uint8_t b : bytes) {
        EXPECT_EQ(b, 0);
    }
}

TEST(Guid, TextRoundTripAndRejects) {
    const char* text = "E3C9E316-0B5C-4DB8-817D-F92DF00215AE";
    EXPECT_EQ(guid_to_text(guid_from_text(text)), text);
    EXPECT_EQ(guid_from_text(text).bytes[0], 0x16);
    EXPECT_EQ(guid_from_text("not a guid"), Guid{});
    EXPECT_EQ(guid_from_text("E3C9E316-0B5C"), Guid{});
}

}  // namespace

}  // namespace lintora
