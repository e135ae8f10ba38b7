#include "platform/short_write.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/raw_disk.h"

namespace lintora {

Outcome settle_short_write(DiskIo& disk, uint64_t offset, const uint8_t* data, uint32_t length,
                           uint32_t reported) {
    const std::string short_report = "the disk took only " + std::to_string(reported) + " of " +
                                     std::to_string(length) + " bytes";
    std::unique_ptr<uint8_t[]> back(new (std::nothrow) uint8_t[length]);
    if (!back) {
        return Outcome::failure(short_report + " (no memory to read them back)");
    }
    const Outcome read = disk.read_at(offset, back.get(), length);
    if (!read.ok()) {
        Outcome failed =
            Outcome::failure(short_report + " and reading them back failed: " + read.reason);
        failed.cause = read.cause;
        return failed;
    }
    return std::memcmp(back.get(), data, length) == 0
               ? Outcome::success()
               : Outcome::failure(short_report + ", and the rest is not on the disk");
}

}  // namespace lintora
