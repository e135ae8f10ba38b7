#include "ntfs/format_volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/le.h"
#include "ntfs/boot_sector.h"
#include "ntfs/directory_index.h"
#include "ntfs/file_record.h"
#include "ntfs/record_layout.h"
#include "ntfs/test_volume.h"

namespace lintora {

namespace {

constexpr uint64_t kSmallest512 = 6291489;  // 3 GiB + 16 KiB of clusters, plus the backup sector
constexpr uint64_t kSmallest4096 = 786449;

TEST(VolumeLayout, WorkedExampleWith512ByteSectors) {
    RecordingSink sink;
    NtfsFormatContext ctx;
    ASSERT_EQ(plan_volume_layout(test_params(sink, 1000000000), ctx), NTFS_OK);
    EXPECT_EQ(ctx.total_clusters, 124999999u);
    EXPECT_EQ(ctx.record_size, 1024u);
    EXPECT_EQ(ctx.index_block_size, 4096u);
    EXPECT_EQ(ctx.mft_size, 16384u);
    EXPECT_EQ(ctx.cluster_bitmap_size, 15625000u);
    EXPECT_EQ(ctx.cluster_bitmap_buffer_size, 131072u);
    EXPECT_EQ(ctx.mft_bitmap_size, 8u);
    auto run = [](const ClusterRun& r) { return std::make_pair(r.lcn, r.length); };
    using Run = std::pair<uint64_t, uint64_t>;
    EXPECT_EQ(run(ctx.boot_run), Run(0, 2));
    EXPECT_EQ(run(ctx.mftmirr_run), Run(2, 1));
    EXPECT_EQ(run(ctx.upcase_run), Run(3, 32));
    EXPECT_EQ(run(ctx.attrdef_run), Run(35, 9));
    EXPECT_EQ(run(ctx.root_index_run), Run(44, 1));
    EXPECT_EQ(run(ctx.mft_run), Run(786432, 4));
    EXPECT_EQ(run(ctx.mft_bitmap_run), Run(786431, 1));
    EXPECT_EQ(run(ctx.bitmap_run), Run(782615, 3815));
    EXPECT_EQ(ctx.logfile_size, 64u << 20);
    EXPECT_EQ(run(ctx.logfile_run), Run(749847, 16384));
    EXPECT_EQ(run(ctx.bad_run), Run(kNoClusters, 124999999));
    EXPECT_TRUE(sink.calls().empty());  // planning writes nothing
}

TEST(VolumeLayout, WorkedExampleWith4096ByteSectors) {
    RecordingSink sink;
    NtfsFormatContext ctx;
    ASSERT_EQ(plan_volume_layout(test_params(sink, 125000000, 4096), ctx), NTFS_OK);
    EXPECT_EQ(ctx.record_size, 4096u);
    EXPECT_EQ(ctx.mft_size, 65536u);
    EXPECT_EQ(ctx.mftmirr_run.length, 4u);
    EXPECT_EQ(ctx.upcase_run.lcn, 6u);
    EXPECT_EQ(ctx.attrdef_run.lcn, 38u);
    EXPECT_EQ(ctx.root_index_run.length, 0u);
    EXPECT_EQ(ctx.mft_run.length, 16u);
    EXPECT_EQ(ctx.bitmap_run.lcn, 782615u);
    EXPECT_EQ(ctx.logfile_run.lcn, 749847u);
    // The clusters between log and bitmap, and the one before the $MFT bitmap, stay free.
    auto used = [&](uint64_t c) { return (ctx.cluster_bitmap[c / 8] >> (c % 8)) & 1; };
    EXPECT_FALSE(used(786430));
    EXPECT_FALSE(used(749847 + 16384));
    EXPECT_FALSE(used(782614));
    EXPECT_TRUE(used(782615));
}

TEST(VolumeLayout, SizeLimits) {
    RecordingSink sink;
    auto plan = [&](uint64_t sectors, uint16_t sector_size) {
        NtfsFormatContext ctx;
        return plan_volume_layout(test_params(sink, sectors, sector_size), ctx);
    };
    EXPECT_EQ(plan(2047, 512), NTFS_NO_SPACE);  // below 1 MiB
    EXPECT_EQ(plan(2048, 512), NTFS_NO_SPACE);  // 1 MiB: fails at the $MFT
    EXPECT_EQ(plan(kSmallest512 - 1, 512), NTFS_NO_SPACE);
    EXPECT_EQ(plan(kSmallest512, 512), NTFS_OK);
    EXPECT_EQ(plan(kSmallest4096 - 1, 4096), NTFS_NO_SPACE);
    EXPECT_EQ(plan(kSmallest4096, 4096), NTFS_OK);
}

// NTFS's cluster rules: sizes that are powers of two from the sector to 2 MiB, counts that fit
// 32 bits; larger clusters change the boot sector's size bytes and the one-cluster files.
TEST(VolumeLayout, ClusterSizesAndTheClusterLimit) {
    RecordingSink sink(false);
    auto plan = [&](uint64_t sectors, uint16_t sector_size, uint32_t cluster_size,
                    NtfsFormatContext& ctx) {
        NtfsFormatParams params = test_params(sink, sectors, sector_size);
        params.cluster_size = cluster_size;
        return plan_volume_layout(params, ctx);
    };
    for (const uint32_t refused : {12288u, 256u, 4194304u, 0u}) {
        NtfsFormatContext ctx;
        EXPECT_EQ(plan(kSmallest512 * 2, 512, refused, ctx), NTFS_BAD_CLUSTER_SIZE) << refused;
    }
    NtfsFormatContext small_cluster;
    EXPECT_EQ(plan(kSmallest4096, 4096, 2048, small_cluster), NTFS_BAD_CLUSTER_SIZE);
    // 2^32 clusters' worth of sectors, the backup boot sector beyond them, is the most.
    for (const uint32_t cluster_size : {4096u, 65536u}) {
        const uint64_t most = (1ull << 32) * (cluster_size / 512);
        NtfsFormatContext fits, over;
        EXPECT_EQ(plan(most, 512, cluster_size, fits), NTFS_OK) << cluster_size;
        EXPECT_EQ(fits.total_clusters, 0xFFFFFFFFu);
        EXPECT_EQ(plan(most + 1, 512, cluster_size, over), NTFS_TOO_MANY_CLUSTERS) << cluster_size;
    }

    struct Case {
        uint16_t sector_size;
        uint32_t cluster_size;
        uint8_t sectors_per_cluster_byte, record_byte, index_byte;
        uint64_t mirror_records;
    };
    for (const Case& c :
         {Case{512, 4096, 8, 0xF6, 1, 4}, Case{512, 8192, 16, 0xF6, 0xF4, 8},
          Case{512, 65536, 128, 0xF6, 0xF4, 64}, Case{512, 131072, 0xF8, 0xF6, 0xF4, 128},
          Case{512, 2097152, 0xF4, 0xF6, 0xF4, 2048}, Case{4096, 8192, 2, 0xF4, 0xF4, 4},
          Case{4096, 16384, 4, 0xF4, 0xF4, 4}, Case{4096, 1048576, 0xF8, 0xF4, 0xF4, 256},
          Case{4096, 2097152, 0xF7, 0xF4, 0xF4, 512}}) {
        SCOPED_TRACE(std::to_string(c.sector_size) + "-byte sectors, " +
                     std::to_string(c.cluster_size) + "-byte clusters");
        NtfsFormatContext ctx;
        ASSERT_EQ(plan(kSmallest512 * 2 * 512 / c.sector_size, c.sector_size, c.cluster_size, ctx),
                  NTFS_OK);
        uint8_t boot[8192] = {};
        build_boot_image(ctx, 0, boot);
        EXPECT_EQ(boot[0x0D], c.sectors_per_cluster_byte);
        EXPECT_EQ(boot[0x40], c.record_byte);
        EXPECT_EQ(boot[0x44], c.index_byte);
        // $MFT at byte 3 GiB; $Boot and $MFTMirr one cluster each once a cluster holds 8 KiB.
        EXPECT_EQ(ctx.mft_run.lcn * c.cluster_size, 3ull << 30);
        EXPECT_EQ(ctx.mft_size % c.cluster_size, 0u);
        EXPECT_EQ(ctx.mftmirr_run.length * c.cluster_size / ctx.record_size, c.mirror_records);
        if (c.cluster_size >= 8192) {
            EXPECT_EQ(ctx.boot_run.length, 1u);
            EXPECT_EQ(ctx.mftmirr_run.lcn, 1u);
        }
        EXPECT_EQ(ctx.logfile_size % c.cluster_size, 0u);
    }
}

TEST(VolumeLayout, LogFileSizeFollowsTheVolumeSize) {
    RecordingSink sink;
    auto log_clusters = [&](uint64_t sectors) {
        NtfsFormatContext ctx;
        EXPECT_EQ(plan_volume_layout(test_params(sink, sectors), ctx), NTFS_OK);
        return ctx.logfile_size / 4096;
    };
    EXPECT_EQ(log_clusters(kSmallest512), 3932u);
    const uint64_t twelve_gib_sectors = 12ull * 1024 * 1024 * 2 + 1;
    EXPECT_EQ(log_clusters(twelve_gib_sectors), 16384u);
    const uint64_t below = 12ull * 1024 * 1024 * 1024 - 4096;
    EXPECT_EQ(log_clusters(twelve_gib_sectors - 8), below / 200 / 4096);
}

// Names the region of the planned volume that a write lands in.
std::string region(const NtfsFormatContext& ctx, const WriteCall& call) {
    const uint64_t c = ctx.cluster_size;
    auto in = [&](const ClusterRun& run) {
        return run.length != 0 && call.offset >= run.lcn * c &&
               call.offset < (run.lcn + run.length) * c;
    };
    if (call.offset == ctx.last_sector * ctx.bytes_per_sector)
        return "backup";
    if (in(ctx.root_index_run))
        return "index";
    if (in(ctx.mft_run))
        return "mft";
    if (in(ctx.mft_bitmap_run))
        return "mftbitmap";
    if (in(ctx.mftmirr_run))
        return "mirror";
    if (in(ctx.logfile_run))
        return "log";
    if (in(ctx.attrdef_run))
        return "attrdef";
    if (in(ctx.boot_run))
        return "boot";
    if (in(ctx.upcase_run))
        return "upcase";
    if (in(ctx.bitmap_run))
        return "bitmap";
    return "elsewhere";
}

std::vector<std::string> regions(const NtfsFormatParams& params, const RecordingSink& sink) {
    RecordingSink scratch;
    NtfsFormatContext ctx;
    EXPECT_EQ(plan_volume_layout(params, ctx), NTFS_OK);
    std::vector<std::string> out;
    for (const WriteCall& call : sink.calls()) {
        const std::string r = region(ctx, call);
        if (out.empty() || out.back() != r) {
            out.push_back(r);
        }
    }
    return out;
}

class FormattedVolume : public ::testing::TestWithParam<uint16_t> {
  protected:
    void SetUp() override {
        sector_size = GetParam();
        sectors = sector_size == 512 ? kSmallest512 : kSmallest4096;
        params = test_params(sink, sectors, sector_size, &label);
        ASSERT_EQ(format_ntfs_volume(&params), NTFS_OK);
        ASSERT_EQ(plan_volume_layout(params, plan), NTFS_OK);
    }

