// lintora volume FILE [options]: see kOptions.
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
#include "prep/target_claim.h"
#include "prep/target_ledger.h"
#include "prep/volume_format.h"
#include "prep/volume_passes.h"
#include "prep/volume_plan.h"
#include "tools/arguments.h"
#include "tools/command_start.h"
#include "tools/commands.h"
#include "tools/dry_run.h"
#include "tools/interrupt.h"
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
    "usage: lintora volume FILE [--sector-size 512|4096] [--sectors N] [--label TEXT] "
    "[--cluster-size BYTES|auto] [--io-chunk BYTES] [--full] [--verify] [--dry-run]\n"
    "       [--progress[=auto|bar|lines|none]] [--json]\n"
    "  Formats FILE (an image, a partition or a whole device) as one NTFS volume.\n",
    15,
    {
        {"--sector-size", Takes::value, kSectorSizeHelp},
        {"--sectors", Takes::value, "size of the volume in sectors (default: all of FILE)"},
        {"--label", Takes::value,
         "volume label, at most 128 UTF-16 units (default \"MAROVAN EXT\")"},
        {"--cluster-size", Takes::value, kClusterSizeHelp},
        {"--io-chunk", Takes::value, "largest single write in bytes (default 65536)"},
        {"--full", Takes::nothing,
         "write zeros over the whole volume first and map the sectors that fail\n"
         "as bad clusters; takes as long as writing all of FILE (16 TiB: writing\n"
         "16 TiB), and a sparse image becomes fully allocated"},
        {"--verify", Takes::nothing,
         "read everything written back from the medium and compare it before\n"
         "the volume is made valid; reads as much as was written, and 1 GiB more"},
        {"--dry-run", Takes::nothing,
         "make the checks that need no write access and the counting pass, print\n"
         "the plan, and open nothing for writing"},
        {"--progress", Takes::optional_value, kProgressHelp},
        {"--json", Takes::nothing,
         "end with one JSON object on stdout in place of the summary line"},
    },
};

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
    std::u16string label = kDefaultLabel;
    uint32_t cluster_request = kAutomaticClusterSize;
    uint64_t sectors = 0;
    uint32_t io_chunk = 65536;
    JobOptions options;
    bool dry_run = false;
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
                "the I/O chunk must be a whole number of sectors up to 16777216 bytes (16 MiB, the "
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
            DiskUse use, DiskSystem& system, RunEnding& ending) {
    const Outcome checked = system.check_without_writing(target.wide_path.c_str(), use);
    if (!checked.ok()) {
        ending.record.cause = cause_name(checked.cause);
        return ending.failed("cannot format '" + target.path + "': " + checked.reason +
                             "; nothing was written");
    }
    VolumePlan plan;
    const ntfs_status planned = plan_volume(volume, &plan);
    if (planned != NTFS_OK) {
        return ending.failed(std::string("cannot plan the volume: ") + ntfs_status_text(planned));
    }
    std::FILE* out = ending.json ? stderr : stdout;
    std::fprintf(out, "Target:      %s, %llu sectors of %u bytes\n", target.path.c_str(),
                 static_cast<unsigned long long>(choice.sectors), target.sector_size);
    print_volume_plan(out, plan);
    if (choice.options.full) {
        std::fprintf(out, "Full:        zeros over all %llu bytes first\n",
                     static_cast<unsigned long long>(choice.sectors * target.sector_size));
    }
    print_dry_run_end(out, target.info.kind == TargetKind::block_device);
    ending.record.planned = true;
    return ending(0);
}

// The record of a volume run as far as the plan knows it.
void describe_volume_run(const VolumeChoice& choice, const Target& target, uint32_t cluster_size,
                         RunRecord* record) {
    record->volume_bytes = choice.sectors * target.sector_size;
    record->cluster_size = cluster_size;
    record->clusters = cluster_size == 0
                           ? 0
                           : volume_cluster_count(choice.sectors, target.sector_size, cluster_size);
}

