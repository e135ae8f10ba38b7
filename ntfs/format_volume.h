// The NTFS format driver: plans a volume, builds every system file and writes it all out through
// the parameters' write callback.
#pragma once

#include "ntfs/format_context.h"
#include "ntfs/format_params.h"

namespace lintora {

// Plans the layout into `ctx` (sizes, runs and buffers; the runs claimed in the cluster bitmap).
// Writes nothing.
ntfs_status plan_volume_layout(const NtfsFormatParams& params, NtfsFormatContext& ctx);

// Writes the finished root index block, the volume bitmap, the $MFT bitmap, every MFT record and
// the mirror records.
ntfs_status write_out_volume(NtfsFormatContext& ctx);

// Formats the volume: 0 on success or the first failing code. Frees everything it allocated on
// every way out.
ntfs_status format_ntfs_volume(const NtfsFormatParams* params);

}  // namespace lintora
