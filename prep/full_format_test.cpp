#include "prep/full_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/fake/fake_raw_disk.h"
#include "platform/table_writing_disk.h"
#include "prep/format_job.h"
#include "prep/read_back_log.h"

namespace lintora {

namespace {

constexpr uint64_t kGiB = 1ull << 30;
constexpr uint64_t kVolumeSectors = 8 * kGiB / 512;

std::unique_ptr<DiskDevice> open_fake(FakeDiskSystem& system) {
    std::unique_ptr<DiskDevice> device;
    EXPECT_TRUE(system.open_disk(u"disk", 512, DiskUse::whole_disk, &device).ok());
    return device;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The zero pass of an 8 GiB volume over `device` in pieces of 1 MiB, after its counting pass.
ZeroedVolume zero_8gib_volume(DiskDevice& device, bool verify, VolumeFormat& volume) {
    VolumeRequest request;
    request.label = u"MAROVAN EXT";
    request.bytes_per_sector = 512;
    request.cluster_size = 4096;
    request.sector_count = kVolumeSectors;
    request.io_chunk = 1048576;
    setup_volume_format(request, volume);
    EXPECT_EQ(count_volume(volume), NTFS_OK);
    ZeroFillRequest zero;
    zero.length = kVolumeSectors * 512;
    zero.sector_size = 512;
    zero.piece = request.io_chunk;
    zero.verify = verify;
    return zero_volume(volume, device, zero);
}

// The zero pass of an 8 GiB volume over a disk with bad sectors at chosen places: in the free
// area they become the volume's bad clusters; where a system file must lie, too many of them,
// a disk that went away or stopped answering end the run before the file system is written.
TEST(FullFormat, BadSectorsBecomeBadClustersOrEndTheRun) {
    using Ranges = std::vector<std::pair<uint64_t, uint64_t>>;
    Ranges scattered;
    for (uint64_t i = 0; i < 200; ++i) {
        scattered.emplace_back(5 * kGiB + i * 8192, 5 * kGiB + i * 8192 + 512);
    }
    struct Case {
        const char* name;
        Ranges bad;
        bool unplugged;
        ntfs_status status;  // of the count after the pass, when it ran
        std::vector<uint64_t> clusters;
        const char* failure;   // empty: the pass and the count succeed
        uint64_t altered = 0;  // read back other than zero; with it the pieces are read back
        bool unplugged_after_bad = false;
    };
    const Case cases[] = {
        {"none", {}, false, NTFS_OK, {}, ""},
        {"free area",
         {{kGiB + 1536, kGiB + 2048}, {6 * kGiB + 3584, 6 * kGiB + 4608}},
         false,
         NTFS_OK,
         {kGiB / 4096, 6 * kGiB / 4096, 6 * kGiB / 4096 + 1},
         ""},
        {"in $MFT",
         {{3 * kGiB + 8192, 3 * kGiB + 8704}},
         false,
         NTFS_BAD_SYSTEM_CLUSTER,
         {},
         "the bad sector at byte 3221233664 lies where the file system's own structures"},
        // Sectors after the last cluster belong to no structure: a bad one there maps nothing.
        {"after the last cluster",
         {{(kVolumeSectors - 6) * 512, (kVolumeSectors - 5) * 512}},
         false,
         NTFS_OK,
         {},
         ""},
        {"backup boot sector",
         {{(kVolumeSectors - 1) * 512, kVolumeSectors * 512}},
         false,
         NTFS_BAD_SYSTEM_CLUSTER,
         {},
         "bad sector at byte 8589934080"},
        {"too many", scattered, false, NTFS_TOO_MANY_BAD_CLUSTERS, {}, "too many bad sectors (200"},
        {"unplugged", {}, true, NTFS_OK, {}, "at byte 0 failed: No such device"},
        {"stopped answering",
         {{0, kVolumeSectors * 512}},
         false,
         NTFS_OK,
         {},
         "the disk no longer reads its first sector: Input/output error"},
        {"zeros lost",
         {},
         false,
         NTFS_OK,
         {},
         "read-back at byte 5368709127 differs from what was written (zeros)",
         5 * kGiB + 7},
        // The whole piece is compared, not its first sector: a byte lost in its middle and one
        // in its last sector (pieces of 1 MiB).
        {"zeros lost mid-piece",
         {},
         false,
         NTFS_OK,
         {},
         "read-back at byte 5369233408 differs",
         5 * kGiB + 524288},
        {"zeros lost in a piece's last sector",
         {},
         false,
         NTFS_OK,
         {},
         "read-back at byte 5369757695 differs",
         5 * kGiB + 1048575},
        // A medium error that was the disk going away: the sectors retried alone fail as gone,
        // and the first of them ends the pass instead of being mapped bad.
        {"gone while its sectors are retried",
         {{kGiB + 1536, kGiB + 2048}},
         false,
         NTFS_OK,
         {},
         "write at byte 1073741824 failed: No such device",
         0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDiskSystem system;
        system.keep_bytes = false;
        system.bad_ranges = c.bad;
        system.unplugged = c.unplugged;
        system.unplugged_after_bad = c.unplugged_after_bad;
        if (c.altered != 0) {
            system.altered[c.altered] = 1;
        }
        std::unique_ptr<DiskDevice> device = open_fake(system);
        VolumeFormat volume;
        const ZeroedVolume zeroed = zero_8gib_volume(*device, c.altered != 0, volume);
        EXPECT_EQ(zeroed.count_status, c.status);
        EXPECT_EQ(zeroed.outcome.ok(), *c.failure == 0);
        EXPECT_TRUE(has(zeroed.outcome.reason, c.failure)) << zeroed.outcome.reason;
        if (c.unplugged || c.unplugged_after_bad) {
            EXPECT_EQ(zeroed.outcome.cause, FailureClass::gone);
        }
        if (zeroed.outcome.ok()) {
            EXPECT_EQ(volume.bad_clusters, c.clusters);
            EXPECT_GT(volume.writer.units_expected, 0u);
        }
    }
}

// The zeros are flushed once per GiB (with verify, read back once per GiB after a flush and a
// cache drop), and the last, partial batch too: a byte lost there is found, and what the pass
// says it confirmed is what it flushed.
TEST(ZeroFill, FlushesAndReadsBackEachGiBAndTheLastPart) {
    constexpr uint64_t kLength = 2 * kGiB + kGiB / 2;
    struct Case {
        const char* name;
        bool verify;
        uint64_t altered;  // 0: none
        const char* failure;
        size_t flushes, forgets;
        uint64_t flushed_end, verified;
    };
    const Case cases[] = {
        {"quick flushes", false, 0, "", 3, 0, kLength, 0},
        {"verified", true, 0, "", 3, 3, kLength, kLength},
        {"lost in the last part", true, 2 * kGiB + 100, "read-back at byte 2147483748 differs", 3,
         3, 2 * kGiB, 2 * kGiB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDiskSystem system;
        system.keep_bytes = false;
        if (c.altered != 0) {
            system.altered[c.altered] = 1;
        }
        std::unique_ptr<DiskDevice> device = open_fake(system);
        ZeroFillRequest zero;
        zero.length = kLength;
        zero.sector_size = 512;
        zero.piece = 65536;
        zero.verify = c.verify;
        ZeroFillResult result;
        const Outcome ended = zero_fill(*device, zero, &result);
        EXPECT_EQ(ended.ok(), *c.failure == 0);
        EXPECT_TRUE(has(ended.reason, c.failure)) << ended.reason;
        const auto& calls = system.log().calls;
        EXPECT_EQ(static_cast<size_t>(std::count(calls.begin(), calls.end(), "flush")), c.flushes);
        EXPECT_EQ(static_cast<size_t>(std::count(calls.begin(), calls.end(), "forget_cached")),
                  c.forgets);
        EXPECT_EQ(result.zeroed_end, kLength);
        EXPECT_EQ(result.flushed_end, c.flushed_end);
        EXPECT_EQ(result.verified_bytes, c.verified);
    }
}

// Only the medium's own errors are bad sectors, and only after a second try: a write-protected
// disk or any other refusal ends the pass at its first failed piece, and an error that goes
// away on the retry marks nothing bad.
TEST(FullFormat, EachClassOfFailureGetsItsOwnAnswer) {
    const std::pair<uint64_t, uint64_t> one_sector{kGiB + 1536, kGiB + 2048};
    struct Case {
        const char* name;
        FailureClass cause;
        uint32_t transient;  // 0: the range fails every time
        bool verify;
        ntfs_status status;
        std::vector<uint64_t> clusters;
        const char* failure;
        size_t most_failed_calls;
    };
    const Case cases[] = {
        {"write-protected",
         FailureClass::refused,
         0,
         false,
         NTFS_OK,
         {},
         "write of 1048576 bytes at byte 1073741824 failed: Read-only file system",
         1},
        {"other refusal",
         FailureClass::other,
         0,
         false,
         NTFS_OK,
         {},
         "at byte 1073741824 failed: Resource busy",
         1},
        {"medium error", FailureClass::medium, 0, false, NTFS_OK, {kGiB / 4096}, "", 3},
        {"transient medium error", FailureClass::medium, 2, false, NTFS_OK, {}, "", 2},
        {"medium error read back", FailureClass::medium, 0, true, NTFS_OK, {kGiB / 4096}, "", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDiskSystem system;
        system.keep_bytes = false;
        system.bad_ranges = {one_sector};
        system.bad_range_cause = c.cause;
        system.transient_failures = c.transient;
        std::unique_ptr<DiskDevice> device = open_fake(system);
        VolumeFormat volume;
        const ZeroedVolume zeroed = zero_8gib_volume(*device, c.verify, volume);
        EXPECT_EQ(zeroed.count_status, c.status);
        EXPECT_EQ(zeroed.outcome.ok(), *c.failure == 0);
        EXPECT_TRUE(has(zeroed.outcome.reason, c.failure)) << zeroed.outcome.reason;
        if (!zeroed.outcome.ok()) {
            EXPECT_EQ(zeroed.outcome.cause, c.cause);  // the class travels with the reason
        }
        const auto& calls = system.log().calls;
        EXPECT_LE(static_cast<size_t>(std::count_if(calls.begin(), calls.end(),
                                                    [](const std::string& call) {
                                                        return call.size() > 7 &&
                                                               call.compare(call.size() - 7, 7,
                                                                            " failed") == 0;
                                                    })),
                  c.most_failed_calls);
        if (zeroed.outcome.ok()) {
            EXPECT_EQ(volume.bad_clusters, c.clusters);
        }
    }
}

// Every write is compared with what the medium gives back, after the gaps between the writes were
// read to displace the drive's cache: a write covered whole by a later one is not read at all,
// one covered in part is checked before it is overwritten, and a byte that the medium did not
// keep names the write it belongs to.
TEST(ReadBack, ComparesEachWriteWithTheMedium) {
    struct Write {
        uint64_t offset;
        uint32_t length;
        uint8_t fill;
    };
    struct Case {
        const char* name;
        std::vector<Write> writes;
        uint64_t altered;  // 0: none
        const char* write_failure;
        const char* verify_failure;
        std::vector<std::string> reads;
    };
    const Case cases[] = {
        // The gap between the writes is read first, to displace the drive's cache.
        {"kept",
         {{0, 4096, 1}, {8192, 4096, 2}},
         0,
         "",
         "",
         {"read 4096 4096", "read 0 4096", "read 8192 4096"}},
        {"lost",
         {{0, 4096, 1}, {8192, 4096, 2}},
         8200,
         "",
         "read-back at byte 8192 differs from what was written (a write of 4096 bytes)",
         {"read 4096 4096", "read 0 4096", "read 8192 4096"}},
        // Each gap is read on its own: the progress counts its pieces as they are read.
        {"small gaps",
         {{0, 512, 1}, {1024, 512, 2}, {2048, 512, 3}},
         0,
         "",
         "",
         {"read 512 512", "read 1536 512", "read 0 512", "read 1024 512", "read 2048 512"}},
        {"covered whole",
         {{4096, 4096, 1}, {0, 12288, 2}},
         0,
         "",
         "",
         {"read 0 8192", "read 8192 4096"}},
        {"covered in part",
         {{0, 8192, 1}, {4096, 8192, 2}},
         100,
         "read-back at byte 0 differs",
         "",
         {"read 0 8192"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDiskSystem system;
        if (c.altered != 0) {
            system.altered[c.altered] = 0xEE;
        }
        std::unique_ptr<DiskDevice> device = open_fake(system);
        ReadBackLog log(*device, 8192);
        std::string write_failure;
        for (const Write& w : c.writes) {
            const std::vector<uint8_t> bytes(w.length, w.fill);
            const Outcome written = log.write_at(w.offset, bytes.data(), w.length);
            if (!written.ok()) {
                write_failure = written.reason;
                break;
            }
        }
        EXPECT_TRUE(has(write_failure, c.write_failure)) << write_failure;
        const uint64_t pending = log.pending_units();
        if (write_failure.empty()) {
            const Outcome verified = log.verify();
            EXPECT_TRUE(has(verified.reason, c.verify_failure)) << verified.reason;
            EXPECT_EQ(verified.ok(), std::string(c.verify_failure).empty());
        }
        std::vector<std::string> reads;
        for (const std::string& call : system.log().calls) {
            if (call.rfind("read ", 0) == 0) {
                reads.push_back(call);
            }
        }
        EXPECT_EQ(reads, c.reads);
        if (write_failure.empty() && *c.verify_failure == 0) {
            EXPECT_EQ(pending, reads.size());  // one progress unit per read, as planned
        }
    }
}

// A 512-byte-sector disk just large enough for an MBR volume with its $MFT at 3 GiB.
DiskInfo smallest_mbr_disk() {
    DiskInfo disk{};
    const char16_t path[] = u"disk";
    std::memcpy(disk.interface_path, path, sizeof path);
    disk.sector_count = 2 * 2048 + 63 + 6293504;
    disk.bytes_per_sector = 512;
    disk.io_chunk_size = 65536;
    return disk;
}

// A disk whose partition tables are written as sectors onto the fake's medium, so that they
// can be read back.
class TableDisks final : public ForwardingDiskSystem {
  public:
    TableDisks(DiskSystem& inner, uint64_t size_bytes)
        : ForwardingDiskSystem(inner), size_bytes_(size_bytes) {}

    Outcome open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse use,
                      std::unique_ptr<DiskDevice>* device) override {
        std::unique_ptr<DiskDevice> raw;
        Outcome opened = inner_.open_disk(path, bytes_per_sector, use, &raw);
        if (opened.ok()) {
            *device = std::make_unique<TableWritingDisk>(std::move(raw), bytes_per_sector,
                                                         size_bytes_, false);
        }
        return opened;
    }

  private:
    uint64_t size_bytes_;
};

// The disk job with verify: what the medium did not keep of the file system stops the job
// before the partition table; a table the disk did not keep is a failure too.
TEST(FormatJobVerify, WhatTheMediumLostStopsTheJob) {
    DiskInfo disk = smallest_mbr_disk();
    // GPT's reserved partition takes 128 MiB more.
    constexpr uint64_t kGptSectors = 2 * 2048 + 63 + 6293504 + 300000;
    const uint64_t mft = 2048 * 512 + 3 * kGiB;
    struct Case {
        const char* name;
        PartitionStyle style;
        uint64_t altered;  // 0: none
        FormatJobResult result;
        const char* what;
        const char* why;
        // Sector 0 written by the wipe, the re-initialisation and an MBR table; a GPT table
        // keeps the protective MBR of the re-initialisation.
        size_t table_writes;
    };
    const Case cases[] = {
        {"kept", PartitionStyle::mbr, 0, kJobSucceeded, "", "", 3},
        // $MFT's first records are written again in part, so the loss shows before that.
        {"$MFT lost", PartitionStyle::mbr, mft + 1, kJobWriteFailed, "writing the file system",
         "read-back at byte 3222274048 differs", 2},
        {"boot sector lost", PartitionStyle::mbr, 2048 * 512 + 3, kJobWriteFailed,
         "verifying the file system", "read-back at byte 1048576 differs", 2},
        {"MBR entry lost", PartitionStyle::mbr, 446 + 4, kJobWriteFailed,
         "verifying the partition table", "MBR entry 1", 3},
        {"GPT disk GUID lost", PartitionStyle::gpt, 512 + 60, kJobWriteFailed,
         "verifying the partition table", "the primary GPT header's CRC", 2},
        {"protective MBR lost", PartitionStyle::gpt, 510, kJobWriteFailed,
         "verifying the partition table", "sector 0 holds no protective MBR", 2},
        {"backup GPT header lost", PartitionStyle::gpt, (kGptSectors - 1) * 512, kJobWriteFailed,
         "verifying the partition table", "the backup GPT header is missing", 2},
        {"backup GPT entry lost", PartitionStyle::gpt, (kGptSectors - 33) * 512 + 20,
         kJobWriteFailed, "verifying the partition table", "the backup GPT entries' CRC", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDiskSystem fake;
        if (c.altered != 0) {
            fake.altered[c.altered] = 0xEE;
        }
        disk.sector_count = c.style == PartitionStyle::gpt ? kGptSectors : 2 * 2048 + 63 + 6293504;
        TableDisks system(fake, disk.sector_count * 512);
        FormatJobParams params = job_params_for(disk);
        params.partition_style = c.style;
        JobFailure failure;
        JobOptions options;
        options.verify = true;
        EXPECT_EQ(
            prepare_disk(nullptr, disk, params,
                         JobContext{.system = &system, .failure = &failure, .options = options}),
            c.result);
        EXPECT_EQ(failure.what, c.what);
        EXPECT_TRUE(has(failure.why, c.why)) << failure.why;
        const auto& calls = fake.log().calls;
        EXPECT_EQ(static_cast<size_t>(std::count(calls.begin(), calls.end(), "write 0 512")),
                  c.table_writes);
        EXPECT_EQ(fake.log().open_handles, 0);
    }
}

// A GPT table is written backup first and its primary header last, the protective MBR of the
// re-initialisation kept: a disk that stops taking writes at any of the table's writes still has
// the whole empty primary table of its re-initialisation, and the job says it holds the new
// volume with no table pointing to it; one that fails after the table says the new table may be
// there.
TEST(FormatJobTable, GptGoesBackupFirstAndEachFailureSaysWhatRemains) {
    DiskInfo disk = smallest_mbr_disk();
    disk.sector_count = 2 * 2048 + 63 + 6293504 + 300000;
    const uint64_t bytes = disk.sector_count * 512;
    FormatJobParams params = job_params_for(disk);
    params.partition_style = PartitionStyle::gpt;
    const auto run = [&](std::vector<FakeRefusal> refuse, JobFailure* failure,
                         std::vector<uint8_t>* primary_header) {
        FakeDiskSystem fake(std::move(refuse));
        TableDisks system(fake, bytes);
        const FormatJobResult result =
            prepare_disk(nullptr, disk, params, JobContext{.system = &system, .failure = failure});
        primary_header->assign(512, 0);
        fake.log().written.read(512, primary_header->data(), 512);
        std::vector<std::string> writes;
        for (const std::string& call : fake.log().calls) {
            if (call.rfind("write ", 0) == 0) {
                writes.push_back(call);
            }
        }
        return std::make_pair(result, writes);
    };
    JobFailure none;
    std::vector<uint8_t> finished;
    const auto [result, writes] = run({}, &none, &finished);
    ASSERT_EQ(result, kJobSucceeded);
    ASSERT_GT(writes.size(), 4u);
    const uint64_t backup_entries = (disk.sector_count - 33) * 512;
    const std::vector<std::string> table(writes.end() - 4, writes.end());
    // (Appended: GCC 12 warns falsely, -Wrestrict, on a literal plus a number's text.)
    std::string backup_entries_write = "write ";
    backup_entries_write += std::to_string(backup_entries) + " 16384";
    std::string backup_header_write = "write ";
    backup_header_write += std::to_string(bytes - 512) + " 512";
    EXPECT_EQ(table, (std::vector<std::string>{backup_entries_write, backup_header_write,
                                               "write 1024 16384", "write 512 512"}));
    std::vector<uint8_t> empty_header;
    for (uint32_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(testing::Message() << "table write " << k);
        JobFailure failure;
        std::vector<uint8_t> header;
        const auto nth = static_cast<uint32_t>(writes.size() - 4 + k + 1);
        EXPECT_EQ(run({{FakeOp::write, nth}}, &failure, &header).first, kJobRefused);
        EXPECT_EQ(failure.what, "cannot write the partition table");
        EXPECT_FALSE(failure.no_valid_volume);
        EXPECT_TRUE(has(failure.holds,
                        "holds a new volume at byte 135266304, with no partition "
                        "table pointing to it"))
            << failure.holds;
        if (k == 0) {
            empty_header = header;
        }
        EXPECT_EQ(header, empty_header);  // the re-initialisation's, whole
        EXPECT_NE(header, finished);
    }
    // After the table: a flush that fails leaves the new table unconfirmed.
    JobFailure failure;
    std::vector<uint8_t> header;
    const uint32_t flushes = 2;  // after the file system, then after the table
    EXPECT_EQ(run({{FakeOp::flush, flushes}}, &failure, &header).first, kJobWriteFailed);
    EXPECT_EQ(failure.what, "flushing after writing the partition table");
    EXPECT_FALSE(failure.no_valid_volume);
    EXPECT_TRUE(has(failure.holds, "may also hold its new partition table")) << failure.holds;
    EXPECT_EQ(header, finished);
}

// What a failed full format says the (blank) disk holds follows what its zero pass wrote and its
// flushes confirmed: a disk that refused the first piece holds what it held, one whose first
// sector could not be written may keep its old table, one zeroed part of the way holds zeros up
// to its last flush, and of what came after that nothing is claimed.
TEST(FormatJobFull, TheStateOfAFailedZeroPassIsWhatWasWritten) {
    const DiskInfo disk = smallest_mbr_disk();
    const uint64_t end = disk.sector_count * 512;
    struct Case {
        const char* name;
        std::pair<uint64_t, uint64_t> bad;
        FailureClass cause;
        std::string state;  // empty: nothing was written
        bool no_valid_volume;
    };
    for (const Case& c : {
             Case{"write-protected", {0, 512}, FailureClass::refused, "", false},
             Case{"sector 0 bad",
                  {0, 512},
                  FailureClass::medium,
                  "the disk holds zeros but for 1 sector range that could not be written, an "
                  "unknown first sector (a write over it failed; its old partition table may "
                  "remain) and no valid volume",
                  true},
             Case{"backup GPT header bad",
                  {end - 512, end},
                  FailureClass::medium,
                  "the disk holds zeros up to byte " + std::to_string(end - 512) +
                      ", no partition table and no valid volume",
                  true},
             Case{"refused part of the way",
                  {kGiB, kGiB + 512},
                  FailureClass::refused,
                  "the disk holds zeros up to byte 1073741824, no partition table and no valid "
                  "volume",
                  true},
             Case{"gone after the first flush",
                  {kGiB + kGiB / 2, kGiB + kGiB / 2 + 512},
                  FailureClass::gone,
                  "the disk holds zeros up to byte 1073741824 (what was written after that, up to "
                  "byte 1610612736, is unknown), no partition table and no valid volume",
                  true},
             Case{
                 "gone before any flush",
                 {kGiB / 2, kGiB / 2 + 512},
                 FailureClass::gone,
                 "the disk holds no partition table and no valid volume; it may also hold zeros up "
                 "to byte 536870912 (written, but no flush confirmed them)",
                 true},
         }) {
        SCOPED_TRACE(c.name);
        FakeDiskSystem system;
        system.keep_bytes = false;
        system.bad_ranges = {c.bad};
        system.bad_range_cause = c.cause;
        JobFailure failure;
        JobOptions options;
        options.full = true;
        EXPECT_NE(
            prepare_disk(nullptr, disk, job_params_for(disk),
                         JobContext{.system = &system, .failure = &failure, .options = options}),
            kJobSucceeded);
        EXPECT_EQ(failure.holds, c.state);
        EXPECT_EQ(failure.no_valid_volume, c.no_valid_volume);
        EXPECT_EQ(failure.cause, c.cause == FailureClass::medium ? FailureClass::other : c.cause);
    }
}

// The cause of a failure travels with it to the job's end, beside what the (blank) disk holds:
// nothing was flushed, so the wipe and the empty table of the re-initialisation may or may not
// be there, and no valid volume is.
TEST(FormatJobQuick, TheCauseOfAFailedWriteReachesTheJobsEnd) {
    const DiskInfo disk = smallest_mbr_disk();
    const uint64_t mft = 2048 * 512 + 3 * kGiB;
    for (const FailureClass cause :
         {FailureClass::gone, FailureClass::refused, FailureClass::medium, FailureClass::other}) {
        SCOPED_TRACE(static_cast<int>(cause));
        FakeDiskSystem system;
        system.keep_bytes = false;
        system.bad_ranges = {{mft, mft + 512}};
        system.bad_range_cause = cause;
        JobFailure failure;
        EXPECT_EQ(prepare_disk(nullptr, disk, job_params_for(disk),
                               JobContext{.system = &system, .failure = &failure}),
                  kJobWriteFailed);
        EXPECT_EQ(failure.what, "writing the file system");
        EXPECT_EQ(failure.cause, cause);
        EXPECT_TRUE(failure.no_valid_volume);
        EXPECT_EQ(failure.holds,
                  "the disk holds no valid volume; it may also hold the empty partition table of "
                  "its re-initialisation or no partition table");
    }
}

// A full format of an image whose file system lacks the room is refused before the disk is opened.
TEST(FormatJobFull, AnImageWithoutRoomIsRefusedBeforeTheFirstWrite) {
    const DiskInfo disk = smallest_mbr_disk();
    FakeDiskSystem system;
    system.shortfall = 123456789;
    JobFailure failure;
    JobOptions options;
    options.full = true;
    EXPECT_EQ(prepare_disk(nullptr, disk, job_params_for(disk),
                           JobContext{.system = &system, .failure = &failure, .options = options}),
              kJobRefused);
    EXPECT_TRUE(has(failure.why, "lacks 123456789 bytes")) << failure.why;
    EXPECT_TRUE(system.log().calls.empty());
}

}  // namespace

}  // namespace lintora