// Opens the target, writes the volume and says how it ended.
int format_target(VolumeFormat& volume, const VolumeChoice& choice, const Target& target,
                  DiskUse use, InterruptibleDisks& system, ProgressReport& report,
                  RunEnding& ending) {
    const std::string& path = target.path;
    RunRecord& record = ending.record;
    std::unique_ptr<DiskDevice> opened_device;
    const Outcome opened =
        system.open_disk(target.wide_path.c_str(), target.sector_size, use, &opened_device);
    if (!opened.ok()) {
        record.cause = cause_name(opened.cause);
        return ending.failed("cannot open '" + path + "' for writing: " + opened.reason);
    }
    // What the target holds is read before the first write, and kept as it is written.
    TargetLedger ledger(target.info.size_bytes / target.sector_size * target.sector_size,
                        target.sector_size);
    ledger.volume_bytes = record.volume_bytes;
    ledger.zero_bytes = choice.options.full ? record.volume_bytes : 0;
    std::unique_ptr<DiskDevice> device =
        std::make_unique<LedgerDisk>(std::move(opened_device), ledger);
    ledger.survey(*device);
    watch_for_interrupts();
    VolumePassPlan plan;
    plan.zero_bytes = choice.options.full ? record.volume_bytes : 0;
    plan.verify = choice.options.verify;
    plan.hold_boot_sectors = true;
    plan.watch = report.watch();
    plan.ledger = &ledger;
    const VolumePassEnd end = write_volume_passes(volume, *device, plan);
    device.reset();
    report.finish();
    record.seconds = report.elapsed();
    // Whatever the passes' end, a path that names another file now is what the user must hear:
    // the words below would speak of a file that was not written.
    if (const std::string moved = path_moved_note(system, target); !moved.empty()) {
        record.error_class = "failed";
        record.cause = cause_name(end.outcome.cause);
        return ending.failed((end.outcome.ok() ? "the volume was written whole, but "
                                               : pass_failure(end) + "; and ") +
                             moved);
    }
    if (!end.outcome.ok()) {
        const TargetClaim claim = claim_target(ledger, "'" + path + "'");
        const std::string& state = claim.words;
        record.no_valid_volume = claim.no_valid_volume;
        record.held = claim.ranges;
        record.verified_bytes = end.summary.verified_bytes;
        record.cache_displaced_bytes = end.summary.cache_displaced_bytes;
        record.error_class = claim.nothing_written ? "refused" : "failed";
        record.cause = cause_name(end.outcome.cause);
        if (const int signal_number = interrupting_signal()) {
            const std::string where = report.where();
            record.error_class = "interrupted";
            record.cause = "interrupted";
            record.error = "interrupted" + (where.empty() ? "" : " while " + where) + "; " + state;
            ending.say(record.error);
            return ending(128 + signal_number);
        }
        return ending.failed(pass_failure(end) + "; " + state);
    }
    const JobSummary& summary = end.summary;
    record.succeeded = true;
    record.bad_clusters = summary.bad_clusters;
    record.verified_bytes = summary.verified_bytes;
    record.cache_displaced_bytes = summary.cache_displaced_bytes;
    if (ending.json) {
        return ending(0);
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
    RunEnding ending = ending_for("volume", kOptions, words);
    std::unique_ptr<DiskSystem> platform = make_system_disks();
    InterruptibleDisks system(*platform);
    CommandStart start;
    if (const std::optional<int> ended = start_command(words, kOptions, system, ending, &start)) {
        return *ended;
    }
    const ParsedArguments& args = start.args;
    const Target& target = start.target;
    VolumeChoice choice;
    if (const Outcome parsed = parse_volume_choice(args, target, &choice); !parsed.ok()) {
        return ending.usage_error(parsed.reason);
    }

    // NTFS's cluster limits, before anything is opened.
    const ClusterChoice clusters =
        choose_cluster_size(choice.cluster_request, target.sector_size, choice.sectors);
    describe_volume_run(choice, target, clusters.cluster_size, &ending.record);
    if (clusters.cluster_size == 0) {
        return ending.failed(clusters.refusal + "; nothing was written");
    }
    ProgressReport report(stderr, start.mode);
    VolumeRequest request;
    request.label = choice.label.c_str();
    request.bytes_per_sector = target.sector_size;
    request.cluster_size = clusters.cluster_size;
    request.sector_count = choice.sectors;
    request.io_chunk = choice.io_chunk;
    VolumeFormat volume;
    setup_volume_format(request, volume);
    if (const Outcome step = check_before_writing(volume, choice, target, system); !step.ok()) {
        ending.record.cause = cause_name(step.cause);
        return ending.failed(step.reason);
    }
    // A whole disk given as a volume gets the checks a disk gets (a partition of it held open,
    // mounted or claimed): formatting over it destroys those partitions just the same.
    const DiskUse use = target.info.kind == TargetKind::block_device && !target.info.is_partition
                            ? DiskUse::whole_disk
                            : DiskUse::volume;
    return choice.dry_run ? dry_run(volume, choice, target, use, system, ending)
                          : format_target(volume, choice, target, use, system, report, ending);
}

}  // namespace lintora
