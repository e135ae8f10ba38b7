#include "prep/zero_fill.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/raw_disk.h"

namespace lintora {

namespace {

// The zeros are flushed after every this many bytes and, with verify, read back: one flush (and
// one cache drop) per batch, not per piece. USB disks carry 64 to 256 MiB of cache of their own,
// which the system's flush does not empty for reads; a batch well above that is read from the
// medium, not from the drive's cache.
constexpr uint64_t kVerifyBatch = 1ull << 30;

struct ZeroPass {
    DiskIo& device;
    const ZeroFillRequest& request;
    ZeroFillResult& result;
    const uint8_t* zeros;
    uint8_t* readback;
    uint64_t units = 0;

    Outcome ended = {};

    // Ends the pass: `why` in the pass's words, with the class of the failure behind it.
    bool fail(std::string why, FailureClass cause = FailureClass::other) {
        ended = Outcome::failure(std::move(why));
        ended.cause = cause;
        return false;
    }

    bool note_bad(uint64_t offset) {
        result.bad_sectors.push_back(offset);
        if (result.bad_sectors.size() > kMaxBadSectors) {
            // Appended: GCC 12 at -O3 warns falsely (-Wrestrict) on a literal plus this number.
            std::string why = "more than ";
            why += std::to_string(kMaxBadSectors);
            why += " bad sectors (the last at byte " + std::to_string(offset) + ")";
            return fail(why, FailureClass::medium);
        }
        return true;
    }

    // One sector alone, written (zeros) or read, and tried once more when the medium failed it:
    // a transient error of a USB bridge must not mark a good cluster bad for good.
    Outcome sector_io(uint64_t at, bool reading) {
        const auto once = [&] {
            return reading ? device.read_at(at, readback, request.sector_size)
                           : device.write_at(at, zeros, request.sector_size);
        };
        const Outcome first = once();
        return first.medium_error() ? once() : first;
    }

    // A piece the medium failed: each sector of it again, alone. When every one fails and the
    // disk no longer reads its first sector either, the disk is gone, not bad. A piece refused
    // for any other reason (write-protected, gone, denied) ends the pass at once.
    bool write_sector_by_sector(uint64_t offset, uint32_t size, const Outcome& refused) {
        if (!refused.medium_error()) {
            return fail("write of " + std::to_string(size) + " bytes at byte " +
                            std::to_string(offset) + " failed: " + refused.reason,
                        refused.cause);
        }
        const uint32_t sector = request.sector_size;
        uint32_t failed = 0;
        for (uint32_t at = 0; at < size; at += sector) {
            const Outcome written = sector_io(offset + at, false);
            if (!written.ok() && !written.medium_error()) {
                return fail(
                    "write at byte " + std::to_string(offset + at) + " failed: " + written.reason,
                    written.cause);
            }
            if (!written.ok()) {
                ++failed;
                if (!note_bad(offset + at)) {
                    return false;
                }
            }
        }
        if (failed == size / sector) {
            const Outcome first = device.read_at(0, readback, sector);
            if (!first.ok()) {
                return fail("write of " + std::to_string(size) + " bytes at byte " +
                                std::to_string(offset) + " failed (" + refused.reason +
                                ") and the disk no longer reads its first sector: " + first.reason,
                            FailureClass::gone);
            }
        }
        return true;
    }

    bool known_bad(uint64_t first, uint64_t end) const {
        return std::any_of(result.bad_sectors.begin(), result.bad_sectors.end(),
                           [&](uint64_t bad) { return bad >= first && bad < end; });
    }

    bool all_zero(uint64_t offset, uint32_t size) {
        // memcmp against the zeros runs at memory speed; the byte is looked for only on a miss.
        if (std::memcmp(readback, zeros, size) == 0) {
            result.verified_bytes += size;
            return true;
        }
        const uint8_t* found =
            std::find_if(readback, readback + size, [](uint8_t b) { return b != 0; });
        return fail("read-back at byte " +
                    std::to_string(offset + static_cast<uint64_t>(found - readback)) +
                    " differs from what was written (zeros)");
    }

    // One piece read back: whole when it holds no known bad sector and reads, otherwise sector
    // by sector, where a sector that cannot be read is bad.
    bool read_piece_back(uint64_t offset, uint32_t size) {
        if (!known_bad(offset, offset + size)) {
            const Outcome read = device.read_at(offset, readback, size);
            if (read.ok()) {
                return all_zero(offset, size);
            }
            if (!read.medium_error()) {
                return fail("read-back of " + std::to_string(size) + " bytes at byte " +
                                std::to_string(offset) + " failed: " + read.reason,
                            read.cause);
            }
        }
        const uint32_t sector = request.sector_size;
        for (uint64_t at = offset; at < offset + size; at += sector) {
            if (known_bad(at, at + 1)) {
                continue;
            }
            const Outcome read = sector_io(at, true);
            if (!read.ok() && !read.medium_error()) {
                return fail("read-back at byte " + std::to_string(at) + " failed: " + read.reason,
                            read.cause);
            }
            if (!(read.ok() ? all_zero(at, sector) : note_bad(at))) {
                return false;
            }
        }
        return true;
    }

