// A device in front of another that keeps a digest of every write (its offset, its length and a
// 64-bit hash of its bytes) and, once the writes are flushed, reads every written range back from
// the medium and compares. A bridge or cable that loses a write, or a disk that keeps other
// bytes than it was given, is caught before anything makes the target look valid.
//
// A drive keeps a cache of its own (64 to 256 MiB on USB disks) that a flush does not empty for
// reads: before the read-back, up to 1 GiB of what the log does not cover (the gaps between the
// written ranges) is read, so that the drive's cache holds other data when the written ranges
// are read and their bytes come from the medium.
//
// The digests cost a few dozen bytes per write, whatever its size. A write that covers an
// earlier one whole replaces it; one that covers part of an earlier write has that write checked
// at once (its digest cannot be split), so that every byte is compared against its last write.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/raw_disk.h"
#include "prep/progress_span.h"

namespace lintora {

// The digest of a write: stable across platforms, fast enough to keep up with a disk.
uint64_t write_digest(const uint8_t* data, uint32_t length);

// What is read to displace the drive's cache before each read-back (less where the gaps between
// the written ranges are smaller).
inline constexpr uint64_t kDriveCacheDisplacement = 1ull << 30;

class ReadBackLog final : public ForwardingDiskIo {
  public:
    // Reads back in pieces of `read_piece` bytes (whole sectors), one progress unit each.
    ReadBackLog(DiskIo& target, uint32_t read_piece);

    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override;

    // The progress units verify() will report for what is logged now (at most), the cache's
    // displacement included.
    uint64_t pending_units() const;

    // Flushes, drops what the system caches, with `displace` reads the gaps to displace the
    // drive's cache, then reads every logged write back and compares it; what was checked is
    // forgotten. A failed read or a difference is a failure that names the write ("read-back at
    // byte N differs from what was written").
    Outcome verify(const ProgressSpan* progress = nullptr, bool displace = true);

    // The bytes read back and found equal to what was written, so far.
    uint64_t bytes_compared() const { return bytes_compared_; }
    // The bytes read, so far, only to displace the drive's cache.
    uint64_t bytes_displaced() const { return bytes_displaced_; }

  private:
    struct Written {
        uint32_t length;
        uint64_t digest;
    };

    Outcome check(uint64_t offset, const Written& written, const ProgressSpan* progress,
                  uint64_t* units);
    // The gaps between the logged writes, up to kDriveCacheDisplacement bytes in all, each
    // range handed to `visit(offset, length)`.
    template <typename Visit>
    void for_each_displacing_range(Visit visit) const;
    uint64_t displacing_units() const;  // one per read piece of each range, as they are read
    Outcome read_buffer_ready();
    void displace_drive_cache(const ProgressSpan* progress, uint64_t* units);

    uint32_t read_piece_;
    std::map<uint64_t, Written> log_;    // by offset; the ranges never overlap
    std::unique_ptr<uint8_t[]> buffer_;  // one read piece, made at the first read-back
    uint64_t bytes_compared_ = 0;
    uint64_t bytes_displaced_ = 0;
};

}  // namespace lintora
