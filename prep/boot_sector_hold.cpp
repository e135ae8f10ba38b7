#include "prep/boot_sector_hold.h"

#include <algorithm>
#include <string>

namespace lintora {

BootSectorHold::BootSectorHold(DiskIo& target, uint64_t volume_offset, uint64_t sector_count,
                               uint32_t sector_size)
    : ForwardingDiskIo(target),
      held_{{volume_offset, std::vector<uint8_t>(sector_size, 0)},
            {volume_offset + (sector_count - 1) * sector_size,
             std::vector<uint8_t>(sector_size, 0)}} {}

Outcome BootSectorHold::clear() {
    for (const Held& h : held_) {
        const std::vector<uint8_t> zeros(h.bytes.size(), 0);
        Outcome written =
            target_.write_at(h.offset, zeros.data(), static_cast<uint32_t>(zeros.size()));
        if (!written.ok()) {
            written.reason = "write of " + std::to_string(zeros.size()) + " bytes at byte " +
                             std::to_string(h.offset) + " failed: " + written.reason;
            return written;
        }
    }
    return Outcome::success();
}

// The backup first, flushed, and the primary last: a run stopped between the two leaves the
// primary zeroed, so the target holds no volume that a system would mount.
Outcome BootSectorHold::commit() {
    const auto write = [this](const Held& h) {
        Outcome written =
            target_.write_at(h.offset, h.bytes.data(), static_cast<uint32_t>(h.bytes.size()));
        if (!written.ok()) {
            written.reason = "write of " + std::to_string(h.bytes.size()) + " bytes at byte " +
                             std::to_string(h.offset) + " failed: " + written.reason;
        }
        return written;
    };
    Outcome step = write(held_[1]);
    if (!step.ok()) {
        return step;
    }
    backup_written_ = true;
    step = target_.flush();
    if (!step.ok()) {
        step.reason = "flushing after the backup boot sector failed: " + step.reason;
        return step;
    }
    return write(held_[0]);
}

Outcome BootSectorHold::withdraw() {
    const Outcome cleared = clear();
    return cleared.ok() ? target_.flush() : cleared;
}

Outcome BootSectorHold::write_at(uint64_t offset, const uint8_t* data, uint32_t length) {
    // The request in pieces: what falls into a held sector is kept, the rest goes through.
    const uint64_t end = offset + length;
    uint64_t position = offset;
    for (Held& h : held_) {
        const uint64_t h_end = h.offset + h.bytes.size();
        if (h_end <= position || h.offset >= end) {
            continue;
        }
        if (h.offset > position) {
            Outcome written = target_.write_at(position, data + (position - offset),
                                               static_cast<uint32_t>(h.offset - position));
            if (!written.ok()) {
                return written;
            }
        }
        const uint64_t from = std::max(position, h.offset);
        const uint64_t to = std::min(end, h_end);
        std::copy(data + (from - offset), data + (to - offset),
                  h.bytes.begin() + static_cast<std::ptrdiff_t>(from - h.offset));
        position = to;
    }
    if (position < end) {
        return target_.write_at(position, data + (position - offset),
                                static_cast<uint32_t>(end - position));
    }
    return Outcome::success();
}

}  // namespace lintora
