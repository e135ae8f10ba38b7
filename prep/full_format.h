// A full format's first part: the zero pass over the volume (or the whole disk), then the bad
// sectors it found become the volume's bad clusters and the counting pass runs again with them,
// so that a bad cluster where a system file must lie, or more than $BadClus can map, is refused
// before the file system is written.
#pragma once

#include <string>

#include "prep/volume_format.h"
#include "prep/zero_fill.h"

namespace lintora {

class DiskIo;

struct ZeroedVolume {
    ntfs_status status = NTFS_OK;  // of the second count; NTFS_WRITE_FAILED when zeroing failed
    std::string failure;           // what failed, empty on success
    uint64_t bad_sectors = 0;
};

// After count_volume. `zero` covers at least the volume.
ZeroedVolume zero_volume(VolumeFormat& volume, DiskIo& device, const ZeroFillRequest& zero);

}  // namespace lintora
