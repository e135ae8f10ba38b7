// What a failed volume run says its target holds, where the sweep's fake medium cannot go: a
// medium that accepts writes and keeps other bytes (a bridge that drops them).
#include "prep/target_claim.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fake/fake_raw_disk.h"
#include "prep/format_job.h"
#include "prep/target_ledger.h"
#include "prep/volume_format.h"
#include "prep/volume_passes.h"

namespace lintora {

namespace {

constexpr uint64_t kBytes = 4200ull << 20;

// The volume's passes over the whole fake disk with its boot sectors held back, as the volume
// command runs them; the claim of the ledger afterwards.
struct VolumeRun {
    bool ok = false;
    TargetClaim claim;
};

VolumeRun run_volume(FakeDiskSystem& system, bool verify) {
    VolumeRequest request;
    request.label = kDefaultLabel;
    request.bytes_per_sector = 512;
    request.cluster_size = 4096;
    request.sector_count = kBytes / 512;
    request.io_chunk = 1 << 20;
    VolumeFormat volume;
    setup_volume_format(request, volume);
    EXPECT_EQ(count_volume(volume), NTFS_OK);
    std::unique_ptr<DiskDevice> opened;
    EXPECT_TRUE(system.open_disk(u"disk", 512, DiskUse::volume, &opened).ok());
    TargetLedger ledger(kBytes, 512);
    ledger.volume_bytes = kBytes;
    LedgerDisk device(std::move(opened), ledger);
    ledger.survey(device);
    VolumePassPlan plan;
    plan.verify = verify;
    plan.hold_boot_sectors = true;
    plan.ledger = &ledger;
    VolumeRun run;
    run.ok = write_volume_passes(volume, device, plan).outcome.ok();
    run.claim = claim_target(ledger, "'disk'");
    return run;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A medium that keeps other bytes than it accepted, found by the read-back: whatever the writes
// and flushes say, the old volume may still be there, and no valid volume is not claimed.
TEST(TargetClaim, AMediumThatLosesWritesMayStillHoldTheOldVolume) {
    FakeDiskSystem system;
    ASSERT_TRUE(run_volume(system, false).ok);  // the old volume
    system.altered[kBytes - 512 + 3] = 0xEE;    // the backup boot sector's, read back last
    const VolumeRun run = run_volume(system, true);
    ASSERT_FALSE(run.ok);
    EXPECT_FALSE(run.claim.no_valid_volume) << run.claim.words;
    EXPECT_TRUE(has(run.claim.words, "its old volume at byte 0")) << run.claim.words;
}

// The same run on a medium that keeps what it is given ends with a volume; one whose first
// write failed says only what that write may have changed.
TEST(TargetClaim, NothingAcceptedNamesOnlyTheFailedWrite) {
    FakeDiskSystem system({{FakeOp::write, 1}});
    const VolumeRun run = run_volume(system, false);
    ASSERT_FALSE(run.ok);
    EXPECT_TRUE(run.claim.nothing_accepted);
    EXPECT_FALSE(run.claim.nothing_written);
}

}  // namespace

}  // namespace lintora
