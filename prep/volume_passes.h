// The passes that write one counted volume, in the one order the disk job and the volume
// command share: a full format's zero pass, what the caller does before the file system (the
// disk job wipes the old table there), the writing pass, the flush, with verify the read-back
// of everything written, and, where nothing written after the volume makes it valid, the boot
// sectors last. One progress bar spans every pass.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ntfs/status.h"
#include "prep/format_job.h"
#include "prep/full_format.h"
#include "prep/progress_span.h"
#include "prep/volume_format.h"

namespace lintora {

class DiskIo;
class TargetLedger;

struct VolumePassPlan {
    // A full format: zeros over bytes [0, zero_bytes) of the device first (the whole disk for
    // the disk job), and the sectors that fail become bad clusters. 0: no zero pass.
    uint64_t zero_bytes = 0;
    bool verify = false;
    // The boot sector and its backup zeroed first and written only once the rest is on the
    // medium (and read back): for a volume that no partition table written after it makes
    // valid.
    bool hold_boot_sectors = false;
    PassWatch watch;
    // Told when the writing pass handed the whole volume over and when it read back equal.
    TargetLedger* ledger = nullptr;
    // Runs after the zero pass, before the first write of the file system; false ends the
    // passes there (the caller knows why, and words it).
    std::function<bool()> before_writing;
};

// The step of the passes that failed.
enum class VolumeStep : int32_t {
    clearing_boot_sectors,
    zeroing,
    before_writing,
    writing,
    flushing,
    verifying,
    committing_boot_sectors,
    flushing_boot_sectors,
    verifying_boot_sectors,
};

struct VolumePassEnd {
    // Done, or what failed: the system's reason (or the writer's) and its class; after committed
    // boot sectors, whether they were taken back is said at the reason's end.
    Outcome outcome;
    VolumeStep step = VolumeStep::writing;  // where it failed
    // The file system's status: the writing pass's (NTFS_WRITE_FAILED when a request failed),
    // or, after the zero pass, the count's with the bad clusters (NTFS_OK when the zero pass
    // itself failed a request).
    ntfs_status status = NTFS_OK;
    ZeroedVolume zeroed;  // what a full format's zero pass wrote
    // On success; what was read back and compared (`verified_bytes`, `cache_displaced_bytes`)
    // whatever the end.
    JobSummary summary;
};

// After count_volume. Writes through `device`; every write the passes make is on it.
VolumePassEnd write_volume_passes(VolumeFormat& volume, DiskIo& device, const VolumePassPlan& plan);

}  // namespace lintora
