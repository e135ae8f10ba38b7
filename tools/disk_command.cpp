// lintora disk FILE [--sector-size 512|4096] [--yes] [--any-size]
// Runs the whole disk preparation job on a disk image or a block device: wipe, new partition
// table (MBR up to 0xFFFFFFFF sectors, GPT above), one NTFS data partition.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "discovery/disk_entry_text.h"
#include "discovery/disk_info.h"
#include "platform/raw_disk.h"
#include "platform/utf.h"
#include "prep/format_job.h"
#include "tools/arguments.h"
#include "tools/commands.h"
#include "tools/progress_bar.h"

namespace lintora {

namespace {

constexpr const char* kUsage =
    "usage: lintora disk FILE [--sector-size 512|4096] [--yes] [--any-size]\n";

int usage_error(const std::string& message) {
    std::fprintf(stderr, "lintora disk: %s\n%s", message.c_str(), kUsage);
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

}  // namespace

int run_disk_command(const std::vector<std::string>& words) {
    const ParsedArguments args = parse_arguments(words, {"--sector-size"}, {"--yes", "--any-size"});
    const TargetArguments target = parse_target(args);
    if (!target.error.empty()) {
        return usage_error(target.error);
    }
    const std::string& path = target.path;
    const uint32_t sector_size = target.sector_size;
    const std::u16string wide_path = utf8_to_utf16(path);
    if (wide_path.size() >= kPathUnits) {
        return usage_error("the path is longer than " + std::to_string(kPathUnits - 1) +
                           " UTF-16 characters");
    }
    const uint64_t size = disk_size_bytes(wide_path.c_str());
    if (size == 0) {
        return usage_error("cannot open '" + path + "', or it is empty");
    }

    DiskInfo disk{};
    wide_path.copy(disk.interface_path, wide_path.size());
    disk.sector_count = size / sector_size;
    disk.bytes_per_sector = sector_size;
    disk.io_chunk_size = kFallbackIoChunk;

    if (!args.has_switch("--any-size") && !is_capacity_supported(disk)) {
        std::fprintf(stderr,
                     "lintora disk: this disk is not supported (%s with %u-byte sectors; "
                     "--any-size formats it anyway)\n",
                     utf16_to_utf8(format_capacity(disk).c_str()).c_str(), sector_size);
        return 1;
    }

    FormatJobParams params;
    params.partition_style = disk.sector_count <= 0xFFFFFFFFull ? kStyleMbr : kStyleGpt;
    const char16_t label[] = u"MAROVAN EXT";
    std::memcpy(params.volume_label, label, sizeof label);
    params.cluster_size = 4096;

    if (!args.has_switch("--yes")) {
        std::printf("Disk:        %s\nCapacity:    %s\nSector size: %u bytes\nPartitions:  %s\n",
                    path.c_str(), utf16_to_utf8(format_capacity(disk).c_str()).c_str(), sector_size,
                    params.partition_style == kStyleMbr ? "MBR" : "GPT");
        if (!confirmed("Format this disk?") ||
            !confirmed("Warning: formatting erases all data recorded on the disk. Format it?")) {
            std::printf("Nothing was written.\n");
            return 1;
        }
    }

    std::unique_ptr<DiskSystem> system = make_system_disks(sector_size);
    ProgressBar bar(stderr);
    const FormatJobResult result = prepare_disk(&bar, disk, params, *system, &ProgressBar::report);
    bar.finish();
    if (result == kJobSucceeded || result == kJobRefused) {
        std::printf("%s\n", result_message(result));
    } else {
        std::printf("%s (%d)\n", result_message(result), result);
    }
    return result == kJobSucceeded ? 0 : 1;
}

}  // namespace lintora
