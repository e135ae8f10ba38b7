#include "ntfs/format_volume.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

#include "base/le.h"
#include "ntfs/attrdef_table.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/cluster_limits.h"
#include "ntfs/directory_index.h"
#include "ntfs/file_record.h"
#include "ntfs/record_layout.h"
#include "ntfs/run_writer.h"
#include "ntfs/system_files.h"
#include "ntfs/upcase_table.h"

namespace lintora {

namespace {

constexpr uint64_t kMinimumVolumeBytes = 0x100000;
constexpr uint64_t kMftByteOffset = 0xC0000000;  // $MFT starts at the first cluster from 3 GiB
constexpr uint64_t kFullSizeLogVolume = 0x300000000;
constexpr uint32_t kFullLogFileBytes = 0x4000000;
constexpr uint64_t kNtEpochOffsetSeconds = 11644473600;
constexpr uint32_t kBootBytes = 8192;

uint32_t round_up_to(uint32_t value, uint32_t unit) {
    return static_cast<uint32_t>(div_round_up(value, unit) * unit);
}

// Bytes of a bitmap of `bits` bits, rounded up to a multiple of 8 bytes.
uint64_t bitmap_bytes(uint64_t bits) {
    return div_round_up(div_round_up(bits, 8), 8) * 8;
}

ntfs_status claim(NtfsFormatContext& ctx, ClusterRun& slot, ClusterRun run) {
    slot = run;
    return claim_run(slot, ctx);
}

}  // namespace

namespace {

// The parameters make sense and the volume is larger than the smallest one; the geometry that
// follows from them.
ntfs_status set_geometry(const NtfsFormatParams& params, NtfsFormatContext& ctx) {
    ctx.set_params(params);
    if (ctx.bytes_per_sector == 0 || ctx.io_chunk_size == 0) {
        return NTFS_INVALID;
    }
    if (!is_valid_cluster_size(ctx.cluster_size, ctx.bytes_per_sector)) {
        return NTFS_BAD_CLUSTER_SIZE;
    }
    if (static_cast<uint64_t>(ctx.bytes_per_sector) * ctx.sector_count < kMinimumVolumeBytes) {
        return NTFS_NO_SPACE;
    }
    ctx.volume_version_major = 1;
    ctx.volume_version_minor = 2;
    ctx.last_sector = ctx.sector_count - 1;
    ctx.total_clusters =
        volume_cluster_count(ctx.sector_count, ctx.bytes_per_sector, ctx.cluster_size);
    // Readers address clusters with 32 bits: a larger count is a volume none of them can use.
    if (ctx.total_clusters > kMaxVolumeClusters) {
        return NTFS_TOO_MANY_CLUSTERS;
    }
    ctx.record_size = round_up_to(1024, ctx.bytes_per_sector);
    ctx.index_block_size = round_up_to(4096, ctx.bytes_per_sector);
    ctx.mft_size = std::max(16 * ctx.record_size, ctx.cluster_size);
    return NTFS_OK;
}

// The generated $UpCase and $AttrDef contents.
ntfs_status build_tables(NtfsFormatContext& ctx) {
    ctx.upcase = allocate_zeroed(kUpcaseBytes);
    ctx.attrdef = allocate_zeroed(kAttrDefBytes);
    if (!ctx.upcase || !ctx.attrdef) {
        return NTFS_NO_MEMORY;
    }
    build_upcase_table(kUpcaseBytes, ctx.upcase.get());
    ctx.upcase_length = kUpcaseEntries;
    build_attrdef_table(kAttrDefBytes, ctx.attrdef.get());
    ctx.attrdef_size = kAttrDefBytes;
    return NTFS_OK;
}

// The volume bitmap (the part of it held in memory, with the clusters past the end of a small
// volume marked in use) and the $MFT bitmap.
ntfs_status allocate_bitmaps(NtfsFormatContext& ctx) {
    const uint64_t whole_bitmap = bitmap_bytes(ctx.total_clusters);
    if (whole_bitmap > UINT32_MAX) {
        return NTFS_INVALID;  // more clusters than a volume bitmap can describe
    }
    ctx.cluster_bitmap_size = static_cast<uint32_t>(whole_bitmap);
    const uint64_t first_4gib_clusters =
        (0x100000000ull / ctx.bytes_per_sector) / (ctx.cluster_size / ctx.bytes_per_sector);
    ctx.cluster_bitmap_buffer_size =
        static_cast<uint32_t>(std::min(whole_bitmap, bitmap_bytes(first_4gib_clusters)));
    ctx.cluster_bitmap = allocate_zeroed(ctx.cluster_bitmap_buffer_size);
    if (!ctx.cluster_bitmap) {
        return NTFS_NO_MEMORY;
    }
    if (ctx.cluster_bitmap_buffer_size == ctx.cluster_bitmap_size &&
        ctx.total_clusters < 0x100000000ull) {
        // Clusters past the end of the volume read as in use.
        for (uint64_t k = ctx.total_clusters; k < 8ull * ctx.cluster_bitmap_size; ++k) {
            bitmap_set_bit(ctx.cluster_bitmap.get(), k);
        }
    }
    ctx.mft_bitmap_size = static_cast<uint32_t>(bitmap_bytes(ctx.mft_size / ctx.record_size));
    ctx.mft_bitmap = allocate_zeroed(ctx.mft_bitmap_size);
    return ctx.mft_bitmap ? NTFS_OK : NTFS_NO_MEMORY;
}

// $LogFile: 64 MiB from 12 GiB of volume on, else half a percent of the volume.
uint32_t log_file_bytes(const NtfsFormatContext& ctx) {
    const uint64_t c = ctx.cluster_size;
    const uint64_t volume_bytes = c * ctx.total_clusters;
    const uint64_t log_bytes =
        volume_bytes >= kFullSizeLogVolume ? kFullLogFileBytes : volume_bytes / 200 / c * c;
    return static_cast<uint32_t>(div_round_up(log_bytes, c) * c);
}

// Every run of the system files, claimed in the volume bitmap: $MFT at 3 GiB with its bitmap
// right below, $MFTMirr, $UpCase, $AttrDef (and the root's index block on small sectors) behind
// $Boot, the volume bitmap below the $MFT bitmap and $LogFile below that.
ntfs_status place_runs(NtfsFormatContext& ctx) {
    const uint64_t c = ctx.cluster_size;
    NTFS_RETURN_IF_FAILED(
        claim(ctx, ctx.mft_run, {div_round_up(kMftByteOffset, c), div_round_up(ctx.mft_size, c)}));
    ctx.mft_lcn = ctx.mft_run.lcn;
    NTFS_RETURN_IF_FAILED(claim(ctx, ctx.mft_bitmap_run, {ctx.mft_lcn - 1, 1}));
    NTFS_RETURN_IF_FAILED(
        claim(ctx, ctx.mftmirr_run,
              {div_round_up(kBootBytes, c), div_round_up(4ull * ctx.record_size, c)}));
    ctx.mftmirr_lcn = ctx.mftmirr_run.lcn;
    NTFS_RETURN_IF_FAILED(
        claim(ctx, ctx.upcase_run,
              {ctx.mftmirr_run.lcn + ctx.mftmirr_run.length, div_round_up(kUpcaseBytes, c)}));
    NTFS_RETURN_IF_FAILED(
        claim(ctx, ctx.attrdef_run,
              {ctx.upcase_run.lcn + ctx.upcase_run.length, div_round_up(kAttrDefBytes, c)}));
    if (ctx.bytes_per_sector < 4096) {
        NTFS_RETURN_IF_FAILED(
            claim(ctx, ctx.root_index_run, {ctx.attrdef_run.lcn + ctx.attrdef_run.length, 1}));
    }
    const uint64_t bitmap_clusters = div_round_up(ctx.cluster_bitmap_size, c);
    if (ctx.mft_lcn - 1 < bitmap_clusters + 1) {
        return NTFS_NO_SPACE;
    }
    NTFS_RETURN_IF_FAILED(
        claim(ctx, ctx.bitmap_run, {ctx.mft_lcn - 1 - (bitmap_clusters + 1), bitmap_clusters}));

    ctx.logfile_size = log_file_bytes(ctx);
    const uint64_t log_clusters = ctx.logfile_size / c;
    if (ctx.bitmap_run.lcn < 2 * log_clusters) {
        return NTFS_NO_SPACE;
    }
    NTFS_RETURN_IF_FAILED(
        claim(ctx, ctx.logfile_run, {ctx.bitmap_run.lcn - 2 * log_clusters, log_clusters}));
    NTFS_RETURN_IF_FAILED(claim(ctx, ctx.boot_run, {0, div_round_up(kBootBytes, c)}));
    ctx.bad_run = {kNoClusters, ctx.total_clusters};
    // After every system file has its place: a bad cluster on one of them refuses the volume.
    return claim_bad_clusters(ctx);
}

}  // namespace

ntfs_status plan_volume_layout(const NtfsFormatParams& params, NtfsFormatContext& ctx) {
    NTFS_RETURN_IF_FAILED(set_geometry(params, ctx));
    NTFS_RETURN_IF_FAILED(build_tables(ctx));
    NTFS_RETURN_IF_FAILED(allocate_bitmaps(ctx));
    NTFS_RETURN_IF_FAILED(place_runs(ctx));
    ctx.mft_buffer = allocate_zeroed(ctx.mft_size);
    if (!ctx.mft_buffer) {
        return NTFS_NO_MEMORY;
    }
    // Every time stamp of the volume is this moment, in NT time.
    ctx.now = (static_cast<uint64_t>(std::time(nullptr)) + kNtEpochOffsetSeconds) * 10000000ull;
    return NTFS_OK;
}

namespace {

ntfs_status write_volume_bitmap(NtfsFormatContext& ctx) {
    FileRecordBuffer bitmap_record{ctx.mft_buffer.get() + 6ull * ctx.record_size};
    ClusterRun run{};
    NTFS_RETURN_IF_FAILED(find_attribute_run(bitmap_record, nullptr, ctx, kAttrData, &run));

    if (ctx.cluster_bitmap_buffer_size == ctx.cluster_bitmap_size) {
        return write_run(run, ctx, ctx.cluster_bitmap.get(), ctx.cluster_bitmap_size, nullptr);
    }
    // Only the start of the bitmap is held in memory; the rest of the volume is free but for
    // the bits past its end, which all fall into the bitmap's last cluster, and the bad clusters
    // beyond the start.
    NTFS_RETURN_IF_FAILED(fill_run(ctx, run, 0, ctx.cluster_bitmap_size));
    NTFS_RETURN_IF_FAILED(
        write_run(run, ctx, ctx.cluster_bitmap.get(), ctx.cluster_bitmap_buffer_size, nullptr));
    const uint64_t c = ctx.cluster_size;
    const uint64_t bits_per_cluster = 8 * c;
    const uint64_t held_bits = 8ull * ctx.cluster_bitmap_buffer_size;
    std::vector<uint64_t> marked;  // the bitmap's clusters to write again, ascending
    for (uint32_t i = 0; i < ctx.bad_cluster_count; ++i) {
        const uint64_t k = ctx.bad_clusters[i] / bits_per_cluster;
        if (ctx.bad_clusters[i] >= held_bits && (marked.empty() || marked.back() != k)) {
            marked.push_back(k);
        }
    }
    if (marked.empty() || marked.back() != run.length - 1) {
        marked.push_back(run.length - 1);
    }
    ByteBuffer piece = allocate_zeroed(c);
    if (!piece) {
        return NTFS_NO_MEMORY;
    }
    for (const uint64_t k : marked) {
        std::memset(piece.get(), 0, static_cast<size_t>(c));
        // The part of the held prefix that falls into this cluster, when one does.
        const uint64_t start = k * c;
        if (start < ctx.cluster_bitmap_buffer_size) {
            std::memcpy(
                piece.get(), ctx.cluster_bitmap.get() + start,
                static_cast<size_t>(std::min<uint64_t>(c, ctx.cluster_bitmap_buffer_size - start)));
        }
        if (k == run.length - 1 && ctx.total_clusters < 0x100000000ull) {
            for (uint64_t b = ctx.total_clusters; b < 8ull * ctx.cluster_bitmap_size; ++b) {
                bitmap_set_bit(piece.get(), b % bits_per_cluster);
            }
        }
        for (uint32_t i = 0; i < ctx.bad_cluster_count; ++i) {
            const uint64_t lcn = ctx.bad_clusters[i];
            if (lcn >= held_bits && lcn / bits_per_cluster == k) {
                bitmap_set_bit(piece.get(), lcn % bits_per_cluster);
            }
        }
        const uint64_t offset = (run.lcn + k) * c;
        if (volume_write(ctx, offset, piece.get(), c) != c) {
            return NTFS_WRITE_FAILED;
        }
    }
    return NTFS_OK;
}

}  // namespace

ntfs_status write_out_volume(NtfsFormatContext& ctx) {
    const uint64_t c = ctx.cluster_size;
    if (ctx.root_index_block) {
        NTFS_RETURN_IF_FAILED(
            write_index_block(IndexBlockBuffer{ctx.root_index_block.get()}, index_name_i30(), ctx,
                              FileRecordBuffer{ctx.mft_buffer.get() + 5ull * ctx.record_size}));
    }
    NTFS_RETURN_IF_FAILED(write_volume_bitmap(ctx));
    NTFS_RETURN_IF_FAILED(
        write_run(ctx.mft_bitmap_run, ctx, ctx.mft_bitmap.get(), ctx.mft_bitmap_size, nullptr));

    const uint32_t records = ctx.mft_size / ctx.record_size;
    for (uint32_t j = 0; j < records; ++j) {
        FileRecordBuffer r{ctx.mft_buffer.get() + static_cast<size_t>(j) * ctx.record_size};
        NTFS_RETURN_IF_FAILED(
            write_record(ctx, r, ctx.mft_lcn * c + uint64_t{j} * ctx.record_size, ctx.record_size));
    }
    // The mirror copies carry the same update sequence numbers as the $MFT copies.
    const uint64_t mirrored = c * ctx.mftmirr_run.length / ctx.record_size;
    for (uint64_t j = 0; j < mirrored && j < records; ++j) {
        FileRecordBuffer r{ctx.mft_buffer.get() + j * ctx.record_size};
        uint8_t* usn = r.bytes + load_u16(r.bytes + kRecordUsaOffset);
        store_u16(usn, static_cast<uint16_t>(load_u16(usn) - 1));
        NTFS_RETURN_IF_FAILED(
            write_record(ctx, r, ctx.mftmirr_lcn * c + j * ctx.record_size, ctx.record_size));
    }
    return NTFS_OK;
}

ntfs_status format_ntfs_volume(const NtfsFormatParams* params) {
    NtfsFormatContext ctx;
    NTFS_RETURN_IF_FAILED(plan_volume_layout(*params, ctx));
    NTFS_RETURN_IF_FAILED(build_system_files(ctx));
    return write_out_volume(ctx);
}

}  // namespace lintora