    // Reads [first, end) back from the medium.
    bool read_back(uint64_t first, uint64_t end) {
        Outcome step = flush_and_forget(device);
        if (!step.ok()) {
            return fail("cannot flush before the read-back: " + step.reason, step.cause);
        }
        for (uint64_t at = first; at < end; at += request.piece) {
            const auto size = static_cast<uint32_t>(std::min<uint64_t>(request.piece, end - at));
            if (!read_piece_back(at, size)) {
                return false;
            }
            tell();
        }
        std::sort(result.bad_sectors.begin(), result.bad_sectors.end());
        return true;
    }

    void tell() {
        ++units;
        if (request.progress != nullptr) {
            request.progress->tell(units);
        }
    }
};

}  // namespace

uint64_t zero_fill_units(const ZeroFillRequest& request) {
    if (request.piece == 0) {
        return 0;
    }
    const uint64_t pieces = (request.length + request.piece - 1) / request.piece;
    return request.verify ? 2 * pieces : pieces;
}

Outcome zero_fill(DiskIo& device, const ZeroFillRequest& request, ZeroFillResult* result) {
    *result = ZeroFillResult{};
    result->zeroed_end = request.offset;
    result->flushed_end = request.offset;
    if (request.sector_size == 0 || request.piece == 0 ||
        request.piece % request.sector_size != 0 || request.offset % request.sector_size != 0 ||
        request.length % request.sector_size != 0) {
        return Outcome::failure("the zero pass was asked for a range that is not whole sectors");
    }
    std::unique_ptr<uint8_t[]> zeros(new (std::nothrow) uint8_t[request.piece]());
    std::unique_ptr<uint8_t[]> readback(new (std::nothrow) uint8_t[request.piece]);
    if (!zeros || !readback) {
        return Outcome::failure("out of memory for the zero pass");
    }
    ZeroPass pass{device, request, *result, zeros.get(), readback.get()};
    const uint64_t end = request.offset + request.length;
    uint64_t batch_start = request.offset;
    for (uint64_t at = request.offset; at < end; at += request.piece) {
        const auto size = static_cast<uint32_t>(std::min<uint64_t>(request.piece, end - at));
        const Outcome written = device.write_at(at, zeros.get(), size);
        if (!written.ok() && !pass.write_sector_by_sector(at, size, written)) {
            return pass.ended;
        }
        pass.tell();
        const uint64_t next = at + size;
        result->zeroed_end = next;
        if (next - batch_start < kVerifyBatch && next != end) {
            continue;
        }
        if (request.verify) {
            if (!pass.read_back(batch_start, next)) {
                return pass.ended;
            }
        } else {
            Outcome flushed = device.flush();
            if (!flushed.ok()) {
                flushed.reason = "cannot flush the zeros: " + flushed.reason;
                return flushed;
            }
        }
        result->flushed_end = next;
        batch_start = next;
    }
    return Outcome::success();
}

Outcome clusters_of_bad_sectors(const std::vector<uint64_t>& bad_sectors, uint64_t volume_offset,
                                uint64_t volume_bytes, uint32_t sector_size, uint32_t cluster_size,
                                std::vector<uint64_t>* clusters) {
    clusters->clear();
    // The clusters cover every sector but the last (the backup boot sector), in whole clusters.
    const uint64_t cluster_bytes_end =
        volume_bytes >= sector_size ? (volume_bytes - sector_size) / cluster_size * cluster_size
                                    : 0;
    for (const uint64_t bad : bad_sectors) {
        if (bad < volume_offset || bad - volume_offset >= volume_bytes) {
            return Outcome::failure("the bad sector at byte " + std::to_string(bad) +
                                    " lies outside the volume, where the partition table and its "
                                    "partitions must go");
        }
        const uint64_t at = bad - volume_offset;
        if (at >= cluster_bytes_end && at + sector_size < volume_bytes) {
            continue;  // after the last cluster: nothing is stored there
        }
        const uint64_t cluster = at / cluster_size;
        if (clusters->empty() || clusters->back() != cluster) {
            clusters->push_back(cluster);
        }
    }
    return Outcome::success();
}

}  // namespace lintora
