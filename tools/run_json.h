// The JSON object `--json` prints at the end of a volume or disk run, for scripts: how it ended,
// the target, the partitions, the clusters, the bad clusters as byte ranges, what was read back
// and the time taken; on failure what failed, in which class, and what the target holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/outcome.h"
#include "prep/target_claim.h"

namespace lintora {

struct RunRecord {
    bool succeeded = false;
    bool planned = false;         // a dry run: nothing was opened for writing
    std::u16string target;        // the path as given (lossless)
    std::string partition_style;  // "none" (a volume), "mbr" or "gpt"
    uint64_t volume_offset = 0;   // byte offset of the volume on the target
    uint64_t volume_bytes = 0;
    uint32_t cluster_size = 0;
    uint64_t clusters = 0;
    std::vector<uint64_t> bad_clusters;  // LCNs, each one cluster
    uint64_t verified_bytes = 0;
    uint64_t cache_displaced_bytes = 0;  // read before the read-back, to displace a drive's cache
    double seconds = 0;
    // On failure: "refused" (nothing was written), "interrupted" or "failed"; the cause that
    // travelled with the system's failure ("gone", "refused", "medium", "other"), or
    // "interrupted" for a signal; the words of
    // the failure; whether the target is known to hold no valid volume.
    std::string error_class;
    std::string cause = "other";
    std::string error;
    bool no_valid_volume = false;
    // What the target holds, or may hold, and where (from the ledger of the run).
    std::vector<HeldRange> held;
};

std::string run_json(const RunRecord& run);

// The name of a failure's cause in the record.
const char* cause_name(FailureClass cause);

}  // namespace lintora
