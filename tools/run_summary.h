// The facts the last line of a run gives after what was formatted: the size, the cluster size,
// the bad clusters a full format mapped (or that it found none), what was read back and
// compared, and the time taken.
#pragma once

#include <cstdint>
#include <string>

#include "prep/format_job.h"

namespace lintora {

// ", 8.0 GiB in 2097151 clusters of 4096 bytes, no bad sectors, 8.0 GiB read back and
// compared, in 0:01:02"; the bad sectors only with `full`, the read-back only with `verify`.
std::string run_summary(uint64_t bytes, const JobSummary& summary, const JobOptions& options,
                        double seconds);

}  // namespace lintora
