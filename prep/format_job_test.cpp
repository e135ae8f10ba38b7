#include "prep/format_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/le.h"
#include "platform/encoding/drive_layout.h"
#include "platform/fake/fake_raw_disk.h"
#include "platform/raw_disk.h"
#include "prep/partition_layout.h"

namespace lintora {

namespace {

TEST(PartitionGeometry, EdgesOfTheCapacityWindow) {
    PartitionGeometry g;
    ASSERT_EQ(compute_partition_geometry(0x19000000, 512, PartitionStyle::mbr, &g), kJobSucceeded);
    EXPECT_EQ(g.data_start, 2048u);
    EXPECT_EQ(g.data_sectors, 419424256u);
    EXPECT_EQ(0x19000000u - g.data_start - g.data_sectors, 4096u);

    ASSERT_EQ(compute_partition_geometry(0x100000000, 512, PartitionStyle::gpt, &g), kJobSucceeded);
    EXPECT_EQ(g.msr_sectors, 262144u);
    EXPECT_EQ(g.data_start, 264192u);
    EXPECT_EQ(g.data_sectors, 4294701056u);
    EXPECT_EQ(0x100000000u - g.data_start - g.data_sectors, 2048u);

    ASSERT_EQ(compute_partition_geometry(0xFFFFFFFF, 4096, PartitionStyle::mbr, &g), kJobSucceeded);
    EXPECT_EQ(g.data_start, 256u);
    EXPECT_EQ(g.data_sectors, 4294966528u);

    ASSERT_EQ(compute_partition_geometry(0x100000000, 4096, PartitionStyle::gpt, &g),
              kJobSucceeded);
    EXPECT_EQ(g.msr_sectors, 32768u);
    EXPECT_EQ(g.data_start, 33024u);

    // An MBR disk larger than 32 bits of sectors is described up to 0xFFFFFFFF.
    ASSERT_EQ(compute_partition_geometry(0x200000000, 512, PartitionStyle::mbr, &g), kJobSucceeded);
    EXPECT_EQ(g.data_sectors, 4294961152u);
}

TEST(PartitionGeometry, TooSmallAndJustLargeEnough) {
    PartitionGeometry g;
    EXPECT_EQ(compute_partition_geometry(264192 + 33, 512, PartitionStyle::gpt, &g), kJobSucceeded);
    EXPECT_EQ(g.data_sectors, 0u);
    EXPECT_EQ(compute_partition_geometry(264192 + 32, 512, PartitionStyle::gpt, &g), kJobTooSmall);
    EXPECT_EQ(compute_partition_geometry(2 * 2048 + 63, 512, PartitionStyle::mbr, &g),
              kJobSucceeded);
    EXPECT_EQ(g.data_sectors, 0u);
    EXPECT_EQ(compute_partition_geometry(2 * 2048 + 62, 512, PartitionStyle::mbr, &g),
              kJobTooSmall);
}

struct ProgressTrace {
    std::vector<std::pair<uint32_t, uint32_t>> file_system;  // (done, expected) of phase 2
    uint32_t wipe_calls = 0;
};

int trace_progress(int32_t phase, uint32_t done, uint32_t expected, void* owner) {
    auto* trace = static_cast<ProgressTrace*>(owner);
    if (phase == kPhaseWipe) {
        ++trace->wipe_calls;
    } else {
        trace->file_system.emplace_back(done, expected);
    }
    return 0;
}

// A 512-byte-sector disk just large enough for an MBR volume with its $MFT at 3 GiB.
DiskInfo small_disk(uint32_t letters = 0) {
    DiskInfo disk{};
    const char16_t path[] = u"\\\\?\\usbstor#disk";
    std::memcpy(disk.interface_path, path, sizeof path);
    disk.drive_letters = letters;
    disk.sector_count = 2 * 2048 + 63 + 6293504;
    disk.bytes_per_sector = 512;
    disk.io_chunk_size = 65536;
    return disk;
}

FormatJobParams mbr_params() {
    FormatJobParams params;
    params.partition_style = PartitionStyle::mbr;
    const char16_t label[] = u"MAROVAN EXT";
    std::memcpy(params.volume_label, label, sizeof label);
    return params;
}

class FormatJobTest : public ::testing::Test {
  protected:
    FormatJobResult run(std::vector<FakeRefusal> refuse, uint32_t letters = 0,
                        DiskInfo disk = small_disk(), FormatJobParams params = mbr_params()) {
        system = std::make_unique<FakeDiskSystem>(std::move(refuse));
        system->keep_bytes = false;
        disk.drive_letters = letters;
        return prepare_disk(
            &trace, disk, params,
            JobContext{.system = system.get(), .progress = &trace_progress, .failure = &failure});
    }
    const std::vector<std::string>& calls() const { return system->log().calls; }
    size_t count(const std::string& prefix) const {
        return static_cast<size_t>(std::count_if(calls().begin(), calls().end(),
                                                 [&](auto& c) { return c.rfind(prefix, 0) == 0; }));
    }

