// A device in front of another that keeps a volume's boot sector and its backup (the volume's
// first and last sectors) off the target until `commit`. Before the first write both sectors
// are zeroed, so whatever volume was there stops being one; a run that stops early leaves zeros
// there, and nothing takes the half-written volume for a valid one.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/raw_disk.h"

namespace lintora {

class BootSectorHold final : public ForwardingDiskIo {
  public:
    BootSectorHold(DiskIo& target, uint64_t volume_offset, uint64_t sector_count,
                   uint32_t sector_size);

    // Zeros over both sectors on the target, the primary first.
    Outcome clear();
    // Writes the held sectors, the backup first and flushed, the primary last; call it after the
    // volume is complete and flushed.
    Outcome commit();
    // Takes a committed volume back after what follows the commit failed: zeros over both
    // sectors again, flushed. On success the target holds no valid volume.
    Outcome withdraw();
    // Whether commit wrote the backup boot sector: from then on the target may hold a volume
    // that a repair tool brings back from it, whatever came after.
    bool backup_written() const { return backup_written_; }

    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override;

  private:
    struct Held {
        uint64_t offset;
        std::vector<uint8_t> bytes;
    };

    Held held_[2];
    bool backup_written_ = false;
};

}  // namespace lintora
