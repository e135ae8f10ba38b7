#include "ntfs/cluster_run.h"

#include <gtest/gtest.h>

#include <vector>

#include "ntfs/cluster_bitmap.h"
#include "ntfs/run_writer.h"
#include "ntfs/test_volume.h"

namespace lintora {

namespace {

std::vector<uint8_t> encode(ClusterRun run) {
    uint32_t size = 0;
    EXPECT_EQ(encode_mapping_pairs(nullptr, ~0u, run, &size), NTFS_OK);
    std::vector<uint8_t> bytes(size);
    EXPECT_EQ(encode_mapping_pairs(bytes.data(), size, run, nullptr), NTFS_OK);
    return bytes;
}

TEST(MappingPairs, EncodesTheWorkedExamples) {
    struct Case {
        ClusterRun run;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {{786432, 4}, {0x31, 0x04, 0x00, 0x00, 0x0C, 0x00}},
        {{44, 1}, {0x11, 0x01, 0x2C, 0x00}},
        {{0, 2}, {0x11, 0x02, 0x00, 0x00}},
        {{0, 128}, {0x12, 0x80, 0x00, 0x00, 0x00}},
        {{0, 127}, {0x11, 0x7F, 0x00, 0x00}},
        {{782615, 3815}, {0x32, 0xE7, 0x0E, 0x17, 0xF1, 0x0B, 0x00}},
        {{kNoClusters, 124999999}, {0x04, 0x3F, 0x59, 0x73, 0x07, 0x00}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encode(c.run), c.bytes) << c.run.lcn << "," << c.run.length;
        if (c.run.lcn != kNoClusters) {
            ClusterRun back{};
            decode_mapping_pairs(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()), &back);
            EXPECT_EQ(back.lcn, c.run.lcn);
            EXPECT_EQ(back.length, c.run.length);
        }
    }
}

TEST(MappingPairs, ShortBufferIsRefusedUntouched) {
    uint8_t buffer[5] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(encode_mapping_pairs(buffer, 5, {786432, 4}, nullptr), NTFS_NO_SPACE);
    for (uint8_t b : buffer) {
        EXPECT_EQ(b, 0xAA);
    }
}

TEST(MappingPairs, DecodeReadsNothingPastTheAvailableBytes) {
    const uint8_t bytes[] = {0x31, 0x04, 0x00, 0x00, 0x0C};
    ClusterRun run{};
    decode_mapping_pairs(bytes, 3, &run);
    EXPECT_EQ(run.length, 4u);
    EXPECT_EQ(run.lcn, 0u);
    decode_mapping_pairs(bytes, 0, &run);
    EXPECT_EQ(run.length, 0u);
}

class ClusterBitmapTest : public ::testing::Test {
  protected:
    void SetUp() override { init_test_context(ctx, sink, 1024, 64); }
    bool in_use(uint64_t cluster) const {
        return (ctx.cluster_bitmap[cluster / 8] >> (cluster % 8)) & 1;
    }
    RecordingSink sink;
    NtfsFormatContext ctx;
};

TEST_F(ClusterBitmapTest, ClaimRefusesUsedClustersAndTheEnd) {
    EXPECT_EQ(claim_run({10, 4}, ctx), NTFS_OK);
    EXPECT_TRUE(in_use(10) && in_use(13));
    EXPECT_FALSE(in_use(14));
    EXPECT_EQ(claim_run({12, 1}, ctx), NTFS_NO_SPACE);
    EXPECT_EQ(claim_run({62, 3}, ctx), NTFS_NO_SPACE);
    EXPECT_TRUE(in_use(62) && in_use(63));  // set before the failure, left set
}

TEST_F(ClusterBitmapTest, AllocateIsFirstFitAndDoesNotMoveOn) {
    // From the end of the mirror (cluster 3): used, free, free, used, free ...
    bitmap_set_bit(ctx.cluster_bitmap.get(), 3);
    bitmap_set_bit(ctx.cluster_bitmap.get(), 6);
    ClusterRun run{};
    EXPECT_EQ(allocate_run(ctx, run, 3), NTFS_NO_SPACE);
    EXPECT_TRUE(in_use(4) && in_use(5));
    EXPECT_FALSE(in_use(7));

    ClusterRun second{};
    EXPECT_EQ(allocate_run(ctx, second, 2), NTFS_OK);
    EXPECT_EQ(second.lcn, 7u);
    EXPECT_EQ(second.length, 2u);
}

TEST_F(ClusterBitmapTest, AllocateFailsAtTheEndOfTheVolume) {
    ClusterRun run{};
    EXPECT_EQ(allocate_run(ctx, run, 61), NTFS_OK);  // clusters 3..63
    ClusterRun more{};
    EXPECT_EQ(allocate_run(ctx, more, 1), NTFS_NO_SPACE);
}

class RunWriterTest : public ClusterBitmapTest {};

TEST_F(RunWriterTest, WriteRunPadsTheLastClusterWithZeros) {
    std::vector<uint8_t> data(5000, 0x5A);
    uint64_t initialized = 0;
    ASSERT_EQ(write_run({10, 2}, ctx, data.data(), data.size(), &initialized), NTFS_OK);
    EXPECT_EQ(initialized, 5000u);
    ASSERT_EQ(sink.calls().size(), 1u);
    EXPECT_EQ(sink.calls()[0].offset, 10u * 4096);
    EXPECT_EQ(sink.calls()[0].length, 8192u);
    const std::vector<uint8_t> back = sink.read(10 * 4096, 8192);
    EXPECT_EQ(back[4999], 0x5A);
    for (size_t i = 5000; i < 8192; ++i) {
        ASSERT_EQ(back[i], 0) << i;
    }
}

TEST_F(RunWriterTest, WriteRunSplitsIntoChunks) {
    ctx.io_chunk_size = 32768;
    std::vector<uint8_t> data(70000);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7);
    }
    ASSERT_EQ(write_run({20, 18}, ctx, data.data(), data.size(), nullptr), NTFS_OK);
    ASSERT_EQ(sink.calls().size(), 3u);
    EXPECT_EQ(sink.calls()[0].length, 32768u);
    EXPECT_EQ(sink.calls()[1].length, 32768u);
    EXPECT_EQ(sink.calls()[2].length, 8192u);
    EXPECT_EQ(sink.calls()[2].offset, 20u * 4096 + 65536);
    EXPECT_EQ(sink.read(20 * 4096, 70000), data);
}

