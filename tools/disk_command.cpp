// lintora disk FILE [options]: see kOptions.
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
#include "prep/target_claim.h"
#include "prep/target_ledger.h"
#include "tools/arguments.h"
#include "tools/command_start.h"
#include "tools/commands.h"
#include "tools/dry_run.h"
#include "tools/interrupt.h"
#include "tools/listed_disks.h"
#include "tools/option_table.h"
#include "tools/progress_report.h"
#include "tools/run_ending.h"
#include "tools/run_json.h"
#include "tools/run_summary.h"
#include "tools/target.h"
#include "tools/terminal_text.h"

namespace lintora {

namespace {

using Takes = OptionSpec::Takes;

const CommandOptions kOptions = {
    "usage: lintora disk FILE [--sector-size 512|4096] [--cluster-size BYTES|auto] [--yes]\n"
    "                         [--any-size] [--any-disk] [--full] [--verify] [--dry-run]\n"
    "                         [--progress[=auto|bar|lines|none]] [--json]\n"
    "  Wipes FILE (a disk image or a whole block device), writes one NTFS data partition\n"
    "  labelled \"MAROVAN EXT\" and an MBR (up to 0xFFFFFFFF sectors) or GPT partition table.\n",
    15,
    {
        {"--sector-size", Takes::value, kSectorSizeHelp},
        {"--cluster-size", Takes::value, kClusterSizeHelp},
        {"--yes", Takes::nothing, "do not ask for confirmation"},
        {"--any-size", Takes::nothing,
         "format a disk outside the supported capacity window (up to the largest\n"
         "volume NTFS allows with the chosen clusters)"},
        {"--any-disk", Takes::nothing,
         "format a block device that is not one of the maker's USB disks"},
        {"--full", Takes::nothing,
         "write zeros over the whole disk first and map the sectors that fail as\n"
         "bad clusters; takes as long as writing the whole disk (16 TiB: writing\n"
         "16 TiB), and a sparse image becomes fully allocated"},
        {"--verify", Takes::nothing,
         "read the file system and the partition table back from the medium and\n"
         "compare them; the table is written only after the rest compared equal"},
        {"--dry-run", Takes::nothing,
         "make the checks that need no write access and the counting pass, print\n"
         "the partitions and the volume's plan, and open nothing for writing"},
        {"--progress", Takes::optional_value, kProgressHelp},
        {"--json", Takes::nothing,
         "end with one JSON object on stdout in place of the summary lines"},
    },
};

// Reads one answer; only "y" or "yes" agree, anything else (or no input at all) declines. The
// question goes to `out` (stderr when stdout carries the JSON record).
bool confirmed(std::FILE* out, const char* question) {
    std::fprintf(out, "%s [y/N] ", question);
    std::fflush(out);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::fprintf(out, "\n");
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
            DiskSystem& system, RunEnding& ending) {
    const Outcome checked =
        system.check_without_writing(target.wide_path.c_str(), DiskUse::whole_disk);
    if (!checked.ok()) {
        ending.record.cause = cause_name(checked.cause);
        return ending.failed("cannot format '" + target.path + "': " + checked.reason +
                             "; nothing was written");
    }
    DiskPlan plan;
    JobFailure failure;
    if (plan_disk(disk, params, &plan, &failure) != kJobSucceeded) {
        return ending.failed(failure.what + ": " + failure.why + "; nothing was written");
    }
    std::FILE* out = ending.json ? stderr : stdout;
    const uint32_t sector = disk.bytes_per_sector;
    const auto ull = [](uint64_t value) { return static_cast<unsigned long long>(value); };
    std::fprintf(out, "Disk:        %s, %llu sectors of %u bytes\n", target.path.c_str(),
                 ull(disk.sector_count), sector);
    if (params.partition_style == PartitionStyle::mbr) {
        std::fprintf(out, "Partitions:  MBR; NTFS data partition at sector %llu, %llu sectors\n",
                     ull(plan.geometry.data_start), ull(plan.geometry.data_sectors));
    } else {
        std::fprintf(out,
                     "Partitions:  GPT; reserved partition at sector %llu, %llu sectors; basic "
                     "data partition at sector %llu, %llu sectors\n",
                     ull(kGptReservedStart), ull(plan.geometry.msr_sectors),
                     ull(plan.geometry.data_start), ull(plan.geometry.data_sectors));
    }
    print_volume_plan(out, plan.volume);
    std::fprintf(out, "             and zeros over sectors 0 to 31, then the partition table\n");
    print_dry_run_end(out, target.info.kind == TargetKind::block_device);
    ending.record.planned = true;
    return ending(0);
}

// Shows the disk on `out` and asks twice; true only when both answers agree.
bool user_agrees(std::FILE* out, const std::string& path, const std::string& capacity,
                 uint32_t sector_size, const FormatJobParams& params, uint32_t cluster_size) {
    std::fprintf(out,
                 "Disk:        %s\nCapacity:    %s\nSector size: %u bytes\nPartitions:  %s\n"
                 "Clusters:    %u bytes\n",
                 path.c_str(), capacity.c_str(), sector_size,
                 params.partition_style == PartitionStyle::mbr ? "MBR" : "GPT", cluster_size);
    return confirmed(out, "Format this disk?") &&
           confirmed(out, "Warning: formatting erases all data recorded on the disk. Format it?");
}

// Which step a signal stopped: the pass the progress shows, or the job's step before the passes.
std::string interrupted_step(const ProgressReport& report, const JobFailure& failure) {
    const std::string where = report.where();
    if (!where.empty()) {
        return " while " + where;
    }
    return failure.what.rfind("cannot ", 0) == 0 ? " at the step: " + failure.what
                                                 : " while " + failure.what;
}

// Runs the disk job and says how it ended.
int run_disk_job(const Target& target, const DiskInfo& disk, const FormatJobParams& params,
                 JobOptions options, ProgressMode mode, InterruptibleDisks& system,
                 RunEnding& ending) {
    const std::string& path = target.path;
    watch_for_interrupts();
    ProgressReport report(stderr, mode);
    JobFailure failure;
    JobSummary summary;
    options.watch = report.watch();
    options.summary = &summary;
    TargetLedger ledger(disk.sector_count * disk.bytes_per_sector, disk.bytes_per_sector);
    const FormatJobResult result = prepare_disk(nullptr, disk, params,
                                                JobContext{.system = &system,
                                                           .failure = &failure,
                                                           .device_path = target.wide_path.c_str(),
                                                           .options = options,
                                                           .ledger = &ledger});
    report.finish();
    RunRecord& record = ending.record;
    // A path that names another disk or file now: the words below would speak of the wrong one.
    if (const std::string moved = path_moved_note(system, target); !moved.empty()) {
        record.error_class = "failed";
        record.cause = cause_name(failure.cause);
        return ending.failed((result == kJobSucceeded
                                  ? std::string("the disk was prepared whole, but ")
                                  : failure.what + ": " + failure.why + "; and ") +
                             moved);
    }
    record.succeeded = result == kJobSucceeded;
    record.bad_clusters = summary.bad_clusters;
    record.verified_bytes = summary.verified_bytes;
    record.cache_displaced_bytes = summary.cache_displaced_bytes;
    record.seconds = report.elapsed();
    if (result == kJobSucceeded) {
        if (ending.json) {
            return ending(0);
        }
        std::printf(
            "formatted %s: %s, one NTFS data partition, %u-byte clusters%s\n",
            terminal_safe(path).c_str(),
            params.partition_style == PartitionStyle::mbr ? "MBR" : "GPT", record.cluster_size,
            run_summary(summary.clusters * summary.cluster_size, summary, options, report.elapsed())
                .c_str());
        std::printf("%s\n", result_message(result));
        return 0;
    }
    const TargetClaim claim = claim_target(ledger, "'" + path + "'");
    const std::string& state = claim.words;
    const bool written = !claim.nothing_written;
    record.no_valid_volume = claim.no_valid_volume;
    record.held = claim.ranges;
    record.error_class = written ? "failed" : "refused";
    record.cause = cause_name(failure.cause);
    if (const int signal_number = interrupting_signal()) {
        record.error_class = "interrupted";
        record.cause = "interrupted";
        record.error = "interrupted" + interrupted_step(report, failure) + "; " + state;
        ending.say(record.error);
        return ending(128 + signal_number);
    }
    record.error = failure.what + ": " + failure.why + (written ? "; " + state : "");
    ending.say(record.error);
    if (result == kJobRefused) {
        // The advice to close other programs only where another program is the likely cause;
        // a read-only device, a permission or an I/O error have their precise line alone.
        if (failure.in_use) {
            std::fprintf(stderr, "%s\n", result_message(result));
        }
    } else {
        std::fprintf(stderr, "%s (%d)\n", result_message(result), result);
    }
    if (!written) {
        std::fprintf(stderr, "Nothing was written.\n");
    }
    return ending(1);
}

// What the command line asks of the disk, beyond its target.
struct DiskChoice {
    FormatJobParams params;
    JobOptions options;
    bool dry_run = false;
    bool asks = true;  // no --yes
    bool any_size = false;
    bool any_disk = false;
};

// The options' values; what is wrong with them, or success.
Outcome parse_disk_choice(const ParsedArguments& args, const DiskInfo& disk, DiskChoice* choice) {
    choice->params = job_params_for(disk);
    choice->params.cluster_size = static_cast<int32_t>(kAutomaticClusterSize);
    if (const std::string* text = args.option("--cluster-size")) {
        const std::optional<uint32_t> request = parse_cluster_request(*text);
        if (!request || *request > INT32_MAX) {
            return Outcome::failure("the cluster size must be auto or a number of bytes, not '" +
                                    *text + "'");
        }
        choice->params.cluster_size = static_cast<int32_t>(*request);
    }
    choice->options.full = args.has_switch("--full");
    choice->options.verify = args.has_switch("--verify");
    choice->dry_run = args.has_switch("--dry-run");
    choice->asks = !args.has_switch("--yes");
    choice->any_size = args.has_switch("--any-size");
    choice->any_disk = args.has_switch("--any-disk");
    return Outcome::success();
}

// The record of a disk job as far as the plan knows it: partitions, volume and clusters.
void describe_disk_run(const DiskInfo& disk, const FormatJobParams& params,
                       const PartitionGeometry& geometry, uint32_t cluster_size,
                       RunRecord* record) {
    record->partition_style = params.partition_style == PartitionStyle::mbr ? "mbr" : "gpt";
    record->volume_offset = geometry.data_start * disk.bytes_per_sector;
    record->volume_bytes = geometry.data_sectors * disk.bytes_per_sector;
    record->cluster_size = cluster_size;
    record->clusters =
        cluster_size == 0
            ? 0
            : volume_cluster_count(geometry.data_sectors, disk.bytes_per_sector, cluster_size);
}

// The disk record of a target, as the program's records are: the job opens the path as given,
// whatever its length, and the record holds it where it fits.
DiskInfo disk_record_of(const Target& target) {
    DiskInfo disk{};
    if (target.wide_path.size() < kPathUnits) {
        target.wide_path.copy(disk.interface_path, target.wide_path.size());
    }
    disk.sector_count = target.info.size_bytes / target.sector_size;
    disk.bytes_per_sector = target.sector_size;
    return disk;
}

// The checks that refuse a disk before anything is asked or opened: a device that is not one
// of the maker's, a disk outside the window, NTFS's cluster limits for the data partition (a
// disk too small for the layout is refused by the plan and the job with their own words). The
// record learns the partitions and clusters; the exit status when the disk is refused.
std::optional<int> refuse_disk(const Target& target, const DiskInfo& disk, const DiskChoice& choice,
                               RunEnding& ending, uint32_t* cluster_size) {
    const std::string& path = target.path;
    if (target.info.kind == TargetKind::block_device && !choice.any_disk) {
        const Outcome listed = is_listed_disk(target.wide_path.c_str());
        if (!listed.ok()) {
            return ending.failed("'" + path + "' is not a disk this program formats: " +
                                 listed.reason + " (--any-disk formats it anyway)");
        }
    }
    if (!choice.any_size && !is_capacity_supported(disk)) {
        return ending.failed(
            "this disk is not supported (" + utf16_for_display(format_capacity(disk)) + ", " +
            std::to_string(disk.sector_count) + " sectors of " +
            std::to_string(disk.bytes_per_sector) + " bytes; --any-size formats it anyway)");
    }
    *cluster_size = 0;
    PartitionGeometry geometry;
    if (compute_partition_geometry(disk.sector_count, disk.bytes_per_sector,
                                   choice.params.partition_style, &geometry) == kJobSucceeded) {
        const ClusterChoice clusters = data_cluster_size(disk, choice.params, geometry);
        if (clusters.cluster_size == 0) {
            return ending.failed("cannot prepare the disk: " + clusters.refusal +
                                 "; nothing was written");
        }
        *cluster_size = clusters.cluster_size;
    }
    describe_disk_run(disk, choice.params, geometry, *cluster_size, &ending.record);
    return std::nullopt;
}

}  // namespace

int run_disk_command(const std::vector<std::string>& words) {
    RunEnding ending = ending_for("disk", kOptions, words);
    std::unique_ptr<DiskSystem> platform = make_system_disks();
    InterruptibleDisks system(*platform);
    CommandStart start;
    if (const std::optional<int> ended = start_command(words, kOptions, system, ending, &start)) {
        return *ended;
    }
    const Target& target = start.target;
    if (target.info.is_partition) {
        return ending.failed("'" + target.path + "' is a partition, not a whole disk");
    }
    const DiskInfo disk = disk_record_of(target);
    DiskChoice choice;
    if (const Outcome parsed = parse_disk_choice(start.args, disk, &choice); !parsed.ok()) {
        return ending.usage_error(parsed.reason);
    }
    uint32_t cluster_size = 0;
    if (const std::optional<int> ended = refuse_disk(target, disk, choice, ending, &cluster_size)) {
        return *ended;
    }
    if (choice.dry_run) {
        return dry_run(target, disk, choice.params, system, ending);
    }
    if (choice.asks && !user_agrees(ending.json ? stderr : stdout, target.path,
                                    utf16_for_display(format_capacity(disk)), disk.bytes_per_sector,
                                    choice.params, cluster_size)) {
        std::fprintf(ending.json ? stderr : stdout, "Nothing was written.\n");
        ending.record.error = "the user did not confirm; nothing was written";
        return ending(1);
    }
    return run_disk_job(target, disk, choice.params, choice.options, start.mode, system, ending);
}

}  // namespace lintora
