// The disk preparation job: turns one external disk into an empty NTFS disk with a new MBR or
// GPT partition table.
//
// prepare_disk does, in this order, and stops at the first failure:
//   - checks the parameters and computes the partition geometry;
//   - builds the whole file system once without writing (the counting pass), which refuses a
//     disk too small for the volume and learns the total of the progress bar;
//   - opens the disk, tells the shell each of its drives goes away, locks and dismounts every
//     volume on it (on Linux the exclusive open and its checks stand in for the locks);
//   - with the full option, writes zeros over the whole disk and counts again with the volume's
//     bad clusters;
//   - wipes sectors 0 to 31 and re-initialises the disk as MBR or GPT;
//   - writes the file system into the future data partition (the writing pass) and flushes;
//   - with the verify option, reads the file system back and compares it;
//   - writes the partition table, which is the last thing written, re-reads the disk and flushes
//     it (with verify, reads the table back);
//   - closes every volume handle in letter order, then the disk.
// Everything that can be refused without writing is refused before the first write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/disk_info.h"
#include "platform/outcome.h"
#include "prep/progress_span.h"
#include "prep/sector_writer.h"

namespace lintora {

class DiskSystem;
class TargetLedger;

// The partition style as the job's parameters carry it.
enum class PartitionStyle : int32_t { gpt = 0, mbr = 1 };

// The label field of the job's parameters: 261 UTF-16 units with the terminator, the size of
// the disk record's other text fields; the label itself is held to kMaxLabelUnits (128) by
// NTFS's $VOLUME_NAME limit.
inline constexpr uint32_t kLabelUnits = 261;
// The label of every volume the product writes, and the tool's default.
inline constexpr char16_t kDefaultLabel[] = u"MAROVAN EXT";

struct FormatJobParams {
    PartitionStyle partition_style = PartitionStyle::mbr;
    char16_t volume_label[kLabelUnits] = {};  // NUL-terminated
    int32_t cluster_size = 4096;  // 0: chosen by the data partition's size (the tool's default)
};

// The product's choice for a disk: MBR up to 0xFFFFFFFF sectors and GPT above, the label
// "MAROVAN EXT" and 4096-byte clusters.
FormatJobParams job_params_for(const DiskInfo& disk);

using FormatJobResult = int32_t;
inline constexpr FormatJobResult kJobSucceeded = 0;
inline constexpr FormatJobResult kJobRefused = 1;      // open, lock, dismount or a request refused
inline constexpr FormatJobResult kJobWriteFailed = 2;  // a later write or the flush failed
inline constexpr FormatJobResult kJobTooSmall = 3;     // no room for the layout
inline constexpr FormatJobResult kJobNoMemory = 4;
inline constexpr FormatJobResult kJobFormatFailed = 5;

// What failed and why, for a front-end that tells more than the result code: `what` names the
// step ("cannot open '/dev/sdb'", "write at byte 3221225472 failed"), `why` is the system's
// reason or the job's own.
struct JobFailure {
    std::string what;
    std::string why;
    bool in_use = false;  // refused because another program holds the disk or a volume of it
    FailureClass cause = FailureClass::other;  // the class of the system's failure behind it
    // What the disk holds after a failure once the job has written to it, a clause about "the
    // disk" worded from the job's ledger (prep/target_claim.h); empty while the job has written
    // nothing. `no_valid_volume`: the disk is known to hold no valid volume.
    std::string holds;
    bool no_valid_volume = false;
};

// What a finished job did, for a front-end's summary.
struct JobSummary {
    uint32_t cluster_size = 0;
    uint64_t clusters = 0;
    std::vector<uint64_t> bad_clusters;  // the clusters a full format mapped as bad
    uint64_t verified_bytes = 0;         // read back and compared
    uint64_t cache_displaced_bytes = 0;  // read elsewhere first, to displace the drive's cache
};

// What the command-line tool can ask beyond the program's job. `full`: before the file system,
// every sector of the disk is written with zeros and the sectors that fail become the volume's
// bad clusters. `verify`: every byte written for the file system is read back from the medium
// and compared before the partition table is written, and the table is read back after.
struct JobOptions {
    bool full = false;
    bool verify = false;
    // Told of each pass (zeroing, writing, reading back) apart, when set.
    PassWatch watch;
    // Filled as the job goes, when given.
    JobSummary* summary = nullptr;
};

// Where the job runs and reports, and what the tool asks beyond the program's job.
struct JobContext {
    DiskSystem* system = nullptr;  // the disks, volumes and shell of this machine (required)
    // Receives every write's progress with the job's `owner`, when set.
    ProgressFn progress = nullptr;
    // Says what failed, when given.
    JobFailure* failure = nullptr;
    // Opened in place of the record's interface_path, when given (a path longer than the
    // record holds).
    const char16_t* device_path = nullptr;
    JobOptions options = {};
    // Keeps what the disk holds as the job writes it, when given (one of the disk's size and
    // sector size), for a front-end that words it itself; `failure->holds` says it regardless.
    TargetLedger* ledger = nullptr;
};

// Runs the whole job on `disk` through `context.system`. Every handle is closed and every
// buffer freed before it returns, and no exception leaves it.
FormatJobResult prepare_disk(void* owner, const DiskInfo& disk, const FormatJobParams& params,
                             const JobContext& context);

// Maps a format driver code to the job's result.
FormatJobResult job_result_for(uint32_t ntfs_code);

}  // namespace lintora
