#include "prep/volume_passes.h"

#include <utility>

#include "ntfs/cluster_limits.h"
#include "platform/raw_disk.h"
#include "prep/boot_sector_hold.h"
#include "prep/read_back_log.h"
#include "prep/target_ledger.h"

namespace lintora {

namespace {

VolumePassEnd failed_at(VolumeStep step, Outcome failure) {
    VolumePassEnd end;
    end.step = step;
    end.outcome = std::move(failure);
    return end;
}

// Once the backup boot sector was written, a failure takes both back; only when their zeros
// were flushed does the target hold no valid volume.
VolumePassEnd withdrawn(BootSectorHold& hold, VolumeStep step, Outcome failure) {
    const Outcome taken_back = hold.withdraw();
    VolumePassEnd end = failed_at(step, std::move(failure));
    if (taken_back.ok()) {
        end.outcome.reason += "; the boot sectors were zeroed again";
    } else {
        end.outcome.reason += "; zeroing the boot sectors again failed: " + taken_back.reason;
    }
    return end;
}

// The boot sectors held back: committed (the backup first), flushed and with verify read back.
VolumePassEnd commit_boot_sectors(BootSectorHold& hold, ReadBackLog& log, bool verify) {
    Outcome step = hold.commit();
    if (!step.ok()) {
        // Until the backup is written nothing can bring the volume back: nothing to take back.
        return hold.backup_written() ? withdrawn(hold, VolumeStep::committing_boot_sectors, step)
                                     : failed_at(VolumeStep::committing_boot_sectors, step);
    }
    step = hold.flush();
    if (!step.ok()) {
        return withdrawn(hold, VolumeStep::flushing_boot_sectors, step);
    }
    // Two sectors, written and flushed last: read back without displacing the drive's cache a
    // second time, so they may come from it.
    step = verify ? log.verify(nullptr, false) : Outcome::success();
    if (!step.ok()) {
        return withdrawn(hold, VolumeStep::verifying_boot_sectors, step);
    }
    return VolumePassEnd{};
}

// One bar over every pass: the writer reports through the span when there is more than the
// writing pass to show, or a watch to tell.
void span_the_passes(VolumeFormat& volume, const VolumePassPlan& plan, ProgressSpan* span) {
    span->progress = volume.writer.progress;
    span->owner = volume.writer.owner;
    span->total = file_system_units(volume, plan.verify);
    span->watch = plan.watch;
    span->unit_bytes = volume.writer.unit_size;
    if (plan.zero_bytes != 0 || plan.verify || plan.watch.report != nullptr) {
        volume.writer.progress = &ProgressSpan::forward;
        volume.writer.owner = span;
    }
}

// The writing pass onto `target` and its flush; with verify, everything read back.
VolumePassEnd write_and_read_back(VolumeFormat& volume, DiskIo& target, ReadBackLog& log,
                                  const VolumePassPlan& plan, ProgressSpan& span) {
    const bool verify = plan.verify;
    VolumePassEnd end;
    span.begin_pass(RunPhase::writing, volume.writer.units_expected);
    end.status = write_volume(volume, target);
    if (end.status != NTFS_OK) {
        end.step = VolumeStep::writing;
        end.outcome = !volume.failure.ok() ? volume.failure
                                           : Outcome::failure(std::string("formatting failed: ") +
                                                              ntfs_status_text(end.status));
        return end;
    }
    if (plan.ledger != nullptr) {
        plan.ledger->volume_handed_over();
    }
    Outcome step = target.flush();
    if (!step.ok()) {
        return failed_at(VolumeStep::flushing, step);
    }
    if (verify) {
        span.pass_done(volume.writer.units_done);
        span.begin_pass(RunPhase::verifying, log.pending_units());
        step = log.verify(&span);
        if (!step.ok()) {
            if (plan.ledger != nullptr) {
                plan.ledger->read_back_differed();
            }
            return failed_at(VolumeStep::verifying, step);
        }
        if (plan.ledger != nullptr) {
            plan.ledger->volume_read_back();
        }
    }
    return end;
}

// The passes in their order; `log` and `zeroed` keep what was read back, whatever the end.
VolumePassEnd run_passes(VolumeFormat& volume, DiskIo& device, const VolumePassPlan& plan,
                         ReadBackLog& log, ZeroedVolume& zeroed) {
    const NtfsFormatParams& params = volume.params;
    DiskIo& logged = plan.verify ? static_cast<DiskIo&>(log) : device;
    BootSectorHold hold(logged, params.first_sector * params.bytes_per_sector, params.sector_count,
                        params.bytes_per_sector);
    DiskIo& target = plan.hold_boot_sectors ? static_cast<DiskIo&>(hold) : logged;
    if (plan.hold_boot_sectors) {
        const Outcome cleared = hold.clear();
        if (!cleared.ok()) {
            return failed_at(VolumeStep::clearing_boot_sectors, cleared);
        }
    }
    ProgressSpan span;
    span_the_passes(volume, plan, &span);
    if (plan.zero_bytes != 0) {
        zeroed = run_zero_pass(volume, device, plan.zero_bytes, params.bytes_per_sector,
                               plan.verify, span);
        if (!zeroed.outcome.ok()) {
            VolumePassEnd end = failed_at(VolumeStep::zeroing, zeroed.outcome);
            end.status = zeroed.count_status;
            end.zeroed = zeroed;
            return end;
        }
    }
    if (plan.before_writing && !plan.before_writing()) {
        return failed_at(VolumeStep::before_writing,
                         Outcome::failure("stopped before the file system was written"));
    }
    VolumePassEnd end = write_and_read_back(volume, target, log, plan, span);
    end.zeroed = zeroed;
    if (!end.outcome.ok()) {
        return end;
    }
    if (plan.hold_boot_sectors) {
        VolumePassEnd committed = commit_boot_sectors(hold, log, plan.verify);
        if (committed.step == VolumeStep::verifying_boot_sectors && plan.ledger != nullptr) {
            plan.ledger->read_back_differed();
        }
        if (!committed.outcome.ok()) {
            return committed;
        }
    }
    end.summary.cluster_size = params.cluster_size;
    end.summary.clusters =
        volume_cluster_count(params.sector_count, params.bytes_per_sector, params.cluster_size);
    end.summary.bad_clusters = volume.bad_clusters;
    return end;
}

}  // namespace

VolumePassEnd write_volume_passes(VolumeFormat& volume, DiskIo& device,
                                  const VolumePassPlan& plan) {
    ReadBackLog log(device, volume.writer.unit_size);
    ZeroedVolume zeroed;
    VolumePassEnd end = run_passes(volume, device, plan, log, zeroed);
    // What was read back and compared (the file system, the boot sectors and the zeros), on
    // every way out: a failed run's record says what it read too.
    end.summary.verified_bytes = log.bytes_compared() + zeroed.verified_bytes;
    end.summary.cache_displaced_bytes = log.bytes_displaced();
    return end;
}

}  // namespace lintora
