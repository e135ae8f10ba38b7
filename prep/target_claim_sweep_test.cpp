// The claim of what a target holds, proved at every point a run can fail. Each configuration
// (the disk job with MBR and GPT, 512- and 4096-byte sectors; the volume's passes with their
// boot sectors held back; quick, full and verify) is run once to count its requests, then again
// with each write and flush failing in turn: by an I/O error, by the disk going away (every
// request after it failing too), and by a stop on a signal. At every point the target's bytes
// are judged in both views (every accepted write landed; only those a successful flush
// confirmed did) against the old disk and a finished run, and the claim must hold in both.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/range_map.h"
#include "platform/fake/fake_raw_disk.h"
#include "platform/table_writing_disk.h"
#include "prep/format_job.h"
#include "prep/partition_layout.h"
#include "prep/target_claim.h"
#include "prep/target_ledger.h"
#include "prep/volume_format.h"
#include "prep/volume_passes.h"

namespace lintora {

namespace {

constexpr uint64_t kMiB = 1ull << 20;
constexpr uint64_t kDiskBytes = 4200 * kMiB;
constexpr uint32_t kOldRun = 1;
constexpr uint32_t kCleanRun = 2;
constexpr uint32_t kFaultedRun = 3;

// Bytes kept by range: shared pieces of written buffers, or zeros (no buffer).
struct Piece {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    uint64_t origin = 0;  // the target offset of bytes[0]
    uint32_t run = 0;     // which run wrote it

    bool operator==(const Piece& other) const {
        return bytes == other.bytes && origin == other.origin && run == other.run;
    }
};
using Image = RangeMap<Piece>;

void read_image_into(const Image& image, uint64_t offset, uint64_t length, uint8_t* out) {
    std::memset(out, 0, length);
    image.visit(offset, offset + length, [&](uint64_t from, uint64_t to, const Piece& piece) {
        if (piece.bytes) {
            std::memcpy(out + (from - offset), piece.bytes->data() + (from - piece.origin),
                        to - from);
        }
    });
}

std::vector<uint8_t> read_image(const Image& image, uint64_t offset, uint64_t length) {
    std::vector<uint8_t> out(length);
    read_image_into(image, offset, length, out.data());
    return out;
}

enum class Fault { none, eio, gone, stop };

// The disk the runs write: what it holds in both views, and the request that is made to fail.
struct Journal {
    Image accepted;
    Image flushed;
    uint64_t requests = 0;  // writes and flushes so far
    uint64_t fail_at = 0;   // 1-based; 0: none
    Fault fault = Fault::none;
    bool broken = false;  // gone, or stopped: every later request fails alike
    uint32_t run = 0;     // the tag of what this run writes
    // Requests 1 to accepted_through all succeeded; a flush confirmed 1 to flushed_through.
    uint64_t accepted_through = 0;
    uint64_t flushed_through = 0;
    // The last request that wrote into [volume_first, volume_end).
    uint64_t volume_first = 0;
    uint64_t volume_end = 0;
    uint64_t last_volume_request = 0;

