#include "prep/disk_plan.h"

namespace lintora {

FormatJobResult plan_disk(const DiskInfo& disk, const FormatJobParams& params, DiskPlan* plan,
                          JobFailure* failure) {
    const auto refuse = [&](FormatJobResult result, std::string why) {
        failure->what = "cannot prepare the disk";
        failure->why = std::move(why);
        return result;
    };
    if (compute_partition_geometry(disk.sector_count, disk.bytes_per_sector, params.partition_style,
                                   &plan->geometry) != kJobSucceeded) {
        return refuse(kJobTooSmall, "it is too small for the partition layout");
    }
    const auto cluster_size =
        static_cast<uint32_t>(params.cluster_size > 0 ? params.cluster_size : 0);
    VolumeRequest request;
    request.label = params.volume_label;
    request.bytes_per_sector = disk.bytes_per_sector;
    request.cluster_size = cluster_size;
    request.first_sector = plan->geometry.data_start;
    request.sector_count = plan->geometry.data_sectors;
    request.io_chunk = job_io_chunk(disk.io_chunk_size, cluster_size);
    VolumeFormat volume;
    setup_volume_format(request, volume);
    ntfs_status status = count_volume(volume);
    if (status == NTFS_OK) {
        status = plan_volume(volume, &plan->volume);
    }
    if (status != NTFS_OK) {
        return refuse(job_result_for(status), ntfs_status_text(status));
    }
    return kJobSucceeded;
}

}  // namespace lintora
