#include "ntfs/file_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/le.h"
#include "ntfs/record_layout.h"
#include "ntfs/test_volume.h"
#include "ntfs/typed_attributes.h"

namespace lintora {

namespace {

class FileRecordTest : public ::testing::Test {
  protected:
    void make(uint32_t record_size) {
        init_test_context(ctx, sink, record_size);
        image.assign(record_size, 0);
        std::memcpy(image.data(), "FILE", 4);
        store_u16(&image[kRecordUsaOffset], 0x30);
        init_file_record(ctx, rec(), 42);
    }
    void SetUp() override { make(1024); }

    FileRecordBuffer rec() { return FileRecordBuffer{image.data()}; }
    uint16_t u16(uint32_t at) const { return load_u16(&image[at]); }
    uint32_t u32(uint32_t at) const { return load_u32(&image[at]); }
    uint64_t u64(uint32_t at) const { return load_u64(&image[at]); }

    // (type, attribute id, name length) of each attribute in record order.
    std::vector<std::vector<uint32_t>> attributes() const {
        std::vector<std::vector<uint32_t>> out;
        for (uint32_t pos = u16(kRecordFirstAttribute); u32(pos) != kEndMarker;
             pos += u32(pos + kAttrLength)) {
            out.push_back({u32(pos), u16(pos + kAttrId), image[pos + kAttrNameLength]});
        }
        return out;
    }

