#include "prep/format_job.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "ntfs/cluster_limits.h"
#include "ntfs/status.h"
#include "platform/encoding/utf.h"
#include "platform/raw_disk.h"
#include "prep/full_format.h"
#include "prep/partition_layout.h"
#include "prep/table_check.h"
#include "prep/target_claim.h"
#include "prep/target_ledger.h"
#include "prep/volume_format.h"
#include "prep/volume_passes.h"

namespace lintora {

namespace {

constexpr uint32_t kWipedSectors = 32;
constexpr uint64_t kMbrMaxSectors = 0xFFFFFFFFull;

// The disk and its volume handles; closed volumes first (A: to Z:, then those without a
// letter), then the disk, on every way out of the job.
struct JobHandles {
    std::unique_ptr<DiskDevice> disk;
    std::array<std::unique_ptr<VolumeHandle>, 26> volumes;
    std::vector<std::unique_ptr<VolumeHandle>> unlettered;

    ~JobHandles() {
        for (auto& volume : volumes) {
            volume.reset();
        }
        unlettered.clear();
        disk.reset();
    }
};

// Records what failed and why, and gives the result to return.
struct FailureRecord {
    JobFailure* failure;

    FormatJobResult operator()(FormatJobResult result, std::string what, std::string why) const {
        if (failure != nullptr) {
            failure->what = std::move(what);
            failure->why = std::move(why);
        }
        return result;
    }
    // A failure of the system, with its class and whether it came from a program that holds the
    // disk.
    FormatJobResult operator()(FormatJobResult result, std::string what,
                               const Outcome& refused) const {
        if (failure != nullptr) {
            failure->in_use = refused.in_use;
            failure->cause = refused.cause;
        }
        return (*this)(result, std::move(what), refused.reason);
    }
};

std::unique_ptr<uint8_t[]> zeroed_buffer(uint32_t size) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]());
}

bool is_supported_sector_size(uint32_t bytes) {
    return bytes >= 512 && bytes <= 4096 && (bytes & (bytes - 1)) == 0;
}

// Explorer, the indexer or a scanner often still hold a volume for a moment after the shell was
// told that it goes away: a lock refused as in use is tried again, a bounded number of times.
constexpr uint32_t kLockTries = 10;
constexpr uint32_t kLockRetryMs = 500;

// A volume held open by a program that shares it for reading only cannot even be opened for
// writing; such a program may let go in a moment too.
template <typename Open>
Outcome open_retrying(Open open, DiskSystem& system) {
    Outcome opened = open();
    for (uint32_t tries = 1; !opened.ok() && opened.in_use && tries < kLockTries; ++tries) {
        system.pause(kLockRetryMs);
        opened = open();
    }
    return opened;
}

Outcome lock_and_dismount(VolumeHandle& volume, DiskSystem& system) {
    Outcome locked = volume.lock_volume();
    for (uint32_t tries = 1; !locked.ok() && locked.in_use && tries < kLockTries; ++tries) {
        system.pause(kLockRetryMs);
        locked = volume.lock_volume();
    }
    return locked.ok() ? volume.dismount_volume() : locked;
}

