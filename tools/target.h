// The FILE a command formats: its text as the messages show it, its UTF-16 form (the path's
// bytes as given, lossless: what the system opens and the disk record carries), what the system
// says it is, and the sector size to format it with.
#pragma once

#include <string>

#include "platform/raw_disk.h"
#include "tools/arguments.h"

namespace lintora {

struct Target {
    std::string path;  // as the messages show it (control bytes escaped)
    std::u16string wide_path;
    TargetInfo info;
    uint32_t sector_size = 0;
};

// Fills `target` from the command's FILE and --sector-size and the system's answer, opening
// nothing for writing. A block device is formatted with its own logical sector size (a
// --sector-size that disagrees is refused); an image with --sector-size, 512 when absent. Returns
// what is wrong, or success.
Outcome resolve_target(const ParsedArguments& words, DiskSystem& system, Target* target);

// After a run: "" while the path still names the file or device it named when the run began
// (or where the system does not tell, or a device's node went away with the disk), else what
// the user must know: the path was moved or replaced, and what was written is elsewhere.
std::string path_moved_note(DiskSystem& system, const Target& target);

}  // namespace lintora
