#include "tools/dry_run.h"

#include <cstdio>

namespace lintora {

namespace {

unsigned long long ull(uint64_t value) {
    return static_cast<unsigned long long>(value);
}

}  // namespace

void print_volume_plan(std::FILE* out, const VolumePlan& plan) {
    std::fprintf(out,
                 "NTFS:        clusters of %u bytes (%llu clusters), file records of %u bytes\n",
                 plan.cluster_size, ull(plan.total_clusters), plan.record_size);
    for (const PlannedFile& file : plan.files) {
        std::fprintf(out, "  %-9s  at byte %llu, %llu bytes\n", file.name, ull(file.offset),
                     ull(file.bytes));
    }
    std::fprintf(out, "Writes:      %llu bytes of the file system\n", ull(plan.bytes_written));
}

void print_dry_run_end(std::FILE* out, bool block_device) {
    std::fprintf(out, "Dry run: nothing was opened for writing and nothing was written.\n");
    std::fprintf(out, "Checked:     the target's kind and size%s, and the counting pass.\n",
                 block_device ? ", read-only, mounted partitions" : ", a loop device backed by it");
    std::fprintf(out, "Only a real run checks: %s\n",
                 block_device ? "that no other program holds the device or a partition of it "
                                "open (the exclusive open, the table re-read)."
                              : "that no other run holds the image (its lock) and that its file "
                                "system takes the writes.");
}

}  // namespace lintora
