// A raw-disk layer for tests: records every call in order, keeps what was written, and can
// refuse any operation.
#pragma once

#include <array>
#include <bitset>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/raw_disk.h"

namespace lintora {

enum class FakeOp {
    query_target,
    open_disk,
    open_volume,
    lock,
    dismount,
    write,
    read,
    flush,
    create_disk,
    update_properties,
    set_drive_layout,
    list_volumes,
    make_guid
};

// One operation to refuse: every call of it, or only its `nth` call (1-based, counted per
// operation over all handles), or only on the volume of `letter`.
struct FakeRefusal {
    FakeOp op;
    uint32_t nth = 0;
    char letter = 0;
};

// A volume on the fake disk, reachable by its GUID path and by a drive letter (0: none). Like a
// real volume it takes one lock at a time (a second handle's lock is refused as in use), and it
// answers the first `busy_locks` lock requests (and `busy_opens` opens) as in use, as a volume
// that Explorer or a scanner still holds for a moment does.
struct FakeVolume {
    char letter = 0;
    std::u16string path;
    uint32_t busy_locks = 0;
    // The first `busy_opens` opens are refused as in use: another program holds the volume open
    // without sharing it for writing (Windows' sharing violation).
    uint32_t busy_opens = 0;
    bool locked = false;
    // How the volume list names it, when not as `path` (Windows compares such names without
    // regard to case).
    std::u16string listed_as = {};
    // Its letter's GUID path cannot be looked up (the lookup fails), though the volume list
    // names it.
    bool unknown_by_letter = false;
};

// The bytes written to a fake disk, kept in pages; a byte never written reads as zero.
class FakeMedium {
  public:
    void write(uint64_t offset, const uint8_t* data, uint32_t length);
    void read(uint64_t offset, uint8_t* data, uint32_t length) const;
    // The byte at `offset`, or nothing when it was never written.
    std::optional<uint8_t> at(uint64_t offset) const;

  private:
    static constexpr uint32_t kPage = 4096;
    struct Page {
        std::array<uint8_t, kPage> bytes{};
        std::bitset<kPage> held;
    };
    std::unordered_map<uint64_t, Page> pages_;
};

struct FakeDiskLog {
    std::vector<std::string> calls;    // "open_disk", "write 0 512", "close disk", ...
    FakeMedium written;                // bytes written to the disk
    std::vector<uint8_t> last_layout;  // the last drive layout image
    CreateDiskRecord last_create;
    int open_handles = 0;
};

class FakeDiskSystem final : public DiskSystem {
  public:
    explicit FakeDiskSystem(std::vector<FakeRefusal> refuse = {}) : refuse_(std::move(refuse)) {}

    Outcome query_target(const char16_t* path, TargetInfo* info) override;
    Outcome open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse use,
                      std::unique_ptr<DiskDevice>* device) override;
    Outcome open_volume(char letter, std::unique_ptr<VolumeHandle>* volume) override;
    Outcome open_volume_path(const char16_t* path, std::unique_ptr<VolumeHandle>* volume) override;
    Outcome volume_path_of_letter(char letter, std::u16string* path) override;
    Outcome letters_of_volume(const char16_t* path, uint32_t* letters) override;
    Outcome volumes_on_disk(const char16_t* disk_path, std::vector<std::u16string>* paths) override;
    void notify_drive_removed(char letter) override;
    Outcome make_guid(Guid* guid) override;
    void pause(uint32_t milliseconds) override;

    // Counts the call and tells whether it is to be refused; the refusal's reason names it.
    bool refuses(FakeOp op, char letter = 0);
    FakeDiskLog& log() { return log_; }

    // What query_target answers.
    TargetInfo target;
    // Stores the bytes of a write (off for large volumes, where only the calls matter).
    bool keep_bytes = true;
    // The volumes the system knows on the disk. A letter that none of them carries opens a
    // volume of its own that only that letter reaches.
    std::vector<FakeVolume> volumes;
    // Byte ranges [first, end) that fail every write and read that touches them, as bad sectors
    // do ("Input/output error"), or with another class of failure: a write-protected disk
    // (refused) or an error that is neither (other).
    std::vector<std::pair<uint64_t, uint64_t>> bad_ranges;
    FailureClass bad_range_cause = FailureClass::medium;
    // When not 0, the bad ranges fail only this many requests in all, then work: a transient
    // error of a USB bridge.
    uint32_t transient_failures = 0;
    // Bytes that read back other than they were written (a write lost by a bridge), by offset.
    std::map<uint64_t, uint8_t> altered;
    // The disk went away: every write and read fails as on a device that was unplugged.
    bool unplugged = false;
    // The first failure in a bad range unplugs the disk: a medium error that was the cable
    // coming loose, every request after it failing as gone.
    bool unplugged_after_bad = false;
    // What room_missing_to_fill answers.
    uint64_t shortfall = 0;
    Outcome room_missing_to_fill(const char16_t* path, uint64_t* missing) override;

  private:
    Outcome open_in_use(FakeVolume& volume, const std::string& call);

    std::vector<FakeRefusal> refuse_;
    std::map<FakeOp, uint32_t> counts_;
    FakeDiskLog log_;
    uint8_t next_guid_ = 1;
};

}  // namespace lintora
