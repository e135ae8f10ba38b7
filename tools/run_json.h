// The JSON object `--json` prints at the end of a volume or disk run, for scripts: how it ended,
// the target, the partitions, the clusters, the bad clusters as byte ranges, what was read back
// and the time taken; on failure what failed, in which class, and what the target holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lintora {

struct RunRecord {
    bool succeeded = false;
    std::u16string target;        // the path as given (lossless)
    std::string partition_style;  // "none" (a volume), "mbr" or "gpt"
    uint64_t volume_offset = 0;   // byte offset of the volume on the target
    uint64_t volume_bytes = 0;
    uint32_t cluster_size = 0;
    uint64_t clusters = 0;
    std::vector<uint64_t> bad_clusters;  // LCNs, each one cluster
    uint64_t verified_bytes = 0;
    double seconds = 0;
    // On failure: "refused" (nothing was written), "interrupted" or "failed"; the words of the
    // failure; whether the target was left without a valid volume.
    std::string error_class;
    std::string error;
    bool no_valid_volume = false;
};

std::string run_json(const RunRecord& run);

}  // namespace lintora
