#include "ntfs/directory_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/le.h"
#include "ntfs/record_layout.h"
#include "ntfs/test_volume.h"
#include "ntfs/typed_attributes.h"

namespace lintora {

namespace {

const char16_t* const kSystemNames[] = {u"$MFT",     u"$MFTMirr", u"$LogFile", u"$Volume",
                                        u"$AttrDef", u"$Bitmap",  u"$Boot",    u"$BadClus",
                                        u"$Quota",   u"$UpCase"};

std::string narrow(const uint8_t* le_units, uint32_t count) {
    std::string out;
    for (uint32_t i = 0; i < count; ++i) {
        out += static_cast<char>(load_u16(le_units + 2 * i));
    }
    return out;
}

class DirectoryIndexTest : public ::testing::Test {
  protected:
    void SetUp() override { init_test_context(ctx, sink, 1024, 256); }

    FileRecordBuffer new_record(uint32_t number) {
        records.emplace_back(std::vector<uint8_t>(ctx.record_size, 0));
        uint8_t* r = records.back().data();
        std::memcpy(r, "FILE", 4);
        store_u16(r + kRecordUsaOffset, 0x30);
        init_file_record(ctx, FileRecordBuffer{r}, number);
        EXPECT_EQ(add_standard_information(ctx, FileRecordBuffer{r}), NTFS_OK);
        return FileRecordBuffer{r};
    }

    FileRecordBuffer make_root() {
        FileRecordBuffer root = new_record(5);
        const CountedName dot = counted_name(u".");
        EXPECT_EQ(add_file_name(ctx, root, 0, 0, 0x10000006, &dot), NTFS_OK);
        EXPECT_EQ(add_index_root(ctx, root, 4096, index_name_i30()), NTFS_OK);
        return root;
    }

    // Names of the entries from `first` to the end entry.
    static std::vector<std::string> entry_names(const uint8_t* entry) {
        std::vector<std::string> names;
        while ((load_u16(entry + kEntryFlags) & kEntryLast) == 0) {
            const uint8_t* key = entry + kEntryKey;
            names.push_back(narrow(key + kFileNameUnits, key[kFileNameLength]));
            entry += load_u16(entry + kEntryLength);
        }
        return names;
    }

    static const uint8_t* root_value(FileRecordBuffer root, uint32_t* value_length = nullptr) {
        uint32_t pos = load_u16(root.bytes + kRecordFirstAttribute);
        while (load_u32(root.bytes + pos) != kAttrIndexRoot) {
            pos += load_u32(root.bytes + pos + kAttrLength);
        }
        if (value_length != nullptr) {
            *value_length = load_u32(root.bytes + pos + kAttrValueLength);
        }
        return root.bytes + pos + load_u16(root.bytes + pos + kAttrValueOffset);
    }

    std::vector<std::string> expected_order() const {
        return {"$AttrDef", "$BadClus", "$Bitmap", "$Boot",   "$LogFile", "$MFT",
                "$MFTMirr", "$Quota",   "$UpCase", "$Volume", "."};
    }

