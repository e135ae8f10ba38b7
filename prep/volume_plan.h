// Where a volume's file system goes, for a dry run: the cluster and record sizes, the places and
// sizes of the system files that lie at fixed places, and how many bytes the writing pass writes.
#pragma once

#include <cstdint>
#include <vector>

#include "ntfs/status.h"
#include "prep/volume_format.h"

namespace lintora {

struct PlannedFile {
    const char* name;
    uint64_t offset;  // on the target, in bytes
    uint64_t bytes;
};

struct VolumePlan {
    uint32_t cluster_size = 0;
    uint32_t record_size = 0;
    uint64_t total_clusters = 0;
    std::vector<PlannedFile> files;  // $MFT, $MFTMirr, $LogFile, $Bitmap
    uint64_t bytes_written = 0;      // by the writing pass
};

// After count_volume; writes nothing.
ntfs_status plan_volume(const VolumeFormat& volume, VolumePlan* plan);

}  // namespace lintora
