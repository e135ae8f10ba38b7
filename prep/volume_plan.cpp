#include "prep/volume_plan.h"

#include "ntfs/format_volume.h"

namespace lintora {

ntfs_status plan_volume(const VolumeFormat& volume, VolumePlan* plan) {
    NtfsFormatContext ctx;
    NtfsFormatParams params = volume.params;
    params.write = nullptr;  // planning writes nothing; no write may reach a device
    const ntfs_status status = plan_volume_layout(params, ctx);
    if (status != NTFS_OK) {
        return status;
    }
    const uint64_t base = volume.writer.base_offset;
    const uint64_t c = ctx.cluster_size;
    plan->cluster_size = ctx.cluster_size;
    plan->record_size = ctx.record_size;
    plan->total_clusters = ctx.total_clusters;
    plan->files = {
        {"$MFT", base + ctx.mft_run.lcn * c, ctx.mft_run.length * c},
        {"$MFTMirr", base + ctx.mftmirr_run.lcn * c, ctx.mftmirr_run.length * c},
        {"$LogFile", base + ctx.logfile_run.lcn * c, ctx.logfile_run.length * c},
        {"$Bitmap", base + ctx.bitmap_run.lcn * c, ctx.bitmap_run.length * c},
    };
    plan->bytes_written = volume.writer.bytes_done;
    return NTFS_OK;
}

}  // namespace lintora