    RecordingSink sink;
    NtfsFormatContext ctx;
    std::vector<uint8_t> image;
};

TEST_F(FileRecordTest, FreshRecordsOfBothSizes) {
    EXPECT_EQ(u16(kRecordUsaCount), 3);
    EXPECT_EQ(u16(kRecordFirstAttribute), 0x38);
    EXPECT_EQ(u32(kRecordBytesInUse), 0x40u);
    EXPECT_EQ(u32(kRecordBytesAllocated), 1024u);
    EXPECT_EQ(u32(0x38), kEndMarker);
    EXPECT_EQ(u16(kRecordNextAttributeId), 0);
    EXPECT_EQ(u16(kRecordSequence), 1);
    EXPECT_EQ(u32(kRecordNumber), 42u);

    make(4096);
    EXPECT_EQ(u16(kRecordUsaCount), 9);
    EXPECT_EQ(u16(kRecordFirstAttribute), 0x48);
    EXPECT_EQ(u32(kRecordBytesInUse), 0x50u);
}

TEST_F(FileRecordTest, AttributesKeepTypeOrderAndIdsFollowInsertion) {
    const char16_t units[] = u"$I30";
    const CountedName i30 = counted_name(units);
    const uint8_t value[8] = {1};
    ASSERT_EQ(add_empty_data(rec(), ctx), NTFS_OK);
    ASSERT_EQ(add_standard_information(ctx, rec()), NTFS_OK);
    ASSERT_EQ(add_resident_attribute(ctx, rec(), kAttrBitmap, 0, value, 8, &i30), NTFS_OK);
    ASSERT_EQ(add_resident_attribute(ctx, rec(), kAttrBitmap, 0, value, 8, nullptr), NTFS_OK);
    const std::vector<std::vector<uint32_t>> expected = {
        {0x10, 1, 0}, {0x80, 0, 0}, {0xB0, 3, 0}, {0xB0, 2, 4}};
    EXPECT_EQ(attributes(), expected);
    EXPECT_EQ(u16(kRecordNextAttributeId), 4);
    // Bytes in use end right after the end marker.
    const uint32_t in_use = u32(kRecordBytesInUse);
    EXPECT_EQ(u32(in_use - 8), kEndMarker);
}

TEST_F(FileRecordTest, DuplicatesAreRefusedWhateverTheCase) {
    const char16_t lower[] = u"$i30";
    const char16_t upper[] = u"$I30";
    const CountedName a = counted_name(lower);
    const CountedName b = counted_name(upper);
    const uint8_t value[8] = {};
    ASSERT_EQ(add_resident_attribute(ctx, rec(), kAttrBitmap, 0, value, 8, &a), NTFS_OK);
    const std::vector<uint8_t> before = image;
    EXPECT_EQ(add_resident_attribute(ctx, rec(), kAttrBitmap, 0, value, 8, &b), NTFS_INVALID);
    ASSERT_EQ(add_standard_information(ctx, rec()), NTFS_OK);
    const std::vector<uint8_t> with_si = image;
    EXPECT_EQ(add_standard_information(ctx, rec()), NTFS_INVALID);
    EXPECT_EQ(image, with_si);
    EXPECT_NE(before, with_si);
}

TEST_F(FileRecordTest, FullRecordIsRefusedUnchanged) {
    // 0x40 bytes in use: a 936-byte value makes a 960-byte attribute that fills the record.
    std::vector<uint8_t> big(937, 7);
    const std::vector<uint8_t> before = image;
    EXPECT_EQ(add_resident_attribute(ctx, rec(), kAttrData, 0, big.data(), 937, nullptr),
              NTFS_NO_SPACE);
    EXPECT_EQ(image, before);
    EXPECT_EQ(add_resident_attribute(ctx, rec(), kAttrData, 0, big.data(), 936, nullptr), NTFS_OK);
    EXPECT_EQ(u32(kRecordBytesInUse), 1024u);
    EXPECT_EQ(add_volume_information(1, 2, rec(), ctx), NTFS_NO_SPACE);
}

TEST_F(FileRecordTest, FixupsProtectSectorEndsAndSkipZeroAndAllOnes) {
    store_u16(&image[510], 0x1234);
    store_u16(&image[1022], 0x5678);
    const std::vector<uint8_t> plain = image;
    apply_fixups(image.data());
    EXPECT_EQ(u16(0x30), 1);
    EXPECT_EQ(u16(510), 1);
    EXPECT_EQ(u16(1022), 1);
    EXPECT_EQ(u16(0x32), 0x1234);
    EXPECT_EQ(u16(0x34), 0x5678);
    remove_fixups(image.data());
    std::vector<uint8_t> expected = plain;
    store_u16(&expected[0x30], 1);
    store_u16(&expected[0x32], 0x1234);
    store_u16(&expected[0x34], 0x5678);
    EXPECT_EQ(image, expected);

    store_u16(&image[0x30], 0xFFFE);
    apply_fixups(image.data());
    EXPECT_EQ(u16(0x30), 1);
    remove_fixups(image.data());
    store_u16(&image[0x30], 0xFFFF);
    apply_fixups(image.data());
    EXPECT_EQ(u16(0x30), 1);
}

TEST_F(FileRecordTest, WriteRecordIsOneCallAndRaisesTheNumber) {
    ASSERT_EQ(write_record(ctx, rec(), 8192, 1024), NTFS_OK);
    ASSERT_EQ(sink.calls().size(), 1u);
    EXPECT_EQ(sink.calls()[0].length, 1024u);
    EXPECT_EQ(sink.read(8192 + 510, 2), (std::vector<uint8_t>{1, 0}));
    EXPECT_EQ(u16(510), 0);  // fixups removed again
    ASSERT_EQ(write_record(ctx, rec(), 8192, 1024), NTFS_OK);
    EXPECT_EQ(u16(0x30), 2);
    sink.fail_call(3);
    EXPECT_EQ(write_record(ctx, rec(), 0, 1024), NTFS_WRITE_FAILED);
}

TEST_F(FileRecordTest, CollationIgnoresCaseAndSortsPrefixesFirst) {
    auto le = [](const char16_t* s) {
        std::vector<uint8_t> out;
        for (; *s != 0; ++s) {
            out.push_back(static_cast<uint8_t>(*s));
            out.push_back(static_cast<uint8_t>(*s >> 8));
        }
        return out;
    };
    auto collate = [&](const char16_t* a, const char16_t* b) {
        const std::vector<uint8_t> la = le(a);
        const std::vector<uint8_t> lb = le(b);
        return collate_names(la.data(), lb.data(), static_cast<uint32_t>(lb.size() / 2),
                             static_cast<uint32_t>(la.size() / 2), ctx.upcase.get(),
                             ctx.upcase_length);
    };
    EXPECT_EQ(collate(u"$Bitmap", u"$BITMAP"), 0);
    EXPECT_EQ(collate(u"$MFTMirr", u"$MFT"), -1);  // b is a prefix of a
    EXPECT_EQ(collate(u"$MFT", u"$MFTMirr"), 1);
    EXPECT_EQ(collate(u".", u"$UpCase"), -1);     // '$' sorts before '.'
    EXPECT_EQ(collate(u"\u00E9", u"\u00C9"), 0);  // e-acute against E-acute
    EXPECT_EQ(collate(u"a", u"\u00E0"), 1);
}

TEST_F(FileRecordTest, NonResidentAttributesCheckTheirRun) {
    std::vector<uint8_t> data(8192, 1);
    EXPECT_EQ(add_data_attribute(ctx, rec(), {100, 1}, data.data(), 8192, nullptr), NTFS_INVALID);
    EXPECT_TRUE(sink.calls().empty());

    const char16_t bad_units[] = u"$Bad";
    const CountedName bad = counted_name(bad_units);
    ASSERT_EQ(add_data_attribute(ctx, rec(), {kNoClusters, 5000}, nullptr, 12345, &bad), NTFS_OK);
    EXPECT_TRUE(sink.calls().empty());
    const uint32_t a = u16(kRecordFirstAttribute);
    EXPECT_EQ(image[a + kAttrNonResident], 1);
    EXPECT_EQ(u16(a + kAttrNameOffset), 0x40);
    EXPECT_EQ(u64(a + kAttrLastVcn), 4999u);
    EXPECT_EQ(u64(a + kAttrAllocatedSize), 5000u * 4096);
    EXPECT_EQ(u64(a + kAttrDataSize), 12345u);
    EXPECT_EQ(u64(a + kAttrInitializedSize), 0u);
    const uint32_t pairs = a + u16(a + kAttrMappingPairsOffset);
    EXPECT_EQ(u16(a + kAttrMappingPairsOffset), 0x48);
    EXPECT_EQ(image[pairs], 0x02);  // two length bytes, no LCN
    EXPECT_EQ(u32(a + kAttrLength), 0x50u);
}

TEST_F(FileRecordTest, NonResidentDataIsWrittenWhenAdded) {
    std::vector<uint8_t> data(5000, 9);
    ASSERT_EQ(add_data_attribute(ctx, rec(), {100, 2}, data.data(), 5000, nullptr), NTFS_OK);
    ASSERT_EQ(sink.calls().size(), 1u);
    EXPECT_EQ(sink.calls()[0].offset, 100u * 4096);
    const uint32_t a = u16(kRecordFirstAttribute);
    EXPECT_EQ(u64(a + kAttrInitializedSize), 5000u);
    ClusterRun run{};
    decode_mapping_pairs(&image[a + u16(a + kAttrMappingPairsOffset)], 8, &run);
    EXPECT_EQ(run.lcn, 100u);
    EXPECT_EQ(run.length, 2u);
}

TEST_F(FileRecordTest, VolumeNameLimits) {
    make(4096);
    // The volume's $AttrDef allows 0x100 bytes of $VOLUME_NAME: 128 code units.
    std::u16string label(129, u'x');
    CountedName too_long{258, 258, label.c_str()};
    EXPECT_EQ(add_volume_name(&too_long, rec(), ctx), NTFS_NAME_TOO_LONG);
    CountedName longest{256, 256, label.c_str()};
    ASSERT_EQ(add_volume_name(&longest, rec(), ctx), NTFS_OK);
    EXPECT_EQ(u32(u16(kRecordFirstAttribute) + kAttrLength), 280u);

    make(1024);
    ASSERT_EQ(add_volume_name(nullptr, rec(), ctx), NTFS_OK);
    EXPECT_EQ(u32(u16(kRecordFirstAttribute) + kAttrValueLength), 0u);
}

TEST_F(FileRecordTest, ResizeMovesTheFollowingAttributes) {
    const uint8_t value[16] = {1, 2, 3};
    ASSERT_EQ(add_resident_attribute(ctx, rec(), kAttrData, 0, value, 16, nullptr), NTFS_OK);
    ASSERT_EQ(add_volume_information(1, 2, rec(), ctx), NTFS_OK);  // 0x70 goes first
    ASSERT_EQ(add_standard_information(ctx, rec()), NTFS_OK);
    const uint32_t first = u16(kRecordFirstAttribute);
    const uint32_t data_at = first + 72 + 40;
    ASSERT_EQ(u32(data_at), kAttrData);
    const uint32_t in_use = u32(kRecordBytesInUse);
    ASSERT_EQ(resize_resident_value(rec(), first + 72, 100), NTFS_OK);  // $VOLUME_INFORMATION
    EXPECT_EQ(u32(first + 72 + kAttrLength), 128u);
    EXPECT_EQ(u32(kRecordBytesInUse), in_use + 88);
    EXPECT_EQ(u32(data_at + 88), kAttrData);
    EXPECT_EQ(image[data_at + 88 + 0x18], 1);
    ASSERT_EQ(resize_resident_value(rec(), first + 72, 12), NTFS_OK);
    EXPECT_EQ(u32(kRecordBytesInUse), in_use);
    EXPECT_EQ(u32(data_at), kAttrData);
    EXPECT_EQ(resize_resident_value(rec(), first + 72, 2000), NTFS_NO_SPACE);
}

TEST_F(FileRecordTest, SecurityDescriptorGoesNonResidentWhenTooLarge) {
    std::vector<uint8_t> sd(1000, 0x11);
    ctx.mftmirr_run = {2, 1};
    ASSERT_EQ(add_security_descriptor(ctx, rec(), sd.data(), sd.size()), NTFS_OK);
    const uint32_t a = u16(kRecordFirstAttribute);
    EXPECT_EQ(image[a + kAttrNonResident], 1);
    ASSERT_EQ(sink.calls().size(), 1u);
    EXPECT_EQ(sink.calls()[0].offset, 3u * 4096);  // first free cluster after the mirror
}

}  // namespace

}  // namespace lintora