TEST_F(RunWriterTest, WriteRunWithoutDataOrClusters) {
    uint64_t initialized = 1;
    EXPECT_EQ(write_run({10, 1}, ctx, nullptr, 3000, &initialized), NTFS_OK);
    EXPECT_EQ(initialized, 3000u);
    std::vector<uint8_t> data(100, 1);
    EXPECT_EQ(write_run({kNoClusters, 5}, ctx, data.data(), 100, &initialized), NTFS_OK);
    EXPECT_EQ(initialized, 0u);
    EXPECT_TRUE(sink.calls().empty());
}

TEST_F(RunWriterTest, FillRunCoversWholeClustersInChunks) {
    ASSERT_EQ(fill_run(ctx, {3, 1}, 0xFF, 1), NTFS_OK);
    ASSERT_EQ(sink.calls().size(), 1u);
    EXPECT_EQ(sink.calls()[0].length, 4096u);
    EXPECT_EQ(sink.read(3 * 4096 + 4095, 1)[0], 0xFF);

    ASSERT_EQ(fill_run(ctx, {4, 49}, 0xFF, 200000), NTFS_OK);
    ASSERT_EQ(sink.calls().size(), 5u);
    EXPECT_EQ(sink.calls()[4].length, 200704u - 3 * 65536);
    EXPECT_EQ(fill_run(ctx, {kNoClusters, 4}, 0xFF, 100), NTFS_OK);
    EXPECT_EQ(sink.calls().size(), 5u);
}

TEST_F(RunWriterTest, ShortWritesFail) {
    sink.fail_call(2);
    std::vector<uint8_t> data(200000, 1);
    EXPECT_EQ(write_run({10, 49}, ctx, data.data(), data.size(), nullptr), NTFS_WRITE_FAILED);
    EXPECT_EQ(sink.calls().size(), 1u);
}

TEST_F(RunWriterTest, BackupBootSectorGoesToTheLastSector) {
    std::vector<uint8_t> sector(512, 0x33);
    ctx.last_sector = 999;
    ASSERT_EQ(write_backup_boot_sector(ctx, sector.data()), NTFS_OK);
    EXPECT_EQ(sink.calls()[0].offset, 999u * 512);
    EXPECT_EQ(sink.calls()[0].length, 512u);
}

}  // namespace

}  // namespace lintora
