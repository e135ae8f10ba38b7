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
    const ClusterChoice clusters = data_cluster_size(disk, params, plan->geometry);
    if (clusters.cluster_size == 0) {
        return refuse(kJobFormatFailed, clusters.refusal);
    }
    VolumeFormat volume;
    setup_volume_format(data_volume_request(disk, params, plan->geometry), volume);
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
