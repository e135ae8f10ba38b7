#include "ntfs/format_context.h"

#include <cstring>
#include <new>

#include "ntfs/status.h"

namespace lintora {

ByteBuffer allocate_zeroed(uint64_t size) {
    if (size > SIZE_MAX) {
        return nullptr;
    }
    // Value-initialised: the new[]() form zero-fills.
    return ByteBuffer(new (std::nothrow) uint8_t[static_cast<size_t>(size)]());
}

void NtfsFormatContext::set_params(const NtfsFormatParams& params) {
    write_user = params.write_user;
    write = params.write;
    volume_label = params.volume_label;
    io_chunk_size = params.io_chunk_size;
    bytes_per_sector = params.bytes_per_sector;
    cluster_size = params.cluster_size;
    first_sector = params.first_sector;
    sector_count = params.sector_count;
    bad_clusters = params.bad_clusters;
    bad_cluster_count = params.bad_cluster_count;
    bad_cluster_hit = params.bad_cluster_hit;
}

const char* ntfs_status_text(ntfs_status status) {
    switch (status) {
        case NTFS_OK:
            return "success";
        case NTFS_NOT_FOUND:
            return "an attribute is missing from its record";
        case NTFS_INVALID:
            return "a structure does not fit its rules";
        case NTFS_NO_MEMORY:
            return "out of memory";
        case NTFS_NAME_TOO_LONG:
            return "the volume label is too long";
        case NTFS_NO_SPACE:
            return "the volume is too small for the layout, or no room was left";
        case NTFS_WRITE_FAILED:
            return "a write to the disk failed";
        case NTFS_BAD_SYSTEM_CLUSTER:
            return "a bad cluster lies where a system file of the volume must go";
        case NTFS_TOO_MANY_BAD_CLUSTERS:
            return "too many bad sectors for the bad-cluster list";
        case NTFS_BAD_CLUSTER_SIZE:
            return "the cluster size is not a power of two from the sector size to 2 MiB";
        case NTFS_TOO_MANY_CLUSTERS:
            return "the volume has more clusters than NTFS allows (4294967295)";
        default:
            return "unknown failure";
    }
}

}  // namespace lintora
