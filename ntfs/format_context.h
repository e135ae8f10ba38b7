// Everything one format run knows: the input, the planned geometry and runs, and the buffers the
// run owns. The encoders read it and change nothing in it but bits of the cluster bitmap.
#pragma once

#include <cstdint>
#include <memory>

#include "ntfs/cluster_run.h"
#include "ntfs/counted_name.h"
#include "ntfs/format_params.h"

namespace lintora {

using ByteBuffer = std::unique_ptr<uint8_t[]>;

// A zero-filled buffer, or null when memory is short (callers report NTFS_NO_MEMORY).
ByteBuffer allocate_zeroed(uint64_t size);

struct NtfsFormatContext {
    // A copy of the parameters.
    void* write_user = nullptr;
    NtfsWriteFn write = nullptr;
    const CountedName* volume_label = nullptr;
    uint32_t io_chunk_size = 0;
    uint16_t bytes_per_sector = 0;
    uint32_t cluster_size = 0;
    uint64_t first_sector = 0;
    uint64_t sector_count = 0;
    const uint64_t* bad_clusters = nullptr;
    uint32_t bad_cluster_count = 0;
    uint64_t* bad_cluster_hit = nullptr;

    uint8_t volume_version_major = 0;
    uint8_t volume_version_minor = 0;
    uint64_t last_sector = 0;  // the backup boot sector
    uint64_t total_clusters = 0;
    uint32_t record_size = 0;  // MFT record size
    uint32_t index_block_size = 0;

    ByteBuffer upcase;           // little-endian u16 entries
    uint32_t upcase_length = 0;  // entries
    ByteBuffer attrdef;
    uint32_t attrdef_size = 0;
    ByteBuffer mft_buffer;  // all MFT record images, mft_size bytes
    uint32_t mft_bitmap_size = 0;
    ByteBuffer mft_bitmap;
    uint32_t cluster_bitmap_size = 0;         // bytes of the whole volume bitmap
    uint32_t cluster_bitmap_buffer_size = 0;  // bytes held in memory (a prefix of the bitmap)
    ByteBuffer cluster_bitmap;

    ClusterRun mft_run;
    ClusterRun mft_bitmap_run;
    ClusterRun mftmirr_run;
    ClusterRun logfile_run;
    ClusterRun boot_run;
    ClusterRun bad_run;
    ByteBuffer root_index_block;  // the root's INDX block image, when the index is large
    uint32_t mft_size = 0;
    uint64_t mft_lcn = 0;
    uint64_t mftmirr_lcn = 0;
    uint32_t logfile_size = 0;
    ClusterRun attrdef_run;
    ClusterRun root_index_run;
    ClusterRun bitmap_run;
    ClusterRun upcase_run;
    uint64_t now = 0;  // NT time of every time stamp

    // Copies the parameters into the head of the context.
    void set_params(const NtfsFormatParams& params);
};

}  // namespace lintora
