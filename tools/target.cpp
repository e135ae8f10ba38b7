#include "tools/target.h"

#include "discovery/disk_info.h"
#include "platform/encoding/utf.h"
#include "tools/terminal_text.h"

namespace lintora {

Outcome resolve_target(const ParsedArguments& words, DiskSystem& system, Target* target) {
    const TargetArguments args = parse_target(words);
    if (!args.error.empty()) {
        return Outcome::failure(args.error);
    }
    target->path = terminal_safe(args.path);
    target->wide_path = path_to_utf16(args.path);
    if (target->wide_path.find(u'\0') != std::u16string::npos || target->wide_path.empty()) {
        return Outcome::failure("the path is empty");
    }
    Outcome queried = system.query_target(target->wide_path.c_str(), &target->info);
    if (!queried.ok()) {
        queried.reason = "cannot open '" + target->path + "': " + queried.reason;
        return queried;  // with the system's class of the failure
    }
    if (target->info.size_bytes == 0) {
        return Outcome::failure("'" + target->path + "' is empty");
    }
    const uint32_t own = target->info.logical_sector_size;
    if (own != 0 && args.sector_size != 0 && args.sector_size != own) {
        return Outcome::failure("'" + target->path + "' has " + std::to_string(own) +
                                "-byte sectors; --sector-size " + std::to_string(args.sector_size) +
                                " does not match it");
    }
    target->sector_size = own != 0 ? own : (args.sector_size != 0 ? args.sector_size : 512);
    return Outcome::success();
}

std::string path_moved_note(DiskSystem& system, const Target& target) {
    if (target.info.file_id == 0 && target.info.device_id == 0) {
        return "";
    }
    TargetInfo now;
    const Outcome found = system.query_target(target.wide_path.c_str(), &now);
    if (found.ok() ? now.device_id == target.info.device_id && now.file_id == target.info.file_id
                   : target.info.kind == TargetKind::block_device) {
        // A device node that is gone went with its disk: what the disk holds says the rest.
        return "";
    }
    return "'" + target.path + "' " +
           (found.ok() ? "now names another file"
                       : "no longer names a file (" + found.reason + ")") +
           ": it was moved or replaced during the run, and what was written is in the file it "
           "named when the run began";
}

}  // namespace lintora