    std::vector<uint8_t> record(uint32_t n) const {
        return sink.read(plan.mft_lcn * 4096 + uint64_t{n} * plan.record_size, plan.record_size);
    }

    // The record as it reads after undoing its fixups.
    std::vector<uint8_t> plain_record(uint32_t n) const {
        std::vector<uint8_t> r = record(n);
        remove_fixups(r.data());
        return r;
    }

    const char16_t label_units[12] = u"MAROVAN EXT";
    const CountedName label{22, 22, label_units};
    uint16_t sector_size = 0;
    uint64_t sectors = 0;
    RecordingSink sink;
    NtfsFormatParams params;
    NtfsFormatContext plan;
};

TEST_P(FormattedVolume, WritesFollowTheFixedOrder) {
    std::vector<std::string> expected = {"index",   "mft",       "mftbitmap", "mirror", "log",
                                         "attrdef", "boot",      "backup",    "upcase", "index",
                                         "bitmap",  "mftbitmap", "mft",       "mirror"};
    if (sector_size == 4096) {
        expected.erase(std::remove(expected.begin(), expected.end(), "index"), expected.end());
    }
    EXPECT_EQ(regions(params, sink), expected);
}

TEST_P(FormattedVolume, BootSectorAndItsBackup) {
    const std::vector<uint8_t> boot = sink.read(0, sector_size);
    EXPECT_EQ(sink.read(plan.last_sector * sector_size, sector_size), boot);
    EXPECT_EQ(std::string(boot.begin() + 3, boot.begin() + 11), "NTFS    ");
    EXPECT_EQ(load_u16(&boot[0x0B]), sector_size);
    EXPECT_EQ(boot[0x0D], 4096 / sector_size);
    EXPECT_EQ(load_u32(&boot[0x1C]), 2048u);
    EXPECT_EQ(load_u64(&boot[0x28]), sectors - 1);
    EXPECT_EQ(load_u64(&boot[0x30]), 786432u);
    EXPECT_EQ(load_u64(&boot[0x38]), 2u);
    EXPECT_EQ(boot[0x40], sector_size == 512 ? 0xF6 : 1);
    EXPECT_EQ(boot[0x44], 1);
    for (size_t i = 0x54; i < 0x1FE; ++i) {
        ASSERT_EQ(boot[i], 0) << i;
    }
    EXPECT_EQ(boot[0x1FE], 0x55);
    EXPECT_EQ(boot[0x1FF], 0xAA);
    const std::vector<uint8_t> rest = sink.read(sector_size, 8192 - sector_size);
    EXPECT_TRUE(std::all_of(rest.begin(), rest.end(), [](uint8_t b) { return b == 0; }));
}

TEST_P(FormattedVolume, LogFileIsAllOnes) {
    const std::vector<uint8_t> log = sink.read(plan.logfile_run.lcn * 4096, plan.logfile_size);
    EXPECT_TRUE(std::all_of(log.begin(), log.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_P(FormattedVolume, MirrorMatchesTheFirstRecords) {
    for (uint32_t j = 0; j < 4; ++j) {
        const std::vector<uint8_t> mirror =
            sink.read(2 * 4096 + uint64_t{j} * plan.record_size, plan.record_size);
        EXPECT_EQ(mirror, record(j)) << j;
        EXPECT_EQ(load_u16(&mirror[0x30]), 1);
    }
}

TEST_P(FormattedVolume, SystemRecords) {
    for (uint32_t n = 0; n < 16; ++n) {
        const std::vector<uint8_t> r = plain_record(n);
        EXPECT_EQ(load_u16(&r[kRecordFlags]) & kRecordInUse, kRecordInUse) << n;
        EXPECT_EQ(load_u16(&r[kRecordSequence]), n == 0 ? 1 : n);
        EXPECT_EQ(load_u16(&r[kRecordLinkCount]), n <= 10 ? 1 : 0) << n;
        const uint8_t* value = nullptr;
        uint32_t length = 0;
        std::vector<uint8_t> copy = r;
        EXPECT_EQ(find_file_name_value(FileRecordBuffer{copy.data()}, &value, &length),
                  n <= 10 ? NTFS_OK : NTFS_NOT_FOUND);
    }
    EXPECT_EQ(load_u16(&plain_record(5)[kRecordFlags]), kRecordInUse | kRecordIsDirectory);
    // $MFT bitmap: records 0 to 15.
    const std::vector<uint8_t> mft_bitmap = sink.read(plan.mft_bitmap_run.lcn * 4096, 8);
    EXPECT_EQ(mft_bitmap, (std::vector<uint8_t>{0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));

    using Kinds = std::vector<std::pair<uint32_t, int>>;  // (type, name length) in record order
    auto kinds_of = [&](uint32_t n, std::vector<uint32_t>* starts = nullptr) {
        const std::vector<uint8_t> r = plain_record(n);
        Kinds kinds;
        for (uint32_t pos = load_u16(&r[kRecordFirstAttribute]); load_u32(&r[pos]) != kEndMarker;
             pos += load_u32(&r[pos + kAttrLength])) {
            kinds.emplace_back(load_u32(&r[pos]), r[pos + kAttrNameLength]);
            if (starts != nullptr) {
                starts->push_back(pos);
            }
        }
        return kinds;
    };
    // Every $FILE_NAME is indexed (by the root directory).
    for (uint32_t n = 0; n <= 10; ++n) {
        std::vector<uint32_t> starts;
        const Kinds kinds = kinds_of(n, &starts);
        const std::vector<uint8_t> r = plain_record(n);
        for (size_t k = 0; k < kinds.size(); ++k) {
            if (kinds[k].first == 0x30) {
                EXPECT_EQ(r[starts[k] + kAttrIndexed], 1) << n;
            }
        }
    }
    // The reserved records 11 to 15 all carry the same three attributes.
    for (uint32_t n = 11; n < 16; ++n) {
        EXPECT_EQ(kinds_of(n), (Kinds{{0x10, 0}, {0x50, 0}, {0x80, 0}})) << n;
    }

    // $BadClus: an empty unnamed $DATA before the sparse "$Bad" covering the whole volume.
    std::vector<uint32_t> starts;
    EXPECT_EQ(kinds_of(8, &starts), (Kinds{{0x10, 0}, {0x30, 0}, {0x50, 0}, {0x80, 0}, {0x80, 4}}));
    const std::vector<uint8_t> bad = plain_record(8);
    EXPECT_EQ(load_u64(&bad[starts.back() + kAttrDataSize]), plan.total_clusters * 4096);
}

TEST_P(FormattedVolume, VolumeBitmapMarksTheSystemRunsAndTheTail) {
    const std::vector<uint8_t> bitmap =
        sink.read(plan.bitmap_run.lcn * 4096, plan.cluster_bitmap_size);
    auto used = [&](uint64_t c) { return (bitmap[c / 8] >> (c % 8)) & 1; };
    EXPECT_TRUE(used(0) && used(1) && used(2));
    EXPECT_TRUE(used(plan.mft_lcn) && used(plan.total_clusters - 1));
    EXPECT_FALSE(used(plan.mft_lcn - 2));
    EXPECT_FALSE(used(plan.logfile_run.lcn - 1));
    for (uint64_t c = plan.total_clusters; c < 8ull * plan.cluster_bitmap_size; ++c) {
        EXPECT_TRUE(used(c)) << c;
    }
}

TEST_P(FormattedVolume, SecondRunMakesTheSameWrites) {
    RecordingSink again(false);
    NtfsFormatParams second = params;
    second.write_user = &again;
    ASSERT_EQ(format_ntfs_volume(&second), NTFS_OK);
    ASSERT_EQ(again.calls().size(), sink.calls().size());
    for (size_t i = 0; i < sink.calls().size(); ++i) {
        EXPECT_EQ(again.calls()[i].offset, sink.calls()[i].offset);
        EXPECT_EQ(again.calls()[i].length, sink.calls()[i].length);
    }
    EXPECT_EQ(again.bytes_written(), sink.bytes_written());
}

TEST_P(FormattedVolume, AFailedWriteAnywhereEndsTheFormat) {
    const size_t total = sink.calls().size();
    for (size_t k = 1; k <= total; ++k) {
        RecordingSink failing(false);
        failing.fail_call(k);
        NtfsFormatParams p = params;
        p.write_user = &failing;
        ASSERT_EQ(format_ntfs_volume(&p), NTFS_WRITE_FAILED) << "call " << k;
        ASSERT_EQ(failing.calls().size(), k - 1);
    }
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, FormattedVolume, ::testing::Values(512, 4096));

TEST(FormatVolume, LargeVolumeWritesTheBitmapTailInItsLastCluster) {
    RecordingSink sink;
    const NtfsFormatParams params = test_params(sink, 1000000000);
    ASSERT_EQ(format_ntfs_volume(&params), NTFS_OK);
    NtfsFormatContext plan;
    ASSERT_EQ(plan_volume_layout(params, plan), NTFS_OK);
    const uint64_t bitmap_at = plan.bitmap_run.lcn * 4096;
    // 124,999,999 clusters: the bitmap's last 8 bytes hold cluster 124,999,936 onwards.
    const std::vector<uint8_t> tail = sink.read(bitmap_at + 15624992, 8);
    EXPECT_EQ(tail, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0x80}));
    const std::vector<uint8_t> head = sink.read(bitmap_at, 1);
    EXPECT_EQ(head[0], 0xFF);  // boot, mirror, upcase...
    const std::vector<uint8_t> mft_bits = sink.read(bitmap_at + 786431 / 8, 1);
    // Clusters 786424..786429 end the bitmap's run, 786430 stays free, 786431 is the $MFT bitmap.
    EXPECT_EQ(mft_bits[0], 0xBF);
}

// The clusters the $Bad run list of record 8 maps (its non-sparse runs, cluster by cluster);
// `covered` is the length of all its runs, the sparse ones included.
std::vector<uint64_t> mapped_bad_clusters(std::vector<uint8_t> record, uint64_t* covered) {
    *covered = 0;
    remove_fixups(record.data());
    std::vector<uint64_t> clusters;
    for (uint32_t at = load_u16(record.data() + 0x14); load_u32(record.data() + at) != 0xFFFFFFFF;
         at += load_u32(record.data() + at + 4)) {
        const uint8_t* attr = record.data() + at;
        if (load_u32(attr) != 0x80 || attr[9] != 4) {
            continue;
        }
        const uint8_t* p = attr + load_u16(attr + 0x20);
        int64_t lcn = 0;
        while (*p != 0) {
            const uint32_t length_bytes = *p & 0x0F;
            const uint32_t lcn_bytes = *p >> 4;
            uint64_t length = 0;
            for (uint32_t i = 0; i < length_bytes; ++i) {
                length |= uint64_t{p[1 + i]} << (8 * i);
            }
            *covered += length;
            if (lcn_bytes != 0) {
                uint64_t delta = 0;
                for (uint32_t i = 0; i < lcn_bytes; ++i) {
                    delta |= uint64_t{p[1 + length_bytes + i]} << (8 * i);
                }
                lcn += static_cast<int64_t>(delta);  // positive distances only here
                for (uint64_t k = 0; k < length; ++k) {
                    clusters.push_back(static_cast<uint64_t>(lcn) + k);
                }
            }
            p += 1 + length_bytes + lcn_bytes;
        }
    }
    return clusters;
}

// Bad clusters given to the formatter: in the free area they are mapped by $Bad at their own
// LCN and marked in use (in the bitmap's prefix held in memory and beyond it); on a system
// file, past the last cluster, too many or out of order, the volume is refused.
TEST(FormatVolume, BadClustersAreMappedOrRefused) {
    RecordingSink probe(false);
    NtfsFormatContext plan;
    ASSERT_EQ(plan_volume_layout(test_params(probe, 1000000000), plan), NTFS_OK);
    std::vector<uint64_t> many;
    for (uint64_t k = 0; k < 200; ++k) {
        many.push_back(10000000 + 2 * k);
    }
    struct Case {
        const char* name;
        std::vector<uint64_t> bad;
        ntfs_status result;
        uint64_t hit;
    };
    const Case cases[] = {
        {"free area",
         {plan.mft_lcn + 20, 5000000, 5000001, 100000000, plan.total_clusters - 1},
         NTFS_OK,
         0},
        {"the boot sector", {0, 5000000}, NTFS_BAD_SYSTEM_CLUSTER, 0},
        {"the $MFT", {plan.mft_lcn + 1}, NTFS_BAD_SYSTEM_CLUSTER, plan.mft_lcn + 1},
        {"the $LogFile",
         {plan.logfile_run.lcn + 7},
         NTFS_BAD_SYSTEM_CLUSTER,
         plan.logfile_run.lcn + 7},
        {"the backup boot sector",
         {plan.total_clusters},
         NTFS_BAD_SYSTEM_CLUSTER,
         plan.total_clusters},
        {"too many", many, NTFS_TOO_MANY_BAD_CLUSTERS, 0},
        {"out of order", {5000001, 5000000}, NTFS_INVALID, 0},
    };
    for (const Case& c : cases) {
        RecordingSink sink;
        NtfsFormatParams params = test_params(sink, 1000000000);
        uint64_t hit = 0;
        params.bad_clusters = c.bad.data();
        params.bad_cluster_count = static_cast<uint32_t>(c.bad.size());
        params.bad_cluster_hit = &hit;
        ASSERT_EQ(format_ntfs_volume(&params), c.result) << c.name;
        EXPECT_EQ(hit, c.hit) << c.name;
        if (c.result != NTFS_OK) {
            // A layout refusal comes before any write; the run list is measured as record 8 is
            // built, which the counting pass of a front-end does before it writes anything.
            EXPECT_TRUE(c.result == NTFS_TOO_MANY_BAD_CLUSTERS || sink.calls().empty()) << c.name;
            continue;
        }
        // Each bad cluster at its own LCN, and the runs, sparse ones included, cover the volume
        // exactly: a run that resumes one cluster late ends past the volume's last cluster.
        uint64_t covered = 0;
        EXPECT_EQ(mapped_bad_clusters(sink.read(plan.mft_lcn * 4096 + 8 * 1024, 1024), &covered),
                  c.bad);
        EXPECT_EQ(covered, plan.total_clusters) << c.name;
        const uint64_t bitmap_at = plan.bitmap_run.lcn * 4096;
        for (const uint64_t lcn : c.bad) {
            EXPECT_EQ((sink.read(bitmap_at + lcn / 8, 1)[0] >> (lcn % 8)) & 1, 1) << lcn;
            EXPECT_EQ((sink.read(bitmap_at + (lcn + 2) / 8, 1)[0] >> ((lcn + 2) % 8)) & 1, 0)
                << lcn + 2;
        }
    }
}

TEST(FormatVolume, LongLabelIsRefused) {
    RecordingSink sink(false);
    std::u16string text(129, u'L');
    const CountedName label{258, 258, text.c_str()};
    const NtfsFormatParams params = test_params(sink, kSmallest512, 512, &label);
    EXPECT_EQ(format_ntfs_volume(&params), NTFS_NAME_TOO_LONG);
}

}  // namespace

}  // namespace lintora
