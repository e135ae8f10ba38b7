// lintora list [--any-vendor] [--json]
// Lists the disks the program would offer, in its order: the entry text, the device path, and
// whether the disk can be formatted; with --json as a JSON array, for scripts.
#include <cstdio>
#include <string>

#include "discovery/disk_entry_text.h"
#include "discovery/enumerate_disks.h"
#include "platform/encoding/utf.h"
#include "tools/arguments.h"
#include "tools/commands.h"
#include "tools/json_text.h"
#include "tools/listed_disks.h"
#include "tools/option_table.h"
#include "tools/terminal_text.h"

namespace lintora {

namespace {

const CommandOptions kOptions = {
    "usage: lintora list [--any-vendor] [--json]\n"
    "  Lists the maker's fixed USB disks as the program shows them: drive letters, name and\n"
    "  capacity, the device path, and whether the disk can be formatted.\n",
    14,
    {
        {"--any-vendor", OptionSpec::Takes::nothing, "list fixed USB disks of every vendor"},
        {"--json", OptionSpec::Takes::nothing,
         "print the list as a JSON array (path, entry, capacity_bytes, sector_size,\n"
         "letters, formattable, reason)"},
    },
};

// Success when the program formats the disk; otherwise why it does not.
Outcome formattable(const DiskInfo& disk) {
    return is_capacity_supported(disk)
               ? Outcome::success()
               : Outcome::failure(std::to_string(disk.sector_count) + " sectors of " +
                                  std::to_string(disk.bytes_per_sector) +
                                  " bytes lie outside the disks this program formats");
}

// One disk as a JSON object on one line.
std::string json_disk(const DiskInfo& disk) {
    const Outcome verdict = formattable(disk);
    const std::string& reason = verdict.reason;
    std::string letters;
    for_each_drive_letter(disk.drive_letters, [&](char letter) {
        letters += (letters.empty() ? "\"" : ", \"") + std::string(1, letter) + ":\"";
    });
    return "{\"path\": " + json_string(disk.interface_path) +
           ", \"entry\": " + json_string(format_disk_entry(disk)) +
           ", \"capacity_bytes\": " + std::to_string(disk.sector_count * disk.bytes_per_sector) +
           ", \"sector_size\": " + std::to_string(disk.bytes_per_sector) + ", \"letters\": [" +
           letters + "], \"formattable\": " + (verdict.ok() ? "true" : "false") + ", \"reason\": " +
           (verdict.ok() ? "null" : json_string(std::u16string(reason.begin(), reason.end()))) +
           "}";
}

}  // namespace

int run_list_command(const std::vector<std::string>& words) {
    if (asks_for_help(words)) {
        print_help(usage_text(kOptions).c_str());
        return 0;
    }
    const ParsedArguments args = parse_with(words, kOptions);
    if (!args.error.empty() || !args.positionals.empty()) {
        std::fprintf(stderr, "lintora list: %s\n%s",
                     args.error.empty() ? "no FILE is taken" : args.error.c_str(),
                     usage_text(kOptions).c_str());
        return 2;
    }
    const std::unique_ptr<DiskList> list =
        list_disks(args.has_switch("--any-vendor") ? kAnyVendor : kMakerVendorId);
    const bool json = args.has_switch("--json");
    if (json) {
        std::printf("[");
    }
    for (uint32_t i = 0; i < list->count; ++i) {
        const DiskInfo& disk = list->disks[i];
        if (json) {
            std::printf("%s\n  %s", i == 0 ? "" : ",", json_disk(disk).c_str());
            continue;
        }
        const Outcome verdict = formattable(disk);
        const std::string status =
            verdict.ok() ? "can be formatted" : "not supported: " + verdict.reason;
        std::printf("%s\t%s\t%s\n",
                    terminal_safe(utf16_for_display(format_disk_entry(disk))).c_str(),
                    terminal_safe(path_for_display(disk.interface_path)).c_str(), status.c_str());
    }
    if (json) {
        std::printf("%s]\n", list->count == 0 ? "" : "\n");
    }
    if (args.has_switch("--any-vendor")) {
        for (const UnlistedDisk& left_out : unlisted_usb_disks(*list)) {
            std::fprintf(stderr, "lintora list: not listed: %s: %s\n",
                         terminal_safe(left_out.path).c_str(), left_out.reason.c_str());
        }
    }
    if (list->count == 0) {
        std::fprintf(stderr, "lintora list: no disk found\n");
    } else if (list->count >= kMaxListedDisks) {
        std::fprintf(stderr,
                     "lintora list: the list is full (%u disks, as many as one search keeps); "
                     "more disks may be attached\n",
                     list->count);
    }
    return 0;
}

}  // namespace lintora
