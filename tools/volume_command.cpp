// lintora volume FILE [options]: see kUsage.
// Formats FILE as one NTFS volume covering its first N sectors: a counting pass, then the
// volume's passes the disk preparation job runs too. The boot sector and its backup are written
// last, so an interrupted run leaves no valid-looking volume behind.
#include <cstdio>
#include <string>

#include "ntfs/cluster_limits.h"
#include "platform/encoding/utf.h"
#include "platform/raw_disk.h"
#include "prep/cluster_size.h"
#include "prep/format_job.h"
#include "prep/full_format.h"
#include "prep/volume_format.h"
#include "prep/volume_passes.h"
#include "prep/volume_plan.h"
#include "tools/arguments.h"
#include "tools/commands.h"
#include "tools/dry_run.h"
#include "tools/interrupt.h"
#include "tools/progress_report.h"
#include "tools/run_json.h"
#include "tools/run_summary.h"
#include "tools/target.h"
#include "tools/terminal_text.h"

namespace lintora {

namespace {

constexpr const char* kUsage =
    "usage: lintora volume FILE [--sector-size 512|4096] [--sectors N] [--label TEXT] "
    "[--cluster-size BYTES|auto] [--io-chunk BYTES] [--full] [--verify] [--dry-run]\n"
    "       [--progress[=auto|bar|lines|none]] [--json]\n"
    "  Formats FILE (an image, a partition or a whole device) as one NTFS volume.\n"
    "  --sector-size  logical sector size of an image (a device's own is always used)\n"
    "  --sectors      size of the volume in sectors (default: all of FILE)\n"
    "  --label        volume label, at most 128 UTF-16 units (default \"MAROVAN EXT\")\n"
    "  --cluster-size bytes per cluster, a power of two up to 2097152; auto (the default):\n"
    "                 4096 up to 16 TiB, then the smallest that fits NTFS, up to 65536 (256 TiB)\n"
    "  --io-chunk     largest single write in bytes (default 65536)\n"
    "  --full         write zeros over the whole volume first and map the sectors that fail\n"
    "                 as bad clusters; takes as long as writing all of FILE (16 TiB: writing\n"
    "                 16 TiB), and a sparse image becomes fully allocated\n"
    "  --verify       read everything written back from the medium and compare it before\n"
    "                 the volume is made valid; reads as much as was written\n"
    "  --dry-run      make the checks that need no write access and the counting pass, print\n"
    "                 the plan, and open nothing for writing\n"
    "  --progress     how progress shows on stderr: bar (one line redrawn), lines (a line per\n"
    "                 phase, a minute and 10 %), none; auto (the default): bar on a terminal,\n"
    "                 lines otherwise; a bare --progress means bar\n"
    "  --json         end with one JSON object on stdout in place of the summary line\n";

int usage_error(const std::string& message) {
    std::fprintf(stderr, "lintora volume: %s\n%s", terminal_safe(message).c_str(), kUsage);
    return 2;
}

int failed(const std::string& message) {
    std::fprintf(stderr, "lintora volume: %s\n", terminal_safe(message).c_str());
    return 1;
}

// The label as UTF-16, or what is wrong with it.
Outcome parse_label(const std::string& text, std::u16string* label) {
    const std::optional<std::u16string> units = utf8_to_utf16(text);
    if (!units) {
        return Outcome::failure("the label is not valid UTF-8");
    }
    if (units->find(u'\0') != std::u16string::npos) {
        return Outcome::failure("the label holds a NUL character");
    }
    if (units->size() > kMaxLabelUnits) {
        return Outcome::failure("the label is longer than " + std::to_string(kMaxLabelUnits) +
                                " UTF-16 characters");
    }
    *label = *units;
    return Outcome::success();
}

// What failed in writing the volume, in the command's words.
std::string pass_failure(const VolumePassEnd& end) {
    const std::string& reason = end.outcome.reason;
    switch (end.step) {
        case VolumeStep::clearing_boot_sectors:
            return "cannot clear the boot sectors: " + reason;
        case VolumeStep::flushing:
            return "flushing after writing the file system failed: " + reason +
                   "; the boot sectors were not written";
        case VolumeStep::verifying:
            return reason + "; the boot sectors were not written";
        case VolumeStep::committing_boot_sectors:
            return "cannot write the boot sectors: " + reason;
        case VolumeStep::flushing_boot_sectors:
            return "flushing after writing the boot sectors failed: " + reason;
        default:  // the zero pass, the writing pass, the boot sectors read back
            return reason;
    }
}

// What the command line asks of the volume, beyond its target.
struct VolumeChoice {
    std::u16string label = u"MAROVAN EXT";
    uint32_t cluster_request = kAutomaticClusterSize;
    uint64_t sectors = 0;
    uint32_t io_chunk = 65536;
    JobOptions options;
    bool dry_run = false;
    bool json = false;
};

// The options' values, checked against the target; what is wrong with them, or success.
Outcome parse_volume_choice(const ParsedArguments& args, const Target& target,
                            VolumeChoice* choice) {
    if (const std::string* text = args.option("--label")) {
        Outcome parsed = parse_label(*text, &choice->label);
        if (!parsed.ok()) {
            return parsed;
        }
    }
    if (const std::string* text = args.option("--cluster-size")) {
        const std::optional<uint32_t> request = parse_cluster_request(*text);
        if (!request) {
            return Outcome::failure("the cluster size must be auto or a number of bytes, not '" +
                                    *text + "'");
        }
        choice->cluster_request = *request;
    }
    const uint32_t sector_size = target.sector_size;
    if (const std::string* text = args.option("--io-chunk")) {
        const auto value = parse_count(*text);
        if (!value || *value == 0 || *value % sector_size != 0 || *value > kMaxIoChunk) {
            return Outcome::failure(
                "the I/O chunk must be a whole number of sectors up to 1048576 bytes (1 MiB, the "
                "largest write the job makes), not '" +
                *text + "'");
        }
        choice->io_chunk = static_cast<uint32_t>(*value);
    }
    choice->sectors = target.info.size_bytes / sector_size;
    if (const std::string* text = args.option("--sectors")) {
        const auto value = parse_count(*text);
        if (!value || *value == 0) {
            return Outcome::failure("the sector count must be a positive whole number, not '" +
                                    *text + "'");
        }
        if (*value > choice->sectors) {
            return Outcome::failure("'" + target.path + "' holds only " +
                                    std::to_string(choice->sectors) + " sectors, fewer than the " +
                                    *text + " asked for");
        }
        choice->sectors = *value;
    }
    choice->options.full = args.has_switch("--full");
    choice->options.verify = args.has_switch("--verify");
    choice->dry_run = args.has_switch("--dry-run");
    choice->json = args.has_switch("--json");
    return Outcome::success();
}

// The counting pass writes nothing: a volume too small for the layout is refused here, and a
// full format of an image whose file system lacks the room. Success, or what is refused.
Outcome check_before_writing(VolumeFormat& volume, const VolumeChoice& choice, const Target& target,
                             DiskSystem& system) {
    const ntfs_status counted = count_volume(volume);
    if (counted == NTFS_NO_SPACE) {
        return Outcome::failure(std::to_string(choice.sectors) + " sectors of " +
                                std::to_string(target.sector_size) +
                                " bytes are too small for an NTFS volume with its $MFT at 3 GiB");
    }
    if (counted != NTFS_OK) {
        return Outcome::failure("formatting failed with code " + std::to_string(counted) + ": " +
                                ntfs_status_text(counted));
    }
    if (!choice.options.full) {
        return Outcome::success();
    }
    Outcome room = check_room_for_full_format(system, target.wide_path.c_str());
    if (!room.ok()) {
        room.reason =
            "cannot format '" + target.path + "' in full: " + room.reason + "; nothing was written";
    }
    return room;
}

// The checks that need no write access and the plan; nothing is opened for writing.
int dry_run(const VolumeFormat& volume, const VolumeChoice& choice, const Target& target,
            DiskUse use, DiskSystem& system) {
    const Outcome checked = system.check_without_writing(target.wide_path.c_str(), use);
    if (!checked.ok()) {
        return failed("cannot format '" + target.path + "': " + checked.reason +
                      "; nothing was written");
    }
    VolumePlan plan;
    const ntfs_status planned = plan_volume(volume, &plan);
    if (planned != NTFS_OK) {
        return failed(std::string("cannot plan the volume: ") + ntfs_status_text(planned));
    }
    std::printf("Target:      %s, %llu sectors of %u bytes\n", target.path.c_str(),
                static_cast<unsigned long long>(choice.sectors), target.sector_size);
    print_volume_plan(plan);
    if (choice.options.full) {
        std::printf("Full:        zeros over all %llu bytes first\n",
                    static_cast<unsigned long long>(choice.sectors * target.sector_size));
    }
    print_dry_run_end(target.info.kind == TargetKind::block_device);
    return 0;
}

// Opens the target, writes the volume and says how it ended.
int format_target(VolumeFormat& volume, const VolumeChoice& choice, const Target& target,
                  DiskUse use, InterruptibleDisks& system, ProgressReport& report) {
    const std::string& path = target.path;
    RunRecord record;
    record.target = target.wide_path;
    record.partition_style = "none";
    record.volume_bytes = choice.sectors * target.sector_size;
    record.cluster_size = volume.params.cluster_size;
    record.clusters =
        volume_cluster_count(choice.sectors, target.sector_size, volume.params.cluster_size);
    // With --json the run ends with its record on stdout, whatever the way out.
    const auto ended = [&](int status) {
        record.seconds = report.elapsed();
        if (choice.json) {
            std::printf("%s\n", run_json(record).c_str());
        }
        return status;
    };
    std::unique_ptr<DiskDevice> device;
    const Outcome opened =
        system.open_disk(target.wide_path.c_str(), target.sector_size, use, &device);
    if (!opened.ok()) {
        record.error_class = "refused";
        record.error = "cannot open '" + path + "' for writing: " + opened.reason;
        return ended(failed(record.error));
    }
    watch_for_interrupts();
    VolumePassPlan plan;
    plan.zero_bytes = choice.options.full ? record.volume_bytes : 0;
    plan.verify = choice.options.verify;
    plan.hold_boot_sectors = true;
    plan.watch = report.watch();
    const VolumePassEnd end = write_volume_passes(volume, *device, plan);
    report.finish();
    if (!end.outcome.ok()) {
        const std::string failure = pass_failure(end);
        const std::string state = system.writes() == 0 ? "nothing was written to '" + path + "'"
                                  : end.volume_may_remain
                                      ? "'" + path + "' may hold a volume that was not verified"
                                      : "'" + path + "' holds no valid volume";
        record.no_valid_volume = system.writes() != 0 && !end.volume_may_remain;
        record.error_class = system.writes() == 0 ? "refused" : "failed";
        if (const int signal_number = interrupting_signal()) {
            const std::string where = report.where();
            record.error_class = "interrupted";
            record.error = "interrupted" + (where.empty() ? "" : " while " + where) + "; " + state;
            std::fprintf(stderr, "lintora volume: %s\n", record.error.c_str());
            return ended(128 + signal_number);
        }
        record.error = failure + "; " + state;
        return ended(failed(record.error));
    }
    const JobSummary& summary = end.summary;
    record.succeeded = true;
    record.bad_clusters = summary.bad_clusters;
    record.verified_bytes = summary.verified_bytes;
    if (choice.json) {
        return ended(0);
    }
    std::printf(
        "formatted %s: NTFS, %llu sectors of %u bytes, %u-byte clusters, label \"%s\"%s\n",
        path.c_str(), static_cast<unsigned long long>(choice.sectors), target.sector_size,
        volume.params.cluster_size, terminal_safe(utf16_for_display(choice.label)).c_str(),
        run_summary(record.volume_bytes, summary, choice.options, report.elapsed()).c_str());
    return 0;
}

}  // namespace

int run_volume_command(const std::vector<std::string>& words) {
    if (asks_for_help(words)) {
        print_help(kUsage);
        return 0;
    }
    const ParsedArguments args = parse_arguments(
        words,
        {"--sector-size", "--sectors", "--label", "--cluster-size", "--io-chunk", "--progress"},
        {"--full", "--verify", "--dry-run", "--progress", "--json"});
    if (!args.error.empty()) {
        return usage_error(args.error);
    }
    const std::optional<ProgressMode> mode = progress_choice(args, stderr);
    if (!mode) {
        return usage_error("the progress must be auto, bar, lines or none, not '" +
                           *args.option("--progress") + "'");
    }
    std::unique_ptr<DiskSystem> platform = make_system_disks();
    InterruptibleDisks system(*platform);
    Target target;
    VolumeChoice choice;
    Outcome step = resolve_target(args, system, &target);
    if (step.ok()) {
        step = parse_volume_choice(args, target, &choice);
    }
    if (!step.ok()) {
        return usage_error(step.reason);
    }

    // NTFS's cluster limits, before anything is opened.
    const ClusterChoice clusters =
        choose_cluster_size(choice.cluster_request, target.sector_size, choice.sectors);
    if (clusters.cluster_size == 0) {
        return failed(clusters.refusal + "; nothing was written");
    }
    ProgressReport report(stderr, *mode);
    VolumeRequest request;
    request.label = choice.label.c_str();
    request.bytes_per_sector = target.sector_size;
    request.cluster_size = clusters.cluster_size;
    request.sector_count = choice.sectors;
    request.io_chunk = choice.io_chunk;
    VolumeFormat volume;
    setup_volume_format(request, volume);
    step = check_before_writing(volume, choice, target, system);
    if (!step.ok()) {
        return failed(step.reason);
    }
    // A whole disk given as a volume gets the checks a disk gets (a partition of it held open,
    // mounted or claimed): formatting over it destroys those partitions just the same.
    const DiskUse use = target.info.kind == TargetKind::block_device && !target.info.is_partition
                            ? DiskUse::whole_disk
                            : DiskUse::volume;
    return choice.dry_run ? dry_run(volume, choice, target, use, system)
                          : format_target(volume, choice, target, use, system, report);
}

}  // namespace lintora
