// lintora list [--any-vendor]
// Lists the disks the program would offer, in its order: the entry text, the device path, and
// whether the disk can be formatted.
#include <cstdio>
#include <string>

#include "discovery/disk_entry_text.h"
#include "discovery/enumerate_disks.h"
#include "platform/utf.h"
#include "tools/arguments.h"
#include "tools/commands.h"
#include "tools/listed_disks.h"
#include "tools/terminal_text.h"

namespace lintora {

namespace {

constexpr const char* kUsage =
    "usage: lintora list [--any-vendor]\n"
    "  Lists the maker's fixed USB disks as the program shows them: drive letters, name and\n"
    "  capacity, the device path, and whether the disk can be formatted.\n"
    "  --any-vendor  list fixed USB disks of every vendor\n";

}  // namespace

int run_list_command(const std::vector<std::string>& words) {
    if (asks_for_help(words)) {
        print_help(kUsage);
        return 0;
    }
    const ParsedArguments args = parse_arguments(words, {}, {"--any-vendor"});
    if (!args.error.empty() || !args.positionals.empty()) {
        std::fprintf(stderr, "lintora list: %s\n%s",
                     args.error.empty() ? "no FILE is taken" : args.error.c_str(), kUsage);
        return 2;
    }
    const std::unique_ptr<DiskList> list =
        list_disks(args.has_switch("--any-vendor") ? kAnyVendor : kMakerVendorId);
    for (uint32_t i = 0; i < list->count; ++i) {
        const DiskInfo& disk = list->disks[i];
        const std::string status = is_capacity_supported(disk)
                                       ? "can be formatted"
                                       : "not supported: " + std::to_string(disk.sector_count) +
                                             " sectors of " +
                                             std::to_string(disk.bytes_per_sector) +
                                             " bytes lie outside the disks this program formats";
        std::printf("%s\t%s\t%s\n",
                    terminal_safe(utf16_for_display(format_disk_entry(disk))).c_str(),
                    terminal_safe(path_for_display(disk.interface_path)).c_str(), status.c_str());
    }
    if (args.has_switch("--any-vendor")) {
        for (const UnlistedDisk& left_out : unlisted_usb_disks(*list)) {
            std::fprintf(stderr, "lintora list: not listed: %s: %s\n",
                         terminal_safe(left_out.path).c_str(), left_out.reason.c_str());
        }
    }
    if (list->count == 0) {
        std::fprintf(stderr, "lintora list: no disk found\n");
    } else if (list->count >= kMaxDisks) {
        std::fprintf(stderr,
                     "lintora list: the list is full (%u disks, as many as one search keeps); "
                     "more disks may be attached\n",
                     list->count);
    }
    return 0;
}

}  // namespace lintora
