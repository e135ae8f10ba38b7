#include "prep/sector_writer.h"

#include "platform/raw_disk.h"

namespace lintora {

namespace {

uint64_t refuse(SectorWriter* w, uint64_t position, uint64_t length, Outcome why) {
    if (w->failure != nullptr) {
        why.reason = "write of " + std::to_string(length) + " bytes at byte " +
                     std::to_string(position) + " failed: " + why.reason;
        *w->failure = std::move(why);
    }
    return 0;
}

}  // namespace

uint64_t write_sectors(void* writer, uint64_t offset, const uint8_t* data, uint64_t length) {
    auto* w = static_cast<SectorWriter*>(writer);
    const uint64_t position = w->base_offset + offset;
    if (length > 0xFFFFFFFFu) {
        return refuse(w, position, length, Outcome::failure("larger than one request can be"));
    }
    if (w->unit_size == 0) {
        return refuse(w, position, length, Outcome::failure("no progress unit size"));
    }
    const auto bytes = static_cast<uint32_t>(length);
    if (w->device != nullptr) {
        Outcome written = w->device->write_at(position, data, bytes);
        if (!written.ok()) {
            if (written.names_step) {
                if (w->failure != nullptr) {
                    *w->failure = std::move(written);
                }
                return 0;
            }
            return refuse(w, position, length, std::move(written));
        }
    }
    w->bytes_done += bytes;
    w->units_done += bytes / w->unit_size + (bytes % w->unit_size != 0 ? 1u : 0u);
    if (w->progress != nullptr) {
        w->progress(w->phase, w->units_done, w->units_expected, w->owner);
    }
    return length;
}

}  // namespace lintora
