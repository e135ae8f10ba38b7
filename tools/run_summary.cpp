#include "tools/run_summary.h"

#include "tools/human_units.h"

namespace lintora {

std::string run_summary(uint64_t bytes, const JobSummary& summary, const JobOptions& options,
                        double seconds) {
    std::string text = ", " + binary_size(bytes) + " in " + std::to_string(summary.clusters) +
                       " clusters of " + std::to_string(summary.cluster_size) + " bytes";
    if (options.full) {
        const size_t bad = summary.bad_clusters.size();
        text += bad == 0
                    ? ", no bad sectors"
                    : ", " + std::to_string(bad) + (bad == 1 ? " bad cluster" : " bad clusters") +
                          " mapped (" + binary_size(uint64_t{bad} * summary.cluster_size) + ")";
    }
    if (options.verify) {
        text += ", " + binary_size(summary.verified_bytes) + " read back and compared";
    }
    return text + ", in " + clock_text(seconds);
}

}  // namespace lintora