bool same_volume_path(const std::u16string& a, const std::u16string& b) {
    const auto fold = [](char16_t c) {
        return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

// Tells the shell each drive of the disk goes away, then locks and dismounts its volume; the
// handles stay open (and the volumes locked) until the job ends. The GUID path of each lettered
// volume is looked up before it is locked (a locked volume may not answer), so that none of
// them is locked a second time by that path.
FormatJobResult take_lettered_volumes(const DiskInfo& disk, DiskSystem& system, JobHandles& handles,
                                      std::vector<std::u16string>* taken, bool* unresolved,
                                      const FailureRecord& fail) {
    FormatJobResult result = kJobSucceeded;
    for_each_drive_letter(disk.drive_letters, [&](char letter) {
        if (result != kJobSucceeded) {
            return;
        }
        const std::string volume = std::string(1, letter) + ":";
        system.notify_drive_removed(letter);
        std::u16string path;
        if (system.volume_path_of_letter(letter, &path).ok()) {
            taken->push_back(path);
        } else {
            *unresolved = true;
        }
        std::unique_ptr<VolumeHandle>& slot = handles.volumes[static_cast<size_t>(letter - 'A')];
        Outcome step = open_retrying([&] { return system.open_volume(letter, &slot); }, system);
        if (!step.ok()) {
            result = fail(kJobRefused, "cannot open volume " + volume, step);
            return;
        }
        step = lock_and_dismount(*slot, system);
        if (!step.ok()) {
            result = fail(kJobRefused, "cannot lock and dismount volume " + volume, step);
            return;
        }
    });
    return result;
}

// Whether the volume at `path` is one of the disk's lettered volumes, already locked by its
// letter: by its GUID path, or, where a letter's GUID path could not be looked up, by the
// letters the volume's mount points name.
bool taken_by_letter(const std::u16string& path, const std::vector<std::u16string>& taken,
                     bool unresolved, uint32_t disk_letters, DiskSystem& system) {
    if (std::any_of(taken.begin(), taken.end(),
                    [&](const std::u16string& t) { return same_volume_path(t, path); })) {
        return true;
    }
    uint32_t letters = 0;
    return unresolved && system.letters_of_volume(path.c_str(), &letters).ok() &&
           (letters & disk_letters) != 0;
}

// Every other volume that lies on the disk (mounted in a folder, or with no letter at all) is
// locked and dismounted too: the wipe must not go on under a mounted file system.
FormatJobResult take_unlettered_volumes(const char16_t* device_path, uint32_t disk_letters,
                                        DiskSystem& system, JobHandles& handles,
                                        const std::vector<std::u16string>& taken, bool unresolved,
                                        const FailureRecord& fail) {
    std::vector<std::u16string> paths;
    const Outcome listed = system.volumes_on_disk(device_path, &paths);
    if (!listed.ok()) {
        return fail(kJobRefused, "cannot list the volumes of the disk", listed.reason);
    }
    for (const std::u16string& path : paths) {
        if (taken_by_letter(path, taken, unresolved, disk_letters, system)) {
            continue;
        }
        const std::string volume = "volume " + utf16_for_display(path);
        std::unique_ptr<VolumeHandle> handle;
        Outcome step =
            open_retrying([&] { return system.open_volume_path(path.c_str(), &handle); }, system);
        if (!step.ok()) {
            return fail(kJobRefused, "cannot open " + volume, step);
        }
        step = lock_and_dismount(*handle, system);
        handles.unlettered.push_back(std::move(handle));
        if (!step.ok()) {
            return fail(kJobRefused, "cannot lock and dismount " + volume, step);
        }
    }
    return kJobSucceeded;
}

FormatJobResult take_volumes_away(const DiskInfo& disk, const char16_t* device_path,
                                  DiskSystem& system, JobHandles& handles,
                                  const FailureRecord& fail) {
    std::vector<std::u16string> taken;
    bool unresolved = false;  // a lettered volume whose GUID path could not be looked up
    const FormatJobResult result =
        take_lettered_volumes(disk, system, handles, &taken, &unresolved, fail);
    return result != kJobSucceeded
               ? result
               : take_unlettered_volumes(device_path, disk.drive_letters, system, handles, taken,
                                         unresolved, fail);
}

// Zeros over sectors 0 to 31: whatever partition table the disk had is gone.
FormatJobResult wipe_start(const DiskInfo& disk, uint32_t io_chunk, DiskDevice& device,
                           ProgressFn progress, void* owner, const FailureRecord& fail) {
    const uint32_t sector = disk.bytes_per_sector;
    std::unique_ptr<uint8_t[]> zeros = zeroed_buffer(sector);
    if (!zeros) {
        return fail(kJobNoMemory, "cannot wipe the disk", "out of memory");
    }
    Outcome failure;
    SectorWriter wipe;
    wipe.device = &device;
    wipe.unit_size = io_chunk;
    wipe.progress = progress;
    wipe.phase = kPhaseWipe;
    wipe.owner = owner;
    wipe.failure = &failure;
    for (uint32_t i = 0; i < kWipedSectors; ++i) {
        if (write_sectors(&wipe, uint64_t{i} * sector, zeros.get(), sector) != sector) {
            return fail(i == 0 ? kJobRefused : kJobWriteFailed, "wiping the disk", failure);
        }
    }
    return kJobSucceeded;
}

// The partition table, then a re-read of the disk's properties and a flush; with `verify`, the
// table read back from the medium.
FormatJobResult write_partition_table(const DiskInfo& disk, const FormatJobParams& params,
                                      const PartitionGeometry& geometry, const DiskGuids& guids,
                                      DiskDevice& device, bool verify, TargetLedger& ledger,
                                      uint64_t* verified_bytes, const FailureRecord& fail) {
    const uint32_t size =
        params.partition_style == PartitionStyle::gpt ? kGptLayoutBytes : kMbrLayoutBytes;
    const DriveLayoutRecord layout =
        make_drive_layout(params.partition_style, geometry, disk.bytes_per_sector, guids);
    {
        std::unique_ptr<uint8_t[]> buffer = zeroed_buffer(size);
        if (!buffer) {
            return fail(kJobNoMemory, "cannot write the partition table", "out of memory");
        }
        encode_drive_layout(layout, buffer.get(), size);
        const Outcome written = device.set_drive_layout(buffer.get(), size);
        if (!written.ok()) {
            // The table's primary part goes last: until it is written the disk has the empty
            // table of its re-initialisation, flushed with the file system.
            return fail(kJobRefused, "cannot write the partition table", written);
        }
    }
    const Outcome reread = device.update_properties();
    if (!reread.ok()) {
        return fail(kJobRefused, "cannot re-read the new partition table", reread);
    }
    // The table is what makes the disk usable: it reaches the medium before the job says done.
    const Outcome flushed = device.flush();
    if (!flushed.ok()) {
        return fail(kJobWriteFailed, "flushing after writing the partition table", flushed);
    }
    if (!verify) {
        return kJobSucceeded;
    }
    uint64_t table_bytes = 0;
    const Outcome checked =
        check_partition_table(device, layout, disk.bytes_per_sector, &table_bytes);
    *verified_bytes += table_bytes;
    if (!checked.ok()) {
        ledger.read_back_differed();
        return fail(kJobWriteFailed, "verifying the partition table", checked);
    }
    ledger.table_read_back();
    return kJobSucceeded;
}

FormatJobResult volume_result(ntfs_status status, const VolumeFormat& volume,
                              const FailureRecord& fail) {
    const FormatJobResult result = job_result_for(status);
    if (result == kJobSucceeded) {
        return result;
    }
    if (status == NTFS_WRITE_FAILED && !volume.failure.ok()) {
        return fail(result, "writing the file system", volume.failure);
    }
    if (status == NTFS_NO_SPACE) {
        // The sizes, so that the user sees how far the disk falls short.
        return fail(result, "formatting the volume",
                    "its data partition, " + std::to_string(volume.params.sector_count) +
                        " sectors of " + std::to_string(volume.params.bytes_per_sector) +
                        " bytes, is too small for an NTFS volume with its $MFT at 3 GiB");
    }
    return fail(result, "formatting the volume", ntfs_status_text(status));
}

// The parameters the job can refuse at once, and the partition geometry.
FormatJobResult check_params(const DiskInfo& disk, const FormatJobParams& params,
                             PartitionGeometry* geometry, const FailureRecord& fail) {
    if (params.partition_style != PartitionStyle::mbr &&
        params.partition_style != PartitionStyle::gpt) {
        return fail(kJobRefused, "cannot prepare the disk",
                    "unknown partition style " +
                        std::to_string(static_cast<int32_t>(params.partition_style)));
    }
    if (!is_supported_sector_size(disk.bytes_per_sector)) {
        return fail(kJobRefused, "cannot prepare the disk",
                    "unsupported sector size " + std::to_string(disk.bytes_per_sector));
    }
    if (compute_partition_geometry(disk.sector_count, disk.bytes_per_sector, params.partition_style,
                                   geometry) != kJobSucceeded) {
        return fail(kJobTooSmall, "cannot prepare the disk",
                    "it is too small for the partition layout");
    }
    const ClusterChoice clusters = data_cluster_size(disk, params, *geometry);
    if (clusters.cluster_size == 0) {
        return fail(kJobFormatFailed, "cannot prepare the disk", clusters.refusal);
    }
    return kJobSucceeded;
}

// A new empty partition table, and the disk's properties read again.
FormatJobResult reinitialise(DiskDevice& device, PartitionStyle style, const DiskGuids& guids,
                             const FailureRecord& fail) {
    Outcome step = device.create_disk(make_create_disk(style, guids));
    if (step.ok()) {
        step = device.update_properties();
    }
    return step.ok() ? kJobSucceeded : fail(kJobRefused, "cannot re-initialise the disk", step);
}

// The job's result of the volume's passes and what failed, in the job's words.
FormatJobResult passes_result(const VolumePassEnd& end, const VolumeFormat& volume,
                              const FailureRecord& fail) {
    switch (end.step) {
        case VolumeStep::zeroing:
            // The count's refusal is the file system's; anything else, a request that failed.
            return fail(end.status != NTFS_OK ? kJobFormatFailed : kJobWriteFailed,
                        "formatting the disk in full", end.outcome);
        case VolumeStep::writing:
            return volume_result(end.status, volume, fail);
        case VolumeStep::flushing:
            return fail(kJobWriteFailed, "cannot flush the disk", end.outcome);
        default: {
            Outcome failed = end.outcome;
            failed.reason += "; the partition table was not written";
            return fail(kJobWriteFailed, "verifying the file system", failed);
        }
    }
}

// The counting pass writes nothing: a volume that cannot be built is refused here, before the
// disk is even opened, and so is a full format of an image without the room for it.
FormatJobResult count_before_opening(VolumeFormat& volume, const char16_t* device_path, bool full,
                                     DiskSystem& system, const FailureRecord& fail) {
    const FormatJobResult result = volume_result(count_volume(volume), volume, fail);
    if (result != kJobSucceeded || !full) {
        return result;
    }
    const Outcome room = check_room_for_full_format(system, device_path);
    return room.ok()
               ? kJobSucceeded
               : fail(kJobRefused, "cannot format '" + path_for_display(device_path) + "' in full",
                      room.reason);
}

FormatJobResult run_job(void* owner, const DiskInfo& disk, const char16_t* device_path,
                        const FormatJobParams& params, DiskSystem& system, ProgressFn progress,
                        JobOptions options, TargetLedger& ledger, const FailureRecord& fail) {
    PartitionGeometry geometry;
    FormatJobResult result = check_params(disk, params, &geometry, fail);
    if (result != kJobSucceeded) {
        return result;
    }
    VolumeRequest request = data_volume_request(disk, params, geometry);
    const uint32_t io_chunk = request.io_chunk;
    request.progress = progress;
    request.owner = owner;
    VolumeFormat volume;
    setup_volume_format(request, volume);
    result = count_before_opening(volume, device_path, options.full, system, fail);
    if (result != kJobSucceeded) {
        return result;
    }
    // Every GUID the disk gets is drawn now: without them nothing is written.
    DiskGuids guids;
    const Outcome drawn = draw_disk_guids(params.partition_style, system, &guids);
    if (!drawn.ok()) {
        return fail(kJobRefused, "cannot prepare the disk", drawn.reason);
    }

    JobHandles handles;
    const Outcome opened =
        system.open_disk(device_path, disk.bytes_per_sector, DiskUse::whole_disk, &handles.disk);
    if (!opened.ok()) {
        return fail(kJobRefused, "cannot open '" + path_for_display(device_path) + "'", opened);
    }
    handles.disk = std::make_unique<LedgerDisk>(std::move(handles.disk), ledger);
    DiskDevice& device = *handles.disk;
    result = take_volumes_away(disk, device_path, system, handles, fail);
    if (result != kJobSucceeded) {
        return result;
    }
    // What the disk holds is read before the first write, so that what may remain of it after
    // a failure can be named.
    ledger.whole_disk = true;
    ledger.volume_offset = geometry.data_start * disk.bytes_per_sector;
    ledger.volume_bytes = geometry.data_sectors * disk.bytes_per_sector;
    ledger.zero_bytes = options.full ? disk.sector_count * disk.bytes_per_sector : 0;
    ledger.survey(device);
    // The zero pass covers the whole disk, the reserved partition, the gaps and the tail
    // included: a user who asks for a full format wants nothing old left anywhere. The old
    // table's sectors are wiped and the disk re-initialised before the file system's first
    // write; the partition table written after the volume is what makes it valid.
    VolumePassPlan plan;
    plan.zero_bytes = options.full ? disk.sector_count * disk.bytes_per_sector : 0;
    plan.verify = options.verify;
    plan.watch = options.watch;
    plan.ledger = &ledger;
    plan.before_writing = [&] {
        result = wipe_start(disk, io_chunk, device, progress, owner, fail);
        if (result == kJobSucceeded) {
            result = reinitialise(device, params.partition_style, guids, fail);
        }
        return result == kJobSucceeded;
    };
    const VolumePassEnd end = write_volume_passes(volume, device, plan);
    if (!end.outcome.ok() && options.summary != nullptr) {
        // What was read back and compared before the failure, for the record.
        options.summary->verified_bytes = end.summary.verified_bytes;
        options.summary->cache_displaced_bytes = end.summary.cache_displaced_bytes;
    }
    if (!end.outcome.ok()) {
        return end.step == VolumeStep::before_writing ? result : passes_result(end, volume, fail);
    }
    JobSummary summary = end.summary;
    result = write_partition_table(disk, params, geometry, guids, device, options.verify, ledger,
                                   &summary.verified_bytes, fail);
    if (options.summary != nullptr) {
        *options.summary = summary;
    }
    return result;
}

}  // namespace

FormatJobParams job_params_for(const DiskInfo& disk) {
    FormatJobParams params;
    params.partition_style =
        disk.sector_count <= kMbrMaxSectors ? PartitionStyle::mbr : PartitionStyle::gpt;
    std::memcpy(params.volume_label, kDefaultLabel, sizeof kDefaultLabel);
    params.cluster_size = 4096;
    return params;
}

FormatJobResult job_result_for(uint32_t ntfs_code) {
    switch (ntfs_code) {
        case NTFS_OK:
            return kJobSucceeded;
        case NTFS_NO_MEMORY:
            return kJobNoMemory;
        case NTFS_NO_SPACE:
            return kJobTooSmall;
        case NTFS_WRITE_FAILED:
            return kJobWriteFailed;
        default:
            return kJobFormatFailed;
    }
}

FormatJobResult prepare_disk(void* owner, const DiskInfo& disk, const FormatJobParams& params,
                             const JobContext& context) {
    const FailureRecord fail{context.failure};
    if (context.system == nullptr) {
        return fail(kJobRefused, "cannot prepare the disk", "no disk system was given");
    }
    TargetLedger own_ledger(disk.sector_count * disk.bytes_per_sector, disk.bytes_per_sector);
    TargetLedger& ledger = context.ledger != nullptr ? *context.ledger : own_ledger;
    FormatJobResult result = kJobFormatFailed;
    try {
        result = run_job(owner, disk,
                         context.device_path != nullptr ? context.device_path : disk.interface_path,
                         params, *context.system, context.progress, context.options, ledger, fail);
    } catch (const std::bad_alloc&) {
        result = kJobNoMemory;
    } catch (...) {
        result = kJobFormatFailed;
    }
    if (result != kJobSucceeded && context.failure != nullptr && ledger.writes_tried() != 0) {
        const TargetClaim claim = claim_target(ledger, "the disk");
        context.failure->holds = claim.words;
        context.failure->no_valid_volume = claim.no_valid_volume;
    }
    return result;
}

}  // namespace lintora
