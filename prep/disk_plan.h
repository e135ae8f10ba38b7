// What the disk job would do to a disk, for a dry run: the partition geometry and the plan of
// its data partition's volume, from the same steps the job takes before it opens the disk.
#pragma once

#include "prep/format_job.h"
#include "prep/partition_layout.h"
#include "prep/volume_plan.h"

namespace lintora {

struct DiskPlan {
    PartitionGeometry geometry;
    VolumePlan volume;
};

// kJobSucceeded with the plan, or the job's own refusal (with `failure`) of the same disk.
FormatJobResult plan_disk(const DiskInfo& disk, const FormatJobParams& params, DiskPlan* plan,
                          JobFailure* failure);

}  // namespace lintora
