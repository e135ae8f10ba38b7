#include "ntfs/run_writer.h"

#include <algorithm>
#include <cstring>

#include "base/le.h"

namespace lintora {

uint64_t volume_write(const NtfsFormatContext& ctx, uint64_t offset, const uint8_t* data,
                      uint64_t count) {
    return ctx.write(ctx.write_user, offset, data, count);
}

ntfs_status fill_run(const NtfsFormatContext& ctx, const ClusterRun& run, uint8_t value,
                     uint64_t size) {
    if (run.lcn == kNoClusters) {
        return NTFS_OK;
    }
    ByteBuffer buffer = allocate_zeroed(ctx.io_chunk_size);
    if (!buffer) {
        return NTFS_NO_MEMORY;
    }
    std::memset(buffer.get(), value, ctx.io_chunk_size);
    uint64_t total = div_round_up(size, ctx.cluster_size) * ctx.cluster_size;
    uint64_t offset = run.lcn * ctx.cluster_size;
    while (total > 0) {
        const uint64_t n = std::min<uint64_t>(total, ctx.io_chunk_size);
        if (volume_write(ctx, offset, buffer.get(), n) != n) {
            return NTFS_WRITE_FAILED;
        }
        offset += n;
        total -= n;
    }
    return NTFS_OK;
}

ntfs_status write_run(const ClusterRun& run, const NtfsFormatContext& ctx, const uint8_t* data,
                      uint64_t size, uint64_t* initialized_size) {
    if (run.lcn == kNoClusters) {
        if (initialized_size != nullptr) {
            *initialized_size = 0;
        }
        return NTFS_OK;
    }
    uint64_t total = div_round_up(size, ctx.cluster_size) * ctx.cluster_size;
    uint64_t offset = run.lcn * ctx.cluster_size;
    uint64_t remaining = size;
    ByteBuffer scratch;  // the zero-padded tail, made at the first need
    if (data != nullptr) {
        while (total > 0) {
            const uint64_t n = std::min<uint64_t>(total, ctx.io_chunk_size);
            const uint64_t k = std::min<uint64_t>(remaining, ctx.io_chunk_size);
            const uint8_t* piece = data;
            if (k < n) {
                if (!scratch) {
                    scratch = allocate_zeroed(ctx.io_chunk_size);
                    if (!scratch) {
                        return NTFS_NO_MEMORY;
                    }
                }
                std::memcpy(scratch.get(), data, static_cast<size_t>(k));
                std::memset(scratch.get() + k, 0, static_cast<size_t>(n - k));
                piece = scratch.get();
            }
            if (volume_write(ctx, offset, piece, n) != n) {
                return NTFS_WRITE_FAILED;
            }
            offset += n;
            data += k;
            total -= n;
            remaining -= k;
        }
    }
    if (initialized_size != nullptr) {
        *initialized_size = size;
    }
    return NTFS_OK;
}

ntfs_status write_backup_boot_sector(const NtfsFormatContext& ctx, const uint8_t* sector_image) {
    const uint64_t n = ctx.bytes_per_sector;
    return volume_write(ctx, ctx.last_sector * n, sector_image, n) == n ? NTFS_OK
                                                                        : NTFS_WRITE_FAILED;
}

}  // namespace lintora
