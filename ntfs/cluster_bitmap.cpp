#include "ntfs/cluster_bitmap.h"

#include <algorithm>

namespace lintora {

namespace {

bool bitmap_bit(const uint8_t* bitmap, uint64_t bit) {
    return ((static_cast<unsigned>(bitmap[bit / 8]) >> (bit % 8)) & 1u) != 0;
}

// Clusters the in-memory bitmap can describe: the volume, or less when only a prefix is held.
uint64_t bitmap_end(const NtfsFormatContext& ctx) {
    return std::min<uint64_t>(ctx.total_clusters, 8ull * ctx.cluster_bitmap_buffer_size);
}

}  // namespace

void bitmap_set_bit(uint8_t* bitmap, uint64_t bit) {
    bitmap[bit / 8] = static_cast<uint8_t>(bitmap[bit / 8] | (1u << (bit % 8)));
}

ntfs_status claim_run(const ClusterRun& run, NtfsFormatContext& ctx) {
    const uint64_t end = bitmap_end(ctx);
    uint8_t* bitmap = ctx.cluster_bitmap.get();
    for (uint64_t i = 0; i < run.length; ++i) {
        const uint64_t cluster = run.lcn + i;
        if (cluster >= end || cluster < run.lcn || bitmap_bit(bitmap, cluster)) {
            return NTFS_NO_SPACE;
        }
        bitmap_set_bit(bitmap, cluster);
    }
    return NTFS_OK;
}

ntfs_status claim_bad_clusters(NtfsFormatContext& ctx) {
    const uint64_t held_bits = 8ull * ctx.cluster_bitmap_buffer_size;
    uint8_t* bitmap = ctx.cluster_bitmap.get();
    for (uint32_t i = 0; i < ctx.bad_cluster_count; ++i) {
        const uint64_t lcn = ctx.bad_clusters[i];
        if (i > 0 && lcn <= ctx.bad_clusters[i - 1]) {
            return NTFS_INVALID;
        }
        const bool in_system_file =
            lcn >= ctx.total_clusters || (lcn < held_bits && bitmap_bit(bitmap, lcn));
        if (in_system_file) {
            if (ctx.bad_cluster_hit != nullptr) {
                *ctx.bad_cluster_hit = lcn;
            }
            return NTFS_BAD_SYSTEM_CLUSTER;
        }
        if (lcn < held_bits) {
            bitmap_set_bit(bitmap, lcn);
        }
    }
    return NTFS_OK;
}

ntfs_status allocate_run(NtfsFormatContext& ctx, ClusterRun& run, uint64_t count) {
    const uint64_t end = bitmap_end(ctx);
    uint8_t* bitmap = ctx.cluster_bitmap.get();
    for (uint64_t cluster = ctx.mftmirr_run.lcn + ctx.mftmirr_run.length;
         cluster < end && count > 0; ++cluster) {
        if (bitmap_bit(bitmap, cluster)) {
            if (run.length != 0) {
                return NTFS_NO_SPACE;
            }
            continue;
        }
        bitmap_set_bit(bitmap, cluster);
        if (run.length == 0) {
            run.lcn = cluster;
        }
        ++run.length;
        --count;
    }
    return count == 0 ? NTFS_OK : NTFS_NO_SPACE;
}

}  // namespace lintora
