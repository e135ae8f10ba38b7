// The ledger of a target: what each byte range of it holds, as the writes, table requests and
// flushes made on the one write path show, in two views. In the accepted view every write the
// system accepted has reached the medium; in the flushed view only those that a later flush
// confirmed did, as a drive that loses its cache on an unplug or a power cut leaves them. What
// the target held before the first write (its partition table, the NTFS volumes it carried) is
// read once, first, so that what may remain of it can be named.
//
// The job, the volume passes and the stop on a signal only write and flush through `LedgerDisk`;
// what the target holds is worded from the ledger alone (`claim_target`, prep/target_claim.h).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/range_map.h"
#include "platform/raw_disk.h"

namespace lintora {

// `before`: what the target held before the run, as if nothing reached the medium (a view worth
// keeping once a read-back showed the medium does not keep what it accepts).
enum class View { accepted, flushed, before };

// What a byte range holds in one view.
enum class Found : uint8_t {
    before,       // nothing was written over it: what the target held before the run
    zeros,        // zeros written over all of it
    data,         // other bytes written over all of it (the new volume's)
    empty_table,  // the empty partition table of a re-initialisation
    new_table,    // the final partition table
    unknown,      // a request over it failed: it may hold part of what was being written
    mixed,        // parts of it hold different things
};

enum class PriorTable { none, mbr, gpt };

// An NTFS volume found on the target before the first write: its boot sector at `offset`, its
// backup boot sector in the last sector of its `bytes`.
struct PriorVolume {
    uint64_t offset = 0;
    uint64_t bytes = 0;
    bool boot_sector = true;  // false: only the backup boot sector was found
};

class TargetLedger {
  public:
    TargetLedger(uint64_t size_bytes, uint32_t sector_size)
        : size_bytes_(size_bytes), sector_size_(sector_size) {}

    // What the run means to write, for the claims to name.
    bool whole_disk = false;  // a partition table is part of what the target holds
    uint64_t volume_offset = 0;
    uint64_t volume_bytes = 0;
    uint64_t zero_bytes = 0;  // a full format's zeros over [0, zero_bytes)

    // Reads what the target holds before the first write: its partition table and an NTFS boot
    // sector (or its backup) at the target's start and at each partition. A read that fails
    // leaves the survey unknown, and no claim of what may remain is made from it.
    void survey(DiskIo& device);
    bool surveyed() const { return surveyed_; }
    PriorTable prior_table() const { return prior_table_; }
    const std::vector<PriorVolume>& prior_volumes() const { return prior_volumes_; }

    // What happened on the write path.
    void wrote(uint64_t offset, const uint8_t* data, uint32_t length, const Outcome& result);
    void created_table(bool gpt, const Outcome& result);
    void set_table(bool gpt, const Outcome& result);
    void flushed(const Outcome& result);
    // The writing pass handed every byte of the volume to the device; its read-back compared
    // equal; the partition table read back as written.
    void volume_handed_over();
    void volume_read_back() { volume_read_back_ = true; }
    void table_read_back() { table_read_back_ = true; }
    // A read-back failed or differed: what the medium holds may not be what it accepted.
    void read_back_differed() { read_back_failed_ = true; }
    bool read_back_failed() const { return read_back_failed_; }

    Found found(View view, uint64_t first, uint64_t end) const;
    // Whether every byte of the volume (but the boot sectors a hold keeps back) is there.
    bool volume_whole(View view) const {
        return view == View::accepted  ? volume_whole_
               : view == View::flushed ? volume_whole_flushed_
                                       : false;
    }
    bool volume_verified() const { return volume_read_back_; }
    bool table_verified() const { return table_read_back_; }
    // The end of the zeros written from byte `first` on (bad sectors inside them, which hold
    // what they held, do not end them).
    uint64_t zeros_end(View view, uint64_t first) const;
    // The failed requests inside [first, end): sectors that may hold anything.
    std::vector<std::pair<uint64_t, uint64_t>> unknown_ranges(uint64_t first, uint64_t end) const;

    uint64_t size_bytes() const { return size_bytes_; }
    uint32_t sector_size() const { return sector_size_; }
    // The writes and table requests that may have changed the target (done, or failed on
    // their way), and those done.
    uint64_t writes_tried() const { return writes_tried_; }
    uint64_t writes_accepted() const { return writes_accepted_; }

  private:
    void assign(uint64_t first, uint64_t end, Found held, const Outcome& result);
    void count(const Outcome& result);
    void table_ranges(bool gpt, Found held, const Outcome& result);

    uint64_t size_bytes_;
    uint32_t sector_size_;
    bool surveyed_ = false;
    PriorTable prior_table_ = PriorTable::none;
    std::vector<PriorVolume> prior_volumes_;
    RangeMap<Found> accepted_;
    RangeMap<Found> flushed_;
    bool volume_whole_ = false;
    bool volume_whole_flushed_ = false;
    bool volume_read_back_ = false;
    bool table_read_back_ = false;
    bool read_back_failed_ = false;
    uint64_t writes_tried_ = 0;
    uint64_t writes_accepted_ = 0;
};

// The disk in front of the one it owns that keeps the ledger: every request is handed on and
// its result recorded. A write refused because the run is being stopped flushes what the device
// took, once, so that what the run then says rests on the medium.
class LedgerDisk final : public ForwardingDiskDevice {
  public:
    LedgerDisk(std::unique_ptr<DiskDevice> inner, TargetLedger& ledger)
        : ForwardingDiskDevice(std::move(inner)), ledger_(ledger) {}

    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override;
    Outcome flush() override;
    Outcome create_disk(const CreateDiskRecord& record) override;
    Outcome set_drive_layout(const uint8_t* layout, uint32_t size) override;

  private:
    void stop_flush(const Outcome& refused);

    TargetLedger& ledger_;
    bool stop_flushed_ = false;  // the stop's flush is made once
};

}  // namespace lintora