    std::unique_ptr<FakeDiskSystem> system;
    ProgressTrace trace;
    JobFailure failure;
};

TEST_F(FormatJobTest, SucceedsWithTheStepsInOrder) {
    // E: and the last letter, Z:.
    ASSERT_EQ(run({}, (1u << 4) | (1u << 25)), kJobSucceeded);
    // Each lettered volume's GUID path is known before it is locked.
    const std::vector<std::string> head(calls().begin(), calls().begin() + 12);
    const std::vector<std::string> expected = {"open_disk",     "notify E",      "volume_path E",
                                               "open_volume E", "lock E",        "dismount E",
                                               "notify Z",      "volume_path Z", "open_volume Z",
                                               "lock Z",        "dismount Z",    "list_volumes"};
    EXPECT_EQ(head, expected);
    // What the disk holds is read before the first write, then sectors 0 to 31 are wiped.
    EXPECT_EQ(calls()[12], "read 0 512");
    const size_t wipe = static_cast<size_t>(
        std::find_if(calls().begin(), calls().end(),
                     [](const std::string& c) { return c.rfind("write ", 0) == 0; }) -
        calls().begin());
    EXPECT_EQ(calls()[wipe], "write 0 512");
    EXPECT_EQ(calls()[wipe + 31], "write 15872 512");
    EXPECT_EQ(calls()[wipe + 32], "create_disk");
    EXPECT_EQ(calls()[wipe + 33], "update_properties");
    // The file system flushed, then the table, flushed in its turn before the job is done.
    const std::vector<std::string> tail(calls().end() - 7, calls().end());
    const std::vector<std::string> expected_tail = {
        "flush",          "set_drive_layout 624", "update_properties", "flush",
        "close volume E", "close volume Z",       "close disk"};
    EXPECT_EQ(tail, expected_tail);
    EXPECT_EQ(system->log().open_handles, 0);
    EXPECT_EQ(trace.wipe_calls, 32u);
    // The counting pass reports no total; the writing pass ends at its total exactly.
    ASSERT_FALSE(trace.file_system.empty());
    EXPECT_EQ(trace.file_system.front().second, 0u);
    EXPECT_EQ(trace.file_system.back().first, trace.file_system.back().second);
    EXPECT_GT(trace.file_system.back().second, 0u);
    // One report per write of the writing pass, and none more: the bar hears of the writes
    // themselves, not of the pass's start. (The wipe's 32 writes report as the wipe.)
    const size_t reports_with_total =
        static_cast<size_t>(std::count_if(trace.file_system.begin(), trace.file_system.end(),
                                          [](const auto& report) { return report.second != 0; }));
    const size_t writes = count("write ") - 32;
    EXPECT_EQ(reports_with_total, writes);
    EXPECT_NE(trace.file_system[trace.file_system.size() - reports_with_total].first, 0u);
}

TEST_F(FormatJobTest, MbrLayoutDescribesTheDataPartition) {
    ASSERT_EQ(run({}), kJobSucceeded);
    const std::vector<uint8_t>& layout = system->log().last_layout;
    ASSERT_EQ(layout.size(), 624u);
    const DriveLayoutRecord record = decode_drive_layout(layout.data(), 624);
    EXPECT_EQ(record.style, LayoutStyle::mbr);
    EXPECT_EQ(record.count, 4u);
    ASSERT_EQ(record.entries.size(), 4u);
    EXPECT_EQ(record.entries[0].starting_offset, 2048u * 512);
    EXPECT_EQ(record.entries[0].length, 6293504u * 512);
    EXPECT_EQ(record.entries[0].mbr_type, 0x07);
    EXPECT_TRUE(record.entries[0].rewrite && record.entries[0].recognized);
    EXPECT_FALSE(record.entries[0].boot_indicator);
    EXPECT_EQ(record.entries[0].hidden_sectors, 2048u);
    EXPECT_EQ(record.entries[1].mbr_type, 0);
    EXPECT_EQ(system->log().last_create.style, LayoutStyle::mbr);
}

TEST(GptLayout, ReservedAndDataPartitions) {
    FakeDiskSystem system;
    PartitionGeometry g;
    ASSERT_EQ(compute_partition_geometry(0x100000000, 512, PartitionStyle::gpt, &g), kJobSucceeded);
    DiskGuids guids;
    ASSERT_TRUE(draw_disk_guids(PartitionStyle::gpt, system, &guids).ok());
    std::vector<uint8_t> buffer(kGptLayoutBytes, 0xEE);
    encode_drive_layout(make_drive_layout(PartitionStyle::gpt, g, 512, guids), buffer.data(),
                        kGptLayoutBytes);
    EXPECT_EQ(buffer.size(), 18480u);
    const DriveLayoutRecord record = decode_drive_layout(buffer.data(), kGptLayoutBytes);
    EXPECT_EQ(record.style, LayoutStyle::gpt);
    EXPECT_EQ(record.count, 128u);
    EXPECT_EQ(record.gpt_max_partition_count, 128u);
    EXPECT_EQ(record.gpt_starting_usable, 0u);
    ASSERT_EQ(record.entries.size(), 128u);
    const PartitionRecord& msr = record.entries[0];
    const PartitionRecord& data = record.entries[1];
    EXPECT_EQ(msr.starting_offset, 34u * 512);
    EXPECT_EQ(msr.length, 262144u * 512);
    EXPECT_EQ(msr.gpt_type, microsoft_reserved_type());
    EXPECT_EQ(std::u16string(msr.gpt_name), u"Microsoft reserved partition");
    EXPECT_EQ(data.number, 2u);
    EXPECT_EQ(data.starting_offset, 264192u * 512);
    EXPECT_EQ(data.length, 4294701056ull * 512);
    EXPECT_EQ(data.gpt_type, basic_data_type());
    EXPECT_EQ(std::u16string(data.gpt_name), u"Basic data partition");
    EXPECT_NE(data.gpt_id, msr.gpt_id);
    EXPECT_NE(record.gpt_disk_id, data.gpt_id);
    EXPECT_EQ(record.entries[2].starting_offset, 0u);
    EXPECT_EQ(guid_to_text(basic_data_type()), "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7");
}

struct FailureCase {
    std::string name;
    std::vector<FakeRefusal> refuse;
    uint32_t letters;
    FormatJobResult result;
    bool wrote_nothing;  // the refusal came before the wipe
};

class FormatJobFailures : public FormatJobTest,
                          public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FormatJobFailures, ReturnTheirCodeAndCloseEverything) {
    const FailureCase& c = GetParam();
    EXPECT_EQ(run(c.refuse, c.letters), c.result);
    EXPECT_EQ(system->log().open_handles, 0);
    // Every failure says what failed and carries the layer's reason.
    EXPECT_FALSE(failure.what.empty());
    EXPECT_NE((failure.what + failure.why).find("refused by the test"), std::string::npos)
        << failure.what << ": " << failure.why;
    if (c.wrote_nothing) {
        EXPECT_EQ(count("write ") - count("write refused"), 0u);
        EXPECT_EQ(count("create_disk"), 0u);
    }
    // Volumes close before the disk, and the disk closes last.
    if (count("open_disk") != 0 && count("open_disk refused") == 0) {
        EXPECT_EQ(calls().back(), "close disk");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatJobFailures,
    ::testing::Values(
        FailureCase{"OpenDisk", {{FakeOp::open_disk}}, 0, kJobRefused, true},
        FailureCase{"OpenVolume", {{FakeOp::open_volume, 0, 'F'}}, 0x30, kJobRefused, true},
        FailureCase{"Lock", {{FakeOp::lock, 0, 'E'}}, 0x30, kJobRefused, true},
        FailureCase{"Dismount", {{FakeOp::dismount, 0, 'F'}}, 0x30, kJobRefused, true},
        FailureCase{"FirstWipeWrite", {{FakeOp::write, 1}}, 0, kJobRefused, true},
        FailureCase{"SecondWipeWrite", {{FakeOp::write, 2}}, 0, kJobWriteFailed, false},
        FailureCase{"LastWipeWrite", {{FakeOp::write, 32}}, 0, kJobWriteFailed, false},
        FailureCase{"CreateDisk", {{FakeOp::create_disk}}, 0, kJobRefused, false},
        FailureCase{"FirstUpdate", {{FakeOp::update_properties, 1}}, 0, kJobRefused, false},
        FailureCase{"FirstFileSystemWrite", {{FakeOp::write, 33}}, 0, kJobWriteFailed, false},
        FailureCase{"LaterFileSystemWrite", {{FakeOp::write, 100}}, 0, kJobWriteFailed, false},
        FailureCase{"Flush", {{FakeOp::flush}}, 0, kJobWriteFailed, false},
        FailureCase{"Layout", {{FakeOp::set_drive_layout}}, 0, kJobRefused, false},
        FailureCase{"LastUpdate", {{FakeOp::update_properties, 2}}, 0, kJobRefused, false},
        FailureCase{"TableFlush", {{FakeOp::flush, 2}}, 0, kJobWriteFailed, false}),
    [](const auto& test) { return test.param.name; });

// A bad cluster beyond the part of the volume bitmap held in memory adds a write of its own:
// the bar's total follows the count made with the bad clusters, so it is full exactly at the
// last write.
TEST_F(FormatJobTest, AFullFormatWithBadClustersEndsTheBarAtItsTotal) {
    system = std::make_unique<FakeDiskSystem>();
    system->keep_bytes = false;
    DiskInfo disk = small_disk();
    disk.sector_count = 2 * 2048 + 63 + (8ull << 30) / 512;
    const uint64_t bad = 2048 * 512 + (6ull << 30);
    system->bad_ranges = {{bad, bad + 512}};
    JobOptions options;
    options.full = true;
    ASSERT_EQ(prepare_disk(&trace, disk, mbr_params(),
                           JobContext{.system = system.get(),
                                      .progress = &trace_progress,
                                      .failure = &failure,
                                      .options = options}),
              kJobSucceeded)
        << failure.why;
    ASSERT_FALSE(trace.file_system.empty());
    // The bar is full at the last write and not one write before it.
    uint32_t last = 0;
    for (size_t i = 0; i + 1 < trace.file_system.size(); ++i) {
        const auto [done, expected] = trace.file_system[i];
        if (expected == 0) {
            continue;  // the first counting pass, before the total is known
        }
        ASSERT_LT(done, expected) << "report " << i << " of " << trace.file_system.size();
        ASSERT_GE(done, last);
        last = done;
    }
    EXPECT_EQ(trace.file_system.back().first, trace.file_system.back().second);
}

TEST_F(FormatJobTest, TooSmallDisksStopBeforeAnythingIsOpened) {
    DiskInfo disk = small_disk();
    disk.sector_count = 2 * 2048 + 62;
    EXPECT_EQ(run({}, 0, disk), kJobTooSmall);
    EXPECT_TRUE(calls().empty());
}

// Whatever can be refused without writing is refused before the disk is opened: a disk too small
// for the volume, a partition style or sector size the job does not know, a label too long for
// the volume.
TEST_F(FormatJobTest, RefusalsKnownInAdvanceComeBeforeTheDiskIsOpened) {
    DiskInfo no_room = small_disk();
    no_room.sector_count = 2 * 2048 + 63;  // an empty data partition
    DiskInfo odd_sectors = small_disk();
    odd_sectors.bytes_per_sector = 520;
    FormatJobParams unknown_style = mbr_params();
    unknown_style.partition_style = static_cast<PartitionStyle>(2);
    FormatJobParams long_label = mbr_params();
    std::fill(long_label.volume_label, long_label.volume_label + 200, u'x');
    FormatJobParams negative_clusters = mbr_params();
    negative_clusters.cluster_size = -4096;
    struct Case {
        DiskInfo disk;
        FormatJobParams params;
        FormatJobResult result;
    };
    for (const Case& c :
         {Case{no_room, mbr_params(), kJobTooSmall}, Case{odd_sectors, mbr_params(), kJobRefused},
          Case{small_disk(), unknown_style, kJobRefused},
          Case{small_disk(), long_label, kJobFormatFailed},
          Case{small_disk(), negative_clusters, kJobFormatFailed}}) {
        EXPECT_EQ(run({}, 0x10, c.disk, c.params), c.result);
        EXPECT_TRUE(calls().empty()) << calls().front();
        EXPECT_FALSE(failure.why.empty());
    }
    EXPECT_EQ(failure.why, "the cluster size cannot be negative, not -4096");
}

// An adapter's odd transfer size never makes a request that is not whole 4096-byte sectors.
TEST_F(FormatJobTest, OddTransferSizesKeepWritesAlignedOnLargeSectors) {
    DiskInfo disk = small_disk();
    disk.bytes_per_sector = 4096;
    disk.sector_count = 2 * 256 + 63 + 786688;
    disk.io_chunk_size = 0x1FE00;
    ASSERT_EQ(run({}, 0, disk), kJobSucceeded) << failure.what << ": " << failure.why;
    for (const std::string& call : calls()) {
        unsigned long long offset = 0, length = 0;
        if (std::sscanf(call.c_str(), "write %llu %llu", &offset, &length) == 2) {
            EXPECT_EQ(offset % 4096, 0u) << call;
            EXPECT_EQ(length % 4096, 0u) << call;
        }
    }
}

TEST(FormatJob, NoExceptionLeavesTheJob) {
    FakeDiskSystem fake;
    struct ThrowingSystem final : ForwardingDiskSystem {
        using ForwardingDiskSystem::ForwardingDiskSystem;
        Outcome open_disk(const char16_t*, uint32_t, DiskUse,
                          std::unique_ptr<DiskDevice>*) override {
            throw std::bad_alloc();
        }
    } system(fake);
    EXPECT_EQ(prepare_disk(nullptr, small_disk(), mbr_params(), JobContext{.system = &system}),
              kJobNoMemory);
}

TEST(FormatJob, ParamsForADiskChooseTheStyleBySize) {
    DiskInfo disk = small_disk();
    disk.sector_count = 0xFFFFFFFF;
    FormatJobParams params = job_params_for(disk);
    EXPECT_EQ(params.partition_style, PartitionStyle::mbr);
    EXPECT_EQ(std::u16string(params.volume_label), u"MAROVAN EXT");
    EXPECT_EQ(params.cluster_size, 4096);
    disk.sector_count = 0x100000000;
    EXPECT_EQ(job_params_for(disk).partition_style, PartitionStyle::gpt);
}

TEST_F(FormatJobTest, NoDriveLettersMeansNoVolumeHandling) {
    ASSERT_EQ(run({}, 0), kJobSucceeded);
    EXPECT_EQ(count("notify"), 0u);
    EXPECT_EQ(count("open_volume"), 0u);
}

// Volumes the disk carries besides its lettered ones, and locks that Windows refuses for a moment
// while another program still holds a volume. Nothing is written unless every volume is locked
// and dismounted; each volume is locked once, whichever paths reach it.
TEST_F(FormatJobTest, EveryVolumeOnTheDiskIsLockedOnceBeforeTheWipe) {
    const std::u16string e = u"\\\\?\\Volume{e}", hidden = u"\\\\?\\Volume{x}";
    struct Case {
        const char* name;
        uint32_t letters;
        std::vector<FakeVolume> volumes;
        std::vector<FakeRefusal> refuse;
        FormatJobResult result;
        size_t pauses;
        std::vector<std::string> volume_calls;  // the volume calls before the first write
    };
    const std::vector<Case> cases = {
        {"a volume without a letter",
         0,
         {{0, hidden}},
         {},
         kJobSucceeded,
         0,
         {"open_volume \\\\?\\Volume{x}", "lock \\\\?\\Volume{x}", "dismount \\\\?\\Volume{x}"}},
        {"a lettered volume also listed by its GUID path",
         1u << 4,
         {{'E', e}, {0, hidden}},
         {},
         kJobSucceeded,
         0,
         {"open_volume E", "lock E", "dismount E", "open_volume \\\\?\\Volume{x}",
          "lock \\\\?\\Volume{x}", "dismount \\\\?\\Volume{x}"}},
        {"a lock in use three times",
         1u << 4,
         {{'E', e, 3}},
         {},
         kJobSucceeded,
         3,
         {"open_volume E", "lock E in use", "lock E in use", "lock E in use", "lock E",
          "dismount E"}},
        {"a lock in use ten times", 1u << 4, {{'E', e, 10}}, {}, kJobRefused, 9, {}},
        // The volume list may spell a lettered volume's GUID path in another case: it is the
        // same volume, locked once.
        {"a lettered volume listed in another case",
         1u << 4,
         {{'E', u"\\\\?\\Volume{abc}", 0, 0, false, u"\\\\?\\VOLUME{ABC}"}},
         {},
         kJobSucceeded,
         0,
         {"open_volume E", "lock E", "dismount E"}},
        // A lettered volume whose GUID path cannot be looked up is known by its mount points
        // when the volume list names it: locked once, by its letter.
        {"a lettered volume whose GUID path cannot be looked up",
         1u << 4,
         {{'E', e, 0, 0, false, {}, true}, {0, hidden}},
         {},
         kJobSucceeded,
         0,
         {"open_volume E", "lock E", "dismount E", "open_volume \\\\?\\Volume{x}",
          "lock \\\\?\\Volume{x}", "dismount \\\\?\\Volume{x}"}},
        {"an open refused in use twice (the volume shared for reading only)",
         1u << 4,
         {{'E', e, 0, 2}},
         {},
         kJobSucceeded,
         2,
         {"open_volume E in use", "open_volume E in use", "open_volume E", "lock E", "dismount E"}},
        {"an unlettered volume whose open is in use ten times",
         0,
         {{0, hidden, 0, 10}},
         {},
         kJobRefused,
         9,
         {}},
        {"a lock refused for another reason",
         1u << 4,
         {{'E', e}},
         {{FakeOp::lock}},
         kJobRefused,
         0,
         {"open_volume E", "lock E refused"}},
        {"an unlettered volume that refuses its lock",
         0,
         {{0, hidden}},
         {{FakeOp::lock}},
         kJobRefused,
         0,
         {"open_volume \\\\?\\Volume{x}", "lock \\\\?\\Volume{x} refused"}},
        {"a volume list that cannot be read", 0, {}, {{FakeOp::list_volumes}}, kJobRefused, 0, {}},
    };
    for (const Case& c : cases) {
        system = std::make_unique<FakeDiskSystem>(c.refuse);
        system->keep_bytes = false;
        system->volumes = c.volumes;
        DiskInfo disk = small_disk(c.letters);
        EXPECT_EQ(prepare_disk(&trace, disk, mbr_params(),
                               JobContext{.system = system.get(),
                                          .progress = &trace_progress,
                                          .failure = &failure}),
                  c.result)
            << c.name;
        EXPECT_EQ(count("pause 500"), c.pauses) << c.name;
        std::vector<std::string> volume_calls;
        for (const std::string& call : calls()) {
            if (call.rfind("write", 0) == 0) {
                break;
            }
            if (call.rfind("open_volume", 0) == 0 || call.rfind("lock", 0) == 0 ||
                call.rfind("dismount", 0) == 0) {
                volume_calls.push_back(call);
            }
        }
        if (!c.volume_calls.empty()) {
            EXPECT_EQ(volume_calls, c.volume_calls) << c.name;
        }
        if (c.result != kJobSucceeded) {
            EXPECT_EQ(count("write"), 0u) << c.name;
            EXPECT_EQ(system->log().open_handles, 0) << c.name;
        }
    }
}

// A system that cannot make a GUID refuses a GPT job before anything is opened or written.
TEST_F(FormatJobTest, NoFreshGuidsMeansNothingWritten) {
    DiskInfo disk = small_disk();
    disk.sector_count = 0x100000000;
    disk.io_chunk_size = 65536;
    FormatJobParams gpt = mbr_params();
    gpt.partition_style = PartitionStyle::gpt;
    for (uint32_t nth : {1u, 4u}) {
        EXPECT_EQ(run({{FakeOp::make_guid, nth}}, 0, disk, gpt), kJobRefused) << nth;
        EXPECT_EQ(count("open_disk"), 0u);
        EXPECT_EQ(count("write"), 0u);
        EXPECT_NE(failure.why.find("GUID"), std::string::npos) << failure.why;
    }
}

TEST_F(FormatJobTest, FileSystemWritesLandInsideTheDataPartition) {
    system = std::make_unique<FakeDiskSystem>();
    DiskInfo disk = small_disk();
    ASSERT_EQ(prepare_disk(&trace, disk, mbr_params(),
                           JobContext{.system = system.get(), .progress = &trace_progress}),
              kJobSucceeded);
    // The NTFS boot sector sits at the partition's first sector; its hidden sectors say so.
    const auto& written = system->log().written;
    const uint64_t boot = 2048u * 512;
    EXPECT_EQ(written.at(boot + 3), 'N');
    EXPECT_EQ(written.at(boot + 0x1C), 0x00);
    EXPECT_EQ(written.at(boot + 0x1D), 0x08);  // 2048
    EXPECT_EQ(written.at(boot + 0x1FE), 0x55);
    EXPECT_TRUE(written.at(0x1FE).has_value());  // wiped sector 0
    EXPECT_EQ(written.at(0x1FE), 0);
}

}  // namespace

}  // namespace lintora
