// A full format's first part: the zero pass over the volume (or the whole disk), then the bad
// sectors it found become the volume's bad clusters and the counting pass runs again with them,
// so that a bad cluster where a system file must lie, or more than $BadClus can map, is refused
// before the file system is written.
#pragma once

#include <string>

#include "platform/outcome.h"
#include "prep/progress_span.h"
#include "prep/volume_format.h"
#include "prep/zero_fill.h"

namespace lintora {

class DiskIo;
class DiskSystem;

struct ZeroedVolume {
    // Done, or what failed: the zero pass itself (with the class of the failure behind it), or
    // the file system its bad sectors leave, which `count_status` then says.
    Outcome outcome;
    ntfs_status count_status = NTFS_OK;  // of the count with the bad clusters, when it ran
    // What the zero pass wrote: every sector before `zeroed_end` but `bad_sectors` (offsets on
    // the device); a flush confirmed those before `flushed_end`.
    uint64_t zeroed_end = 0;
    uint64_t flushed_end = 0;
    uint64_t verified_bytes = 0;  // read back and found to be zeros
    std::vector<uint64_t> bad_sectors;
};

// A full format writes every byte of its target: an image's file system must have the room
// before the first write. Success, or why not ("its file system lacks N bytes ...").
Outcome check_room_for_full_format(DiskSystem& system, const char16_t* path);

// After count_volume. `zero` covers at least the volume.
ZeroedVolume zero_volume(VolumeFormat& volume, DiskIo& device, const ZeroFillRequest& zero);

// The same over bytes [0, length) of `device` in the volume writer's pieces, on one bar with the
// passes after it: `span` grows by the zero pass, which it then counts as done, and its total
// follows the second count (`verify`: the file system is read back as well).
ZeroedVolume run_zero_pass(VolumeFormat& volume, DiskIo& device, uint64_t length,
                           uint32_t sector_size, bool verify, ProgressSpan& span);

}  // namespace lintora
