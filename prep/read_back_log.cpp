#include "prep/read_back_log.h"

#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

namespace lintora {

namespace {

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

uint64_t mix(uint64_t hash, uint64_t word) {
    hash = (hash ^ word) * kMultiplier;
    return hash ^ (hash >> 29);
}

// Continues `hash` over `length` bytes; `length` is a multiple of 8 but for the last call.
uint64_t digest_more(uint64_t hash, const uint8_t* data, uint32_t length) {
    uint32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        hash = mix(hash, word);
    }
    if (i < length) {
        uint64_t word = 0;
        for (uint32_t k = 0; i + k < length; ++k) {
            word |= uint64_t{data[i + k]} << (8 * k);
        }
        hash = mix(hash, word);
    }
    return hash;
}

uint64_t digest_start(uint32_t length) {
    return mix(0x6C696E746F7261ull, length);
}

std::string differs(uint64_t offset, uint32_t length) {
    return "read-back at byte " + std::to_string(offset) +
           " differs from what was written (a write of " + std::to_string(length) + " bytes)";
}

}  // namespace

uint64_t write_digest(const uint8_t* data, uint32_t length) {
    return digest_more(digest_start(length), data, length);
}

ReadBackLog::ReadBackLog(DiskIo& target, uint32_t read_piece)
    : ForwardingDiskIo(target), read_piece_(read_piece) {}

Outcome ReadBackLog::write_at(uint64_t offset, const uint8_t* data, uint32_t length) {
    const uint64_t end = offset + length;
    // The earlier writes this one meets: the last one starting before it, and those inside.
    auto it = log_.lower_bound(offset);
    if (it != log_.begin()) {
        const auto before = std::prev(it);
        if (before->first + before->second.length > offset) {
            it = before;
        }
    }
    while (it != log_.end() && it->first < end) {
        const uint64_t old_end = it->first + it->second.length;
        if (it->first < offset || old_end > end) {
            // An earlier write that this one overlaps in part is checked before it is gone.
            uint64_t units = 0;
            Outcome checked = flush_and_forget(target_);
            if (!checked.ok()) {
                checked.reason =
                    "flushing before the read-back of an earlier write failed: " + checked.reason;
            } else {
                checked = check(it->first, it->second, nullptr, &units);
            }
            if (!checked.ok()) {
                checked.names_step = true;
                return checked;
            }
        }
        it = log_.erase(it);
    }
    const Outcome written = target_.write_at(offset, data, length);
    if (written.ok()) {
        log_[offset] = Written{length, write_digest(data, length)};
    }
    return written;
}

template <typename Visit>
void ReadBackLog::for_each_displacing_range(Visit visit) const {
    uint64_t left = kDriveCacheDisplacement;
    for (auto it = log_.begin(); it != log_.end() && left > 0; ++it) {
        const auto next = std::next(it);
        if (next == log_.end()) {
            break;
        }
        const uint64_t gap_start = it->first + it->second.length;
        const uint64_t gap = next->first - gap_start;
        const uint64_t taken = gap < left ? gap : left;
        if (taken != 0) {
            visit(gap_start, taken);
            left -= taken;
        }
    }
}

uint64_t ReadBackLog::displacing_units() const {
    uint64_t units = 0;
    for_each_displacing_range(
        [&](uint64_t, uint64_t length) { units += (length + read_piece_ - 1) / read_piece_; });
    return units;
}

uint64_t ReadBackLog::pending_units() const {
    uint64_t units = displacing_units();
    for (const auto& [offset, written] : log_) {
        units += (written.length + read_piece_ - 1) / read_piece_;
    }
    return units;
}

Outcome ReadBackLog::read_buffer_ready() {
    if (!buffer_) {
        buffer_.reset(new (std::nothrow) uint8_t[read_piece_]);
        if (!buffer_) {
            return Outcome::failure("out of memory for the read-back");
        }
    }
    return Outcome::success();
}

// What is read here is only to fill the drive's cache with other data: a range that cannot be
// read (a bad sector outside every write) ends the displacement, not the read-back.
void ReadBackLog::displace_drive_cache(const ProgressSpan* progress, uint64_t* units) {
    bool readable = true;
    for_each_displacing_range([&](uint64_t offset, uint64_t length) {
        for (uint64_t done = 0; readable && done < length;) {
            const uint64_t rest = length - done;
            const auto size = static_cast<uint32_t>(rest < read_piece_ ? rest : read_piece_);
            readable = target_.read_at(offset + done, buffer_.get(), size).ok();
            if (readable) {
                bytes_displaced_ += size;
            }
            done += size;
            ++*units;
            if (progress != nullptr) {
                progress->tell(*units);
            }
        }
    });
}

Outcome ReadBackLog::check(uint64_t offset, const Written& written, const ProgressSpan* progress,
                           uint64_t* units) {
    const uint32_t piece = read_piece_ < written.length ? read_piece_ : written.length;
    const Outcome ready = read_buffer_ready();
    if (!ready.ok()) {
        return ready;
    }
    uint8_t* buffer = buffer_.get();
    uint64_t hash = digest_start(written.length);
    for (uint32_t done = 0; done < written.length;) {
        const uint32_t size = written.length - done < piece ? written.length - done : piece;
        const Outcome read = target_.read_at(offset + done, buffer, size);
        if (!read.ok()) {
            Outcome failed = read;
            failed.reason = "read-back of " + std::to_string(size) + " bytes at byte " +
                            std::to_string(offset + done) + " failed: " + read.reason;
            return failed;
        }
        hash = digest_more(hash, buffer, size);
        done += size;
        ++*units;
        if (progress != nullptr) {
            progress->tell(*units);
        }
    }
    if (hash != written.digest) {
        return Outcome::failure(differs(offset, written.length));
    }
    bytes_compared_ += written.length;
    return Outcome::success();
}

Outcome ReadBackLog::verify(const ProgressSpan* progress, bool displace) {
    Outcome step = flush_and_forget(target_);
    if (!step.ok()) {
        step.reason = "flushing before the read-back failed: " + step.reason;
        return step;
    }
    step = read_buffer_ready();
    if (!step.ok()) {
        return step;
    }
    uint64_t units = 0;
    if (displace) {
        displace_drive_cache(progress, &units);
    }
    for (auto it = log_.begin(); it != log_.end(); it = log_.erase(it)) {
        step = check(it->first, it->second, progress, &units);
        if (!step.ok()) {
            return step;
        }
    }
    return Outcome::success();
}

}  // namespace lintora