    Outcome failure() const {
        Outcome failed = Outcome::failure(fault == Fault::eio    ? "Input/output error"
                                          : fault == Fault::gone ? "No such device"
                                                                 : "interrupted by a signal");
        failed.cause = fault == Fault::eio ? FailureClass::medium : FailureClass::gone;
        failed.stopped = fault == Fault::stop;
        return failed;
    }
    // Whether this request fails.
    // A stop comes between two requests: the flush it meets still runs (only writes and reads
    // are refused once a signal came), and so does the flush that follows the stop.
    bool fails(bool is_flush) {
        ++requests;
        const bool failed =
            fail_at != 0 && (requests == fail_at || broken) && !(is_flush && fault == Fault::stop);
        broken = broken || (fail_at != 0 && requests == fail_at && fault != Fault::eio);
        if (!failed && accepted_through + 1 == requests) {
            accepted_through = requests;
        }
        if (!failed && is_flush) {
            flushed_through = accepted_through;
        }
        return failed;
    }
};

class JournalDisk final : public DiskDevice {
  public:
    explicit JournalDisk(Journal& journal) : journal_(journal) {}

    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        if (journal_.fails(false)) {
            return journal_.failure();
        }
        const bool zeros = data[0] == 0 && std::memcmp(data, data + 1, length - 1) == 0;
        Piece piece;
        piece.run = journal_.run;
        if (!zeros) {
            piece.bytes = std::make_shared<const std::vector<uint8_t>>(data, data + length);
            piece.origin = offset;
        }
        journal_.accepted.assign(offset, offset + length, piece);
        if (offset < journal_.volume_end && offset + length > journal_.volume_first) {
            journal_.last_volume_request = journal_.requests;
        }
        return Outcome::success();
    }
    Outcome read_at(uint64_t offset, uint8_t* data, uint32_t length) override {
        if (journal_.broken) {
            return journal_.failure();
        }
        read_image_into(journal_.accepted, offset, length, data);
        return Outcome::success();
    }
    Outcome flush() override {
        if (journal_.fails(true)) {
            return journal_.failure();
        }
        journal_.flushed = journal_.accepted;
        return Outcome::success();
    }
    Outcome forget_cached() override { return Outcome::success(); }
    Outcome create_disk(const CreateDiskRecord&) override { return Outcome::failure("raw"); }
    Outcome update_properties() override { return Outcome::success(); }
    Outcome set_drive_layout(const uint8_t*, uint32_t) override { return Outcome::failure("raw"); }

  private:
    Journal& journal_;
};

// The fake system's volumes and GUIDs, with the journal as its disk; tables written as sectors.
class JournalSystem final : public ForwardingDiskSystem {
  public:
    JournalSystem(Journal& journal, uint32_t sector)
        : ForwardingDiskSystem(fake_), journal_(journal), sector_(sector) {}

    Outcome open_disk(const char16_t*, uint32_t, DiskUse,
                      std::unique_ptr<DiskDevice>* device) override {
        *device = std::make_unique<TableWritingDisk>(std::make_unique<JournalDisk>(journal_),
                                                     sector_, kDiskBytes, false);
        return Outcome::success();
    }
    Outcome room_missing_to_fill(const char16_t*, uint64_t* missing) override {
        *missing = 0;
        return Outcome::success();
    }

  private:
    FakeDiskSystem fake_;
    Journal& journal_;
    uint32_t sector_;
};

struct Config {
    const char* name;
    bool disk;  // the disk job; else the volume's passes over the whole target
    PartitionStyle style;
    uint32_t sector;
    bool full;
    bool verify;
    uint32_t stride;  // every stride-th request is failed (1: every one)
};

// The configuration's name in the test's name and messages.
void PrintTo(const Config& config, std::ostream* out) {
    *out << config.name;
}

// The sanitizer build runs the code several times slower: it tries every 4th point of what the
// release build tries (the release build's suite is part of the test command too).
#if defined(__SANITIZE_ADDRESS__)
constexpr uint32_t kSampling = 4;
#else
constexpr uint32_t kSampling = 1;
#endif

struct Run {
    bool ok = false;
    TargetClaim claim;
};

Run run_once(const Config& config, Journal& journal) {
    TargetLedger ledger(kDiskBytes, config.sector);
    Run run;
    if (config.disk) {
        DiskInfo disk{};
        disk.sector_count = kDiskBytes / config.sector;
        disk.bytes_per_sector = config.sector;
        disk.io_chunk_size = 16 * kMiB;
        FormatJobParams params = job_params_for(disk);
        params.partition_style = config.style;
        JobFailure failure;
        JobContext context;
        JournalSystem system(journal, config.sector);
        context.system = &system;
        context.failure = &failure;
        context.device_path = u"disk";
        context.options.full = config.full;
        context.options.verify = config.verify;
        context.ledger = &ledger;
        run.ok = prepare_disk(nullptr, disk, params, context) == kJobSucceeded;
    } else {
        VolumeRequest request;
        request.label = kDefaultLabel;
        request.bytes_per_sector = config.sector;
        request.cluster_size = 4096;
        request.sector_count = kDiskBytes / config.sector;
        request.io_chunk = 16 * kMiB;
        VolumeFormat volume;
        setup_volume_format(request, volume);
        EXPECT_EQ(count_volume(volume), NTFS_OK);
        ledger.volume_bytes = kDiskBytes;
        ledger.zero_bytes = config.full ? kDiskBytes : 0;
        LedgerDisk device(std::make_unique<JournalDisk>(journal), ledger);
        ledger.survey(device);
        VolumePassPlan plan;
        plan.zero_bytes = ledger.zero_bytes;
        plan.verify = config.verify;
        plan.hold_boot_sectors = true;
        plan.ledger = &ledger;
        run.ok = write_volume_passes(volume, device, plan).outcome.ok();
    }
    run.claim = claim_target(ledger, "the target");
    return run;
}

// What a view of the target shows, judged against the old disk and a finished run.
struct Judge {
    const Image& old_image;
    const Image& new_image;
    uint64_t volume_offset;
    uint32_t sector;

