// The zero pass of a full format: every sector of a range is written with zeros, in pieces of
// the transfer size, so that no old data stays readable and the sectors that fail are found.
// The zeros are flushed (and with verify read back) in batches of 1 GiB, so that a pass that
// ends early can say how far its zeros are known to have reached the medium.
// A piece that fails is written again sector by sector; the sectors that still fail are bad.
// A device that went away (or a run being stopped) is no bad sector: it ends the pass.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/outcome.h"
#include "prep/progress_span.h"

namespace lintora {

class DiskIo;

// More bad sectors than this end the pass: a disk this damaged is not worth a file system, and
// each bad sector may take the disk seconds to give up on.
inline constexpr uint32_t kMaxBadSectors = 4096;

struct ZeroFillRequest {
    uint64_t offset = 0;  // first byte, a whole sector
    uint64_t length = 0;  // whole sectors
    uint32_t sector_size = 0;
    uint32_t piece = 0;   // bytes per write and per progress unit, whole sectors
    bool verify = false;  // read every piece back from the medium as well
    const ProgressSpan* progress = nullptr;
};

struct ZeroFillResult {
    std::vector<uint64_t> bad_sectors;  // byte offsets, ascending
    uint64_t zeroed_end = 0;  // the system took every zero sector before this byte but the bad ones
    // A flush (with verify, the read-back too) confirmed the zeros before this byte; of what was
    // written after it, nothing is known once the disk has gone away.
    uint64_t flushed_end = 0;
    uint64_t verified_bytes = 0;  // read back and found to be zeros
};

// The progress units of the pass (twice the pieces with verify).
uint64_t zero_fill_units(const ZeroFillRequest& request);

// Runs the pass: done when it ran to the end; otherwise what ended it, in the pass's words, with
// the class of the failure behind it (the disk gone, a refusal, too many bad sectors).
Outcome zero_fill(DiskIo& device, const ZeroFillRequest& request, ZeroFillResult* result);

// The volume's clusters that hold `bad_sectors` (ascending, each once), for the formatter. A bad
// sector outside the volume (the partition table, the reserved partition, a gap) cannot be
// mapped: a failure that says which. The sectors after the last whole cluster and
// before the backup boot sector belong to no cluster and hold nothing: a bad one there is left
// alone. The backup boot sector itself is handed on, for the formatter to refuse.
Outcome clusters_of_bad_sectors(const std::vector<uint64_t>& bad_sectors, uint64_t volume_offset,
                                uint64_t volume_bytes, uint32_t sector_size, uint32_t cluster_size,
                                std::vector<uint64_t>* clusters);

}  // namespace lintora
