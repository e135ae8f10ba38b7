// One NTFS volume written the way the disk job and the volume command both write it: a counting
// pass that builds everything and writes nothing (it refuses a volume without room and learns
// the progress total), then the writing pass through the sector writer onto a device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/counted_name.h"
#include "ntfs/format_params.h"
#include "ntfs/status.h"
#include "prep/sector_writer.h"

namespace lintora {

class DiskIo;

// The longest volume label: the volume's own $AttrDef allows 0x100 bytes for $VOLUME_NAME
// (kVolumeNameMaxBytes, which the encoder enforces), 128 UTF-16 units.
inline constexpr uint32_t kMaxLabelUnits = 128;

// The largest single write a job makes: far above what a USB adapter takes (64 KiB to a few
// MiB), and a bound on the buffers of that size the passes keep (a descriptor that claims 4 GiB
// would have a 32-bit program allocate them, and its unit count overflow).
inline constexpr uint32_t kMaxIoChunk = 16 * 1048576;

// Largest write and progress unit: the adapter's transfer size (64 KiB when it reports none),
// at most kMaxIoChunk, rounded down to whole clusters (of at most 64 KiB) and never below one,
// so that every request stays aligned to the disk's sectors.
uint32_t job_io_chunk(uint32_t adapter_bytes, uint32_t cluster_size);

struct VolumeRequest {
    const char16_t* label = nullptr;  // NUL-terminated
    uint32_t bytes_per_sector = 0;
    uint32_t cluster_size = 0;
    uint64_t first_sector = 0;  // on the disk: writes land from first_sector * bytes_per_sector
    uint64_t sector_count = 0;
    uint32_t io_chunk = 0;
    ProgressFn progress = nullptr;
    void* owner = nullptr;
};

// The two passes' shared state; it points into itself, so it stays where it was set up.
struct VolumeFormat {
    VolumeFormat() = default;
    VolumeFormat(const VolumeFormat&) = delete;
    VolumeFormat& operator=(const VolumeFormat&) = delete;

    CountedName label;
    SectorWriter writer;
    NtfsFormatParams params;
    Outcome failure;  // what a failed write left
    // The clusters found bad by a full format's zero pass, and where the formatter met one that
    // a system file needs.
    std::vector<uint64_t> bad_clusters;
    uint64_t bad_cluster_hit = 0;
};

void setup_volume_format(const VolumeRequest& request, VolumeFormat& volume);
// Hands the volume's bad clusters (ascending, each once) to the formatter; count again after.
void set_bad_clusters(VolumeFormat& volume, std::vector<uint64_t> clusters);
// The counting pass: on success the writer knows its total.
ntfs_status count_volume(VolumeFormat& volume);
// The progress units of writing a counted volume, and with verify of reading it back too.
inline uint64_t file_system_units(const VolumeFormat& volume, bool verify) {
    return uint64_t{volume.writer.units_expected} * (verify ? 2 : 1);
}
// The writing pass onto `device`, after count_volume.
ntfs_status write_volume(VolumeFormat& volume, DiskIo& device);

}  // namespace lintora