    bool same(const Image& view, const Image& reference, uint64_t offset, uint64_t length) const {
        return read_image(view, offset, length) == read_image(reference, offset, length);
    }
    static bool is_ntfs(const std::vector<uint8_t>& s) {
        return std::memcmp(s.data() + 3, "NTFS    ", 8) == 0 && s[510] == 0x55 && s[511] == 0xAA;
    }
    bool old_volume(const Image& view, uint64_t offset, uint64_t bytes, bool backup) const {
        const uint64_t at = backup ? offset + bytes - sector : offset;
        return is_ntfs(read_image(view, at, sector)) && same(view, old_image, at, sector) &&
               !touched(view, at, sector);
    }
    // Whether the faulted run wrote any of these bytes (a new boot sector made in the same
    // second as the old one is byte for byte the old one).
    static bool touched(const Image& view, uint64_t offset, uint64_t length) {
        bool any = false;
        view.visit(offset, offset + length, [&](uint64_t, uint64_t, const Piece& piece) {
            any = any || piece.run == kFaultedRun;
        });
        return any;
    }
    // The run's requests up to the last that wrote into the volume all reached this view.
    uint64_t last_volume_request = 0;
    // and its boot sector is the one this run wrote (not zeros again, after a failed commit).
    bool new_volume(const Image& view, uint64_t view_through) const {
        return view_through >= last_volume_request &&
               is_ntfs(read_image(view, volume_offset, sector)) &&
               touched(view, volume_offset, sector);
    }
    bool table_is(const Image& view, const Image& reference) const {
        return same(view, reference, 0, 2 * sector) &&
               same(view, reference, kDiskBytes - sector, sector);
    }
    bool old_table(const Image& view) const {
        return table_is(view, old_image) && !touched(view, 0, 2 * sector) &&
               !touched(view, kDiskBytes - sector, sector);
    }
    bool no_table(const Image& view) const {
        const std::vector<uint8_t> s0 = read_image(view, 0, sector);
        return !(s0[510] == 0x55 && s0[511] == 0xAA) || is_ntfs(s0);
    }
    bool zeros(const Image& view, uint64_t end,
               const std::vector<std::pair<uint64_t, uint64_t>>& unwritten) const {
        bool all = true;
        view.visit(0, end, [&](uint64_t from, uint64_t to, const Piece& piece) {
            for (const auto& [bad_first, bad_end] : unwritten) {
                if (from >= bad_first && to <= bad_end) {
                    return;
                }
            }
            if (piece.bytes) {
                const uint8_t* p = piece.bytes->data() + (from - piece.origin);
                all = all && std::all_of(p, p + (to - from), [](uint8_t b) { return b == 0; });
            }
        });
        return all;
    }
};

bool mentions(const TargetClaim& claim, const char* what, uint64_t first) {
    return std::any_of(claim.ranges.begin(), claim.ranges.end(), [&](const HeldRange& range) {
        return std::strcmp(range.what, what) == 0 && range.first_byte == first;
    });
}
bool certainly(const TargetClaim& claim, const char* what) {
    return std::any_of(claim.ranges.begin(), claim.ranges.end(), [&](const HeldRange& range) {
        return range.certain && std::strcmp(range.what, what) == 0;
    });
}

// Checks the claim against one view; returns what is wrong with it, or nothing.
std::string check_view(const Judge& judge, const Image& view, uint64_t view_through,
                       const TargetClaim& claim, uint64_t old_volume_offset,
                       uint64_t old_volume_bytes, bool disk) {
    if (claim.nothing_written || claim.nothing_accepted) {
        return Judge::touched(view, 0, kDiskBytes) ? "said nothing was written, yet it was" : "";
    }
    const bool old_here = judge.old_volume(view, old_volume_offset, old_volume_bytes, false);
    const bool old_backup = judge.old_volume(view, old_volume_offset, old_volume_bytes, true);
    const bool new_here = judge.new_volume(view, view_through);
    const bool hedged_old = mentions(claim, "old_volume", old_volume_offset) ||
                            mentions(claim, "unknown", old_volume_offset);
    if (old_here && !hedged_old) {
        return "the old volume is there, and the claim does not say it may be";
    }
    if (old_backup && !hedged_old &&
        !mentions(claim, "old_volume_backup_boot_sector",
                  old_volume_offset + old_volume_bytes - judge.sector)) {
        return "the old volume's backup boot sector is there, and the claim does not say it";
    }
    if (new_here && !mentions(claim, "new_volume", judge.volume_offset) &&
        !mentions(claim, "unknown", judge.volume_offset)) {
        return "a whole new volume is there, and the claim does not say it may be";
    }
    if (certainly(claim, "new_volume") && !new_here) {
        return "the claim says a new volume is there, and it is not whole";
    }
    if (claim.no_valid_volume && (old_here || old_backup || new_here)) {
        return "said to hold no valid volume, yet one is there";
    }
    if (disk) {
        if (certainly(claim, "old_table") && !judge.old_table(view)) {
            return "said to hold its old table, and it does not";
        }
        if (certainly(claim, "new_table") && !judge.table_is(view, judge.new_image)) {
            return "said to hold its new table, and it does not";
        }
        if (certainly(claim, "no_table") && !judge.no_table(view)) {
            return "said to hold no partition table, and sector 0 holds one";
        }
        if (judge.old_table(view) && !mentions(claim, "old_table", 0) &&
            !mentions(claim, "unknown", 0)) {
            return "the old table is there, and the claim does not say it may be";
        }
    }
    for (const HeldRange& range : claim.ranges) {
        if (range.certain && std::strcmp(range.what, "zeros") == 0) {
            std::vector<std::pair<uint64_t, uint64_t>> unwritten;
            for (const HeldRange& bad : claim.ranges) {
                if (std::strcmp(bad.what, "unwritten_sectors") == 0) {
                    unwritten.emplace_back(bad.first_byte, bad.end_byte);
                }
            }
            if (!judge.zeros(view, range.end_byte, unwritten)) {
                return "said to hold zeros up to byte " + std::to_string(range.end_byte) +
                       ", and it does not";
            }
        }
    }
    return "";
}

void sweep(const Config& config) {
    const auto started = std::chrono::steady_clock::now();
    // The old disk: a finished run of the disk job, its volume where the new one goes.
    Journal first;
    first.run = kOldRun;
    Config old_config = config;
    old_config.disk = true;
    old_config.full = false;
    old_config.verify = false;
    ASSERT_TRUE(run_once(old_config, first).ok);
    const Image old_image = first.accepted;

    PartitionGeometry geometry;
    ASSERT_EQ(compute_partition_geometry(kDiskBytes / config.sector, config.sector, config.style,
                                         &geometry),
              kJobSucceeded);
    const uint64_t old_offset = geometry.data_start * config.sector;
    const uint64_t old_bytes = geometry.data_sectors * config.sector;
    Journal clean;
    clean.run = kCleanRun;
    clean.volume_first = config.disk ? old_offset : 0;
    clean.volume_end = config.disk ? old_offset + old_bytes : kDiskBytes;
    clean.accepted = old_image;
    clean.flushed = old_image;
    ASSERT_TRUE(run_once(config, clean).ok);
    const uint64_t requests = clean.requests;
    const Image new_image = clean.accepted;

    Judge judge{old_image, new_image, config.disk ? old_offset : 0, config.sector,
                clean.last_volume_request};
    uint64_t points = 0;
    const Fault faults[] = {Fault::eio, Fault::gone, Fault::stop};
    const uint32_t stride = config.stride * kSampling;
    for (const Fault each : faults) {
        for (uint64_t k = 1; k <= requests; k += stride) {
            // A sampled run tries one fault at each point, in turn.
            const Fault fault = stride == 1 ? each : faults[(k / stride + k) % 3];
            if (stride != 1 && each != Fault::eio) {
                break;
            }
            Journal journal;
            journal.accepted = old_image;
            journal.flushed = old_image;
            journal.fail_at = k;
            journal.fault = fault;
            journal.run = kFaultedRun;
            const Run run = run_once(config, journal);
            ++points;
            const char* names[] = {"", "EIO", "gone", "stop"};
            const std::string where = std::string(config.name) + ", request " + std::to_string(k) +
                                      " of " + std::to_string(requests) + " failed by " +
                                      names[static_cast<int>(fault)];
            if (run.ok) {
                continue;  // a bad sector the run mapped: the finished volume is judged elsewhere
            }
            for (const Image* view : {&journal.accepted, &journal.flushed}) {
                const std::string wrong = check_view(
                    judge, *view,
                    view == &journal.accepted ? journal.accepted_through : journal.flushed_through,
                    run.claim, old_offset, old_bytes, config.disk);
                EXPECT_EQ(wrong, "")
                    << where << " (" << (view == &journal.accepted ? "accepted" : "flushed")
                    << " view): " << run.claim.words;
            }
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s: %llu requests, %llu fault points tried in %.1f s\n", config.name,
                static_cast<unsigned long long>(requests), static_cast<unsigned long long>(points),
                seconds);
}

class ClaimSweep : public ::testing::TestWithParam<Config> {};

TEST_P(ClaimSweep, EveryClaimHoldsInBothViewsAtEveryFaultPoint) {
    sweep(GetParam());
}

// Quick runs fail every request in each of the three ways. A full run writes 4 GiB of zeros
// before the file system, so it is sampled: every 10th request fails, in one of the three ways
// in turn.
INSTANTIATE_TEST_SUITE_P(
    Runs, ClaimSweep,
    ::testing::Values(
        Config{"disk_mbr_512_quick", true, PartitionStyle::mbr, 512, false, false, 1},
        Config{"disk_gpt_4096_quick", true, PartitionStyle::gpt, 4096, false, false, 1},
        Config{"disk_mbr_512_verify", true, PartitionStyle::mbr, 512, false, true, 1},
        Config{"disk_gpt_512_full", true, PartitionStyle::gpt, 512, true, true, 10},
        Config{"volume_512_quick", false, PartitionStyle::mbr, 512, false, false, 1},
        Config{"volume_4096_verify", false, PartitionStyle::mbr, 4096, false, true, 1},
        Config{"volume_512_full", false, PartitionStyle::mbr, 512, true, false, 10}),
    [](const ::testing::TestParamInfo<Config>& run) { return std::string(run.param.name); });

}  // namespace

}  // namespace lintora
