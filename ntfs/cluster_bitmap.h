// The in-memory volume bitmap: cluster n is bit (n mod 8) of byte (n div 8), 1 = in use. The
// buffer may hold only a prefix of the whole bitmap; its end is the end of the volume here.
#pragma once

#include <cstdint>

#include "ntfs/format_context.h"

namespace lintora {

void bitmap_set_bit(uint8_t* bitmap, uint64_t bit);

// Marks the run's clusters in use; NTFS_NO_SPACE on a cluster already in use or past the end.
ntfs_status claim_run(const ClusterRun& run, NtfsFormatContext& ctx);

// Marks the volume's bad clusters in use, those in the bitmap's prefix held in memory (the
// others are set as the bitmap is written). NTFS_BAD_SYSTEM_CLUSTER, with the LCN through
// `bad_cluster_hit`, for one already claimed by a system file or past the last whole cluster
// (where the backup boot sector lies); NTFS_INVALID for a list out of order.
ntfs_status claim_bad_clusters(NtfsFormatContext& ctx);

// First fit from the end of the $MFTMirr run: marks `count` contiguous free clusters in use and
// describes them in `run` (handed in zeroed). A used cluster once the run has started ends the
// search with NTFS_NO_SPACE; clusters marked before a failure stay marked.
ntfs_status allocate_run(NtfsFormatContext& ctx, ClusterRun& run, uint64_t count);

}  // namespace lintora