    RecordingSink sink;
    NtfsFormatContext ctx;
    std::vector<std::vector<uint8_t>> records;
};

TEST_F(DirectoryIndexTest, RootFormKeepsCollationOrder) {
    init_test_context(ctx, sink, 4096, 256);  // the eleven entries fit a 4096-byte record only
    records.reserve(16);
    FileRecordBuffer root = make_root();
    std::vector<uint32_t> order = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (uint32_t n : order) {
        if (n == 10) {  // the root itself: its own $FILE_NAME is already there
            const uint8_t* value = nullptr;
            uint32_t length = 0;
            ASSERT_EQ(find_file_name_value(root, &value, &length), NTFS_OK);
            ByteBuffer entry;
            uint32_t entry_length = 0;
            ASSERT_EQ(
                make_index_entry(kRootDirectoryReference, value, length, &entry, &entry_length),
                NTFS_OK);
            ASSERT_EQ(insert_root_entry(ctx, entry.get(), entry_length, root, index_name_i30()),
                      NTFS_OK);
            continue;
        }
        const CountedName name = counted_name(kSystemNames[n]);
        FileRecordBuffer file = new_record(n);
        ASSERT_EQ(link_in_root_index(&name, ctx, root, file, make_file_reference(n, 1), 0, 0),
                  NTFS_OK);
        EXPECT_EQ(load_u16(file.bytes + kRecordLinkCount), 1);
    }
    uint32_t value_length = 0;
    const uint8_t* value = root_value(root, &value_length);
    EXPECT_EQ(entry_names(value + 0x20), expected_order());
    // Index length and allocated size grow with the value.
    EXPECT_EQ(load_u32(value + 0x14), value_length - 0x10);
    EXPECT_EQ(load_u32(value + 0x18), value_length - 0x10);
}

TEST_F(DirectoryIndexTest, ConversionMovesEntriesIntoOneBlock) {
    FileRecordBuffer root = make_root();
    const ClusterRun run{44, 1};
    ByteBuffer block;
    ASSERT_EQ(convert_to_large_index(ctx, index_name_i30(), root, &run, &block), NTFS_OK);
    ASSERT_TRUE(block);
    const uint8_t* b = block.get();
    EXPECT_EQ(std::memcmp(b, "INDX", 4), 0);
    EXPECT_EQ(load_u16(b + 0x06), 9);
    EXPECT_EQ(load_u32(b + 0x18), 0x40u);  // entries at 0x58
    EXPECT_EQ(load_u32(b + 0x1C), 0x50u);  // the end entry alone
    EXPECT_EQ(load_u32(b + 0x20), 0xFE8u);
    EXPECT_EQ(load_u16(b + 0x28), 2);  // raised by the write
    EXPECT_EQ(load_u16(b + 0x58 + kEntryFlags), kEntryLast);

    uint32_t value_length = 0;
    const uint8_t* value = root_value(root, &value_length);
    EXPECT_EQ(value_length, 56u);
    EXPECT_EQ(value[0x1C], 1);  // large index
    const uint8_t* end_entry = value + 0x20;
    EXPECT_EQ(load_u16(end_entry + kEntryLength), 24);
    EXPECT_EQ(load_u16(end_entry + kEntryFlags), 3);
    EXPECT_EQ(load_u64(end_entry + 16), 0u);

    // The block went out once, with fixups, at its run.
    ASSERT_EQ(sink.calls().size(), 1u);
    EXPECT_EQ(sink.calls()[0].offset, 44u * 4096);
    EXPECT_EQ(sink.read(44 * 4096 + 510, 2), (std::vector<uint8_t>{2, 0}));

    // Entries go into the block in collation order, "." last.
    records.reserve(16);
    for (uint32_t n = 0; n < 10; ++n) {
        const CountedName name = counted_name(kSystemNames[9 - n]);
        ASSERT_EQ(
            link_in_index_block(&name, ctx, new_record(9 - n), IndexBlockBuffer{block.get()},
                                make_file_reference(9 - n, static_cast<uint16_t>(9 - n)), 0, 0),
            NTFS_OK);
    }
    const uint8_t* dot = nullptr;
    uint32_t dot_length = 0;
    ASSERT_EQ(find_file_name_value(root, &dot, &dot_length), NTFS_OK);
    ASSERT_EQ(insert_block_entry(IndexBlockBuffer{block.get()}, ctx, kRootDirectoryReference, dot,
                                 dot_length),
              NTFS_OK);
    EXPECT_EQ(entry_names(b + 0x58), expected_order());

    ASSERT_EQ(write_index_block(IndexBlockBuffer{block.get()}, index_name_i30(), ctx, root),
              NTFS_OK);
    ASSERT_EQ(sink.calls().size(), 2u);
    EXPECT_EQ(sink.calls()[1].length, 4096u);
    EXPECT_EQ(load_u16(b + 0x28), 3);
}

TEST_F(DirectoryIndexTest, DuplicateNamesAreRefused) {
    FileRecordBuffer root = make_root();
    records.reserve(8);
    const CountedName bitmap = counted_name(u"$Bitmap");
    FileRecordBuffer first = new_record(6);
    ASSERT_EQ(link_in_root_index(&bitmap, ctx, root, first, make_file_reference(6, 6), 0, 0),
              NTFS_OK);
    EXPECT_EQ(link_in_root_index(&bitmap, ctx, root, first, make_file_reference(6, 6), 0, 0),
              NTFS_INVALID);  // the record already has its $FILE_NAME

    const std::vector<uint8_t> root_before(root.bytes, root.bytes + ctx.record_size);
    const CountedName upper = counted_name(u"$BITMAP");
    FileRecordBuffer second = new_record(7);
    EXPECT_EQ(link_in_root_index(&upper, ctx, root, second, make_file_reference(7, 7), 0, 0),
              NTFS_INVALID);
    EXPECT_EQ(std::vector<uint8_t>(root.bytes, root.bytes + ctx.record_size), root_before);
    EXPECT_EQ(load_u16(second.bytes + kRecordLinkCount), 0);
    const uint8_t* value = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(find_file_name_value(second, &value, &length), NTFS_OK);  // stays in the record
}

TEST_F(DirectoryIndexTest, SystemFileTimesAreClearedOnlyForTheirReferences) {
    auto cleared = [](uint64_t reference) {
        std::vector<uint8_t> key(66, 0xAB);
        clear_system_file_times(key.data(), reference);
        return key[0x08] == 0 && key[0x27] == 0 && key[0x28] == 0xAB && key[0x07] == 0xAB;
    };
    EXPECT_FALSE(cleared(make_file_reference(0, 1)));
    EXPECT_TRUE(cleared(make_file_reference(5, 5)));
    EXPECT_TRUE(cleared(make_file_reference(15, 15)));
    EXPECT_FALSE(cleared(make_file_reference(3, 4)));
    EXPECT_FALSE(cleared(make_file_reference(16, 16)));
}

TEST_F(DirectoryIndexTest, IndexRootBlockSizes) {
    auto clusters_per_block = [&](uint32_t block, uint32_t cluster) -> int {
        ctx.cluster_size = cluster;
        std::vector<uint8_t> image(1024, 0);
        std::memcpy(image.data(), "FILE", 4);
        store_u16(&image[kRecordUsaOffset], 0x30);
        FileRecordBuffer r{image.data()};
        init_file_record(ctx, r, 5);
        if (add_index_root(ctx, r, block, index_name_i30()) != NTFS_OK) {
            return -1;
        }
        const uint32_t a = load_u16(&image[kRecordFirstAttribute]);
        return image[a + load_u16(&image[a + kAttrValueOffset]) + 0x0C];
    };
    EXPECT_EQ(clusters_per_block(4096, 65536), 8);
    EXPECT_EQ(clusters_per_block(3000, 4096), -1);
    EXPECT_EQ(clusters_per_block(4096, 512), 8);
    EXPECT_EQ(clusters_per_block(6144, 4096), -1);
    EXPECT_EQ(clusters_per_block(4096, 4096), 1);
}

TEST_F(DirectoryIndexTest, FileNameLengthLimits) {
    records.reserve(4);
    std::u16string name(256, u'n');
    CountedName too_long{512, 512, name.c_str()};
    EXPECT_EQ(add_file_name(ctx, new_record(20), 0, 0, 6, &too_long), NTFS_NAME_TOO_LONG);
    CountedName longest{510, 510, name.c_str()};
    EXPECT_EQ(add_file_name(ctx, new_record(21), 0, 0, 6, &longest), NTFS_OK);
    CountedName empty{0, 0, name.c_str()};
    EXPECT_EQ(add_file_name(ctx, new_record(22), 0, 0, 6, &empty), NTFS_INVALID);

    std::vector<uint8_t> bare(1024, 0);
    std::memcpy(bare.data(), "FILE", 4);
    store_u16(&bare[kRecordUsaOffset], 0x30);
    init_file_record(ctx, FileRecordBuffer{bare.data()}, 23);
    EXPECT_EQ(add_file_name(ctx, FileRecordBuffer{bare.data()}, 0, 0, 6, &longest),
              NTFS_NOT_FOUND);  // no $STANDARD_INFORMATION to copy the times from
}

TEST_F(DirectoryIndexTest, FileNameCopiesTheStandardInformationTimes) {
    records.reserve(2);
    FileRecordBuffer file = new_record(3);
    const CountedName name = counted_name(u"$Volume");
    ASSERT_EQ(add_file_name(ctx, file, 8192, 100, 6, &name), NTFS_OK);
    const uint8_t* value = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(find_file_name_value(file, &value, &length), NTFS_OK);
    EXPECT_EQ(length, 66u + 14);
    EXPECT_EQ(load_u64(value), kRootDirectoryReference);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(load_u64(value + 8 + 8 * i), ctx.now);
    }
    EXPECT_EQ(load_u64(value + 0x28), 8192u);
    EXPECT_EQ(load_u64(value + 0x30), 100u);
    EXPECT_EQ(value[0x40], 7);
    EXPECT_EQ(value[0x41], 3);
}

}  // namespace

}  // namespace lintora
