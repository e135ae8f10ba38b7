// lintora disk FILE [options]: see kUsage.
// Runs the whole disk preparation job on a disk image or a block device: wipe, new partition
// table (MBR up to 0xFFFFFFFF sectors, GPT above), one NTFS data partition.
#include <cstdio>
#include <iostream>
#include <string>

#include "discovery/disk_entry_text.h"
#include "discovery/disk_info.h"
#include "ntfs/cluster_limits.h"
#include "platform/encoding/utf.h"
#include "platform/raw_disk.h"
#include "prep/cluster_size.h"
#include "prep/disk_plan.h"
#include "prep/format_job.h"
#include "tools/arguments.h"
#include "tools/commands.h"
#include "tools/dry_run.h"
#include "tools/interrupt.h"
#include "tools/listed_disks.h"
#include "tools/progress_report.h"
#include "tools/run_json.h"
#include "tools/run_summary.h"
#include "tools/target.h"
#include "tools/terminal_text.h"

namespace lintora {

namespace {

constexpr const char* kUsage =
    "usage: lintora disk FILE [--sector-size 512|4096] [--cluster-size BYTES|auto] [--yes]\n"
    "                         [--any-size] [--any-disk] [--full] [--verify] [--dry-run]\n"
    "                         [--progress[=auto|bar|lines|none]] [--json]\n"
    "  Wipes FILE (a disk image or a whole block device), writes one NTFS data partition\n"
    "  labelled \"MAROVAN EXT\" and an MBR (up to 0xFFFFFFFF sectors) or GPT partition table.\n"
    "  --sector-size  logical sector size of an image (a device's own is always used)\n"
    "  --cluster-size bytes per cluster, a power of two up to 2097152; auto (the default):\n"
    "                 4096 up to 16 TiB, then the smallest that fits NTFS, up to 65536 (256 TiB)\n"
    "  --yes          do not ask for confirmation\n"
    "  --any-size     format a disk outside the supported capacity window (up to the largest\n"
    "                 volume NTFS allows with the chosen clusters)\n"
    "  --any-disk     format a block device that is not one of the maker's USB disks\n"
    "  --full         write zeros over the whole disk first and map the sectors that fail as\n"
    "                 bad clusters; takes as long as writing the whole disk (16 TiB: writing\n"
    "                 16 TiB), and a sparse image becomes fully allocated\n"
    "  --verify       read the file system and the partition table back from the medium and\n"
    "                 compare them; the table is written only after the rest compared equal\n"
    "  --dry-run      make the checks that need no write access and the counting pass, print\n"
    "                 the partitions and the volume's plan, and open nothing for writing\n"
    "  --progress     how progress shows on stderr: bar (one line redrawn), lines (a line per\n"
    "                 phase, a minute and 10 %), none; auto (the default): bar on a terminal,\n"
    "                 lines otherwise; a bare --progress means bar\n"
    "  --json         end with one JSON object on stdout in place of the summary lines\n";

int usage_error(const std::string& message) {
    std::fprintf(stderr, "lintora disk: %s\n%s", terminal_safe(message).c_str(), kUsage);
    return 2;
}

// Reads one answer; only "y" or "yes" agree, anything else (or no input at all) declines.
bool confirmed(const char* question) {
    std::printf("%s [y/N] ", question);
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::printf("\n");
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

// The program's own words for a result, after the precise line.
const char* result_message(FormatJobResult result) {
    switch (result) {
        case kJobSucceeded:
            return "Formatting has finished.";
        case kJobRefused:
            return "This disk cannot be formatted. Close every disk utility or other program "
                   "that uses it, remove any password set on it, and make sure no window shows "
                   "its contents; then format it again.";
        default:
            return "Formatting failed.";
    }
}

// The checks that need no write access, the counting pass and the plan; nothing is opened for
// writing and the kernel is asked nothing that changes its state.
int dry_run(const Target& target, const DiskInfo& disk, const FormatJobParams& params,
            DiskSystem& system) {
    const Outcome checked =
        system.check_without_writing(target.wide_path.c_str(), DiskUse::whole_disk);
    if (!checked.ok()) {
        std::fprintf(stderr, "lintora disk: cannot format '%s': %s; nothing was written\n",
                     target.path.c_str(), terminal_safe(checked.reason).c_str());
        return 1;
    }
    DiskPlan plan;
    JobFailure failure;
    if (plan_disk(disk, params, &plan, &failure) != kJobSucceeded) {
        std::fprintf(stderr, "lintora disk: %s: %s; nothing was written\n", failure.what.c_str(),
                     failure.why.c_str());
        return 1;
    }
    const uint32_t sector = disk.bytes_per_sector;
    const auto ull = [](uint64_t value) { return static_cast<unsigned long long>(value); };
    std::printf("Disk:        %s, %llu sectors of %u bytes\n", target.path.c_str(),
                ull(disk.sector_count), sector);
    if (params.partition_style == PartitionStyle::mbr) {
        std::printf("Partitions:  MBR; NTFS data partition at sector %llu, %llu sectors\n",
                    ull(plan.geometry.data_start), ull(plan.geometry.data_sectors));
    } else {
        std::printf(
            "Partitions:  GPT; reserved partition at sector %llu, %llu sectors; basic "
            "data partition at sector %llu, %llu sectors\n",
            ull(kGptReservedStart), ull(plan.geometry.msr_sectors), ull(plan.geometry.data_start),
            ull(plan.geometry.data_sectors));
    }
    print_volume_plan(plan.volume);
    std::printf("             and zeros over sectors 0 to 31, then the partition table\n");
    print_dry_run_end(target.info.kind == TargetKind::block_device);
    return 0;
}

// Shows the disk and asks twice; true only when both answers agree.
bool user_agrees(const std::string& path, const std::string& capacity, uint32_t sector_size,
                 const FormatJobParams& params, uint32_t cluster_size) {
    std::printf(
        "Disk:        %s\nCapacity:    %s\nSector size: %u bytes\nPartitions:  %s\n"
        "Clusters:    %u bytes\n",
        path.c_str(), capacity.c_str(), sector_size,
        params.partition_style == PartitionStyle::mbr ? "MBR" : "GPT", cluster_size);
    return confirmed("Format this disk?") &&
           confirmed("Warning: formatting erases all data recorded on the disk. Format it?");
}

// Runs the disk job and says how it ended.
int run_disk_job(const Target& target, const DiskInfo& disk, const FormatJobParams& params,
                 uint32_t cluster_size, const PartitionGeometry& geometry, JobOptions options,
                 ProgressMode mode, bool json, InterruptibleDisks& system) {
    const std::string& path = target.path;
    watch_for_interrupts();
    ProgressReport report(stderr, mode);
    JobFailure failure;
    JobSummary summary;
    options.watch = report.watch();
    options.summary = &summary;
    const FormatJobResult result = prepare_disk(nullptr, disk, params,
                                                JobContext{.system = &system,
                                                           .failure = &failure,
                                                           .device_path = target.wide_path.c_str(),
                                                           .options = options});
    report.finish();
    RunRecord record;
    record.succeeded = result == kJobSucceeded;
    record.target = target.wide_path;
    record.partition_style = params.partition_style == PartitionStyle::mbr ? "mbr" : "gpt";
    record.volume_offset = geometry.data_start * disk.bytes_per_sector;
    record.volume_bytes = geometry.data_sectors * disk.bytes_per_sector;
    record.cluster_size = cluster_size;
    record.clusters = cluster_size == 0 ? 0
                                        : volume_cluster_count(geometry.data_sectors,
                                                               disk.bytes_per_sector, cluster_size);
    record.bad_clusters = summary.bad_clusters;
    record.verified_bytes = summary.verified_bytes;
    record.seconds = report.elapsed();
    // With --json the run ends with its record on stdout, whatever the way out.
    const auto ended = [&](int status) {
        if (json) {
            std::printf("%s\n", run_json(record).c_str());
        }
        return status;
    };
    if (result == kJobSucceeded) {
        if (json) {
            return ended(0);
        }
        std::printf(
            "formatted %s: %s, one NTFS data partition, %u-byte clusters%s\n",
            terminal_safe(path).c_str(),
            params.partition_style == PartitionStyle::mbr ? "MBR" : "GPT", cluster_size,
            run_summary(summary.clusters * summary.cluster_size, summary, options, report.elapsed())
                .c_str());
        std::printf("%s\n", result_message(result));
        return 0;
    }
    record.no_valid_volume = system.writes() != 0;
    record.error_class = system.writes() == 0 ? "refused" : "failed";
    if (const int signal_number = interrupting_signal()) {
        const std::string state =
            system.writes() == 0 ? "nothing was written to '" + path + "'"
                                 : "'" + path + "' holds no partition table and no valid volume";
        const std::string where = report.where();
        record.error_class = "interrupted";
        record.error = "interrupted" + (where.empty() ? "" : " while " + where) + "; " + state;
        std::fprintf(stderr, "lintora disk: %s\n", record.error.c_str());
        return ended(128 + signal_number);
    }
    record.error = failure.what + ": " + failure.why;
    std::fprintf(stderr, "lintora disk: %s: %s\n", terminal_safe(failure.what).c_str(),
                 terminal_safe(failure.why).c_str());
    if (result == kJobRefused) {
        // The advice to close other programs only where another program is the likely cause;
        // a read-only device, a permission or an I/O error have their precise line alone.
        if (failure.in_use) {
            std::fprintf(stderr, "%s\n", result_message(result));
        }
    } else {
        std::fprintf(stderr, "%s (%d)\n", result_message(result), result);
    }
    if (system.writes() == 0) {
        std::fprintf(stderr, "Nothing was written.\n");
    }
    return ended(1);
}

}  // namespace

int run_disk_command(const std::vector<std::string>& words) {
    if (asks_for_help(words)) {
        print_help(kUsage);
        return 0;
    }
    const ParsedArguments args =
        parse_arguments(words, {"--sector-size", "--cluster-size", "--progress"},
                        {"--yes", "--any-size", "--any-disk", "--full", "--verify", "--dry-run",
                         "--progress", "--json"});
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
    const Outcome resolved = resolve_target(args, system, &target);
    if (!resolved.ok()) {
        return usage_error(resolved.reason);
    }
    const std::string& path = target.path;
    const uint32_t sector_size = target.sector_size;
    if (target.info.is_partition) {
        return usage_error("'" + path + "' is a partition, not a whole disk");
    }
    if (target.info.kind == TargetKind::block_device && !args.has_switch("--any-disk")) {
        const Outcome listed = is_listed_disk(target.wide_path.c_str());
        if (!listed.ok()) {
            std::fprintf(stderr,
                         "lintora disk: '%s' is not a disk this program formats: %s "
                         "(--any-disk formats it anyway)\n",
                         path.c_str(), terminal_safe(listed.reason).c_str());
            return 1;
        }
    }

    // The record holds a path as the program's records do; the job opens the path as given,
    // whatever its length.
    DiskInfo disk{};
    if (target.wide_path.size() < kPathUnits) {
        target.wide_path.copy(disk.interface_path, target.wide_path.size());
    }
    disk.sector_count = target.info.size_bytes / sector_size;
    disk.bytes_per_sector = sector_size;
    const std::string capacity = utf16_for_display(format_capacity(disk));

    if (!args.has_switch("--any-size") && !is_capacity_supported(disk)) {
        std::fprintf(stderr,
                     "lintora disk: this disk is not supported (%s, %llu sectors of %u bytes; "
                     "--any-size formats it anyway)\n",
                     capacity.c_str(), static_cast<unsigned long long>(disk.sector_count),
                     sector_size);
        return 1;
    }
    FormatJobParams params = job_params_for(disk);
    params.cluster_size = static_cast<int32_t>(kAutomaticClusterSize);
    if (const std::string* text = args.option("--cluster-size")) {
        const std::optional<uint32_t> request = parse_cluster_request(*text);
        if (!request || *request > INT32_MAX) {
            return usage_error("the cluster size must be auto or a number of bytes, not '" + *text +
                               "'");
        }
        params.cluster_size = static_cast<int32_t>(*request);
    }
    // NTFS's cluster limits for the data partition, before anything is asked or opened; a disk
    // too small for the layout is refused by the plan and the job with their own words.
    uint32_t cluster_size = 0;
    PartitionGeometry geometry;
    if (compute_partition_geometry(disk.sector_count, sector_size, params.partition_style,
                                   &geometry) == kJobSucceeded) {
        const ClusterChoice clusters = data_cluster_size(disk, params, geometry);
        if (clusters.cluster_size == 0) {
            std::fprintf(stderr, "lintora disk: cannot prepare the disk: %s; nothing was written\n",
                         clusters.refusal.c_str());
            return 1;
        }
        cluster_size = clusters.cluster_size;
    }
    if (args.has_switch("--dry-run")) {
        return dry_run(target, disk, params, system);
    }

    if (!args.has_switch("--yes") &&
        !user_agrees(path, capacity, sector_size, params, cluster_size)) {
        std::printf("Nothing was written.\n");
        return 1;
    }
    JobOptions options;
    options.full = args.has_switch("--full");
    options.verify = args.has_switch("--verify");
    return run_disk_job(target, disk, params, cluster_size, geometry, options, *mode,
                        args.has_switch("--json"), system);
}

}  // namespace lintora
