// The drive letters among a volume's mount points, as Windows lists them: each mount point a
// NUL-terminated path ("E:\", or a folder such as "E:\sub\"), the list ended by an empty one.
// Only a mount point that is a drive's root names a letter: a volume mounted in a folder of E:
// is not E:, and taking it for E: would leave it unlocked.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lintora {

// Bit 0 for A: ... bit 25 for Z:; reads no further than `units` (the list's length as Windows
// returned it), ended or not.
uint32_t drive_letters_of_mount_points(const char16_t* list, size_t units);

}  // namespace lintora
