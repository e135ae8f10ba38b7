// One contiguous run of clusters and its mapping-pairs encoding. Every non-resident attribute the
// formatter writes lies in exactly one run.
#pragma once

#include <cstdint>

#include "ntfs/status.h"

namespace lintora {

inline constexpr uint64_t kNoClusters = ~0ull;  // LCN of a run that occupies no clusters

struct ClusterRun {
    uint64_t lcn = 0;
    uint64_t length = 0;
};

// Computes the mapping pairs of `run` (one pair and the terminator). With a buffer, writes them;
// NTFS_NO_SPACE when they need more than `buffer_length` bytes. Reports the size through `size`.
ntfs_status encode_mapping_pairs(uint8_t* buffer, uint32_t buffer_length, const ClusterRun& run,
                                 uint32_t* size);

// The mapping pairs of a run list: each run's length and its LCN as the distance from the LCN of
// the previous run that has clusters (the first one's from 0); a run at kNoClusters is sparse
// and has no LCN field. Otherwise as encode_mapping_pairs.
ntfs_status encode_run_list(uint8_t* buffer, uint32_t buffer_length, const ClusterRun* runs,
                            uint32_t count, uint32_t* size);

// Reads the first pair of a mapping-pairs string; bytes beyond `available` count as zero.
ntfs_status decode_mapping_pairs(const uint8_t* bytes, uint32_t available, ClusterRun* run);

}  // namespace lintora
