#include "prep/sector_writer.h"

#include "platform/raw_disk.h"

namespace lintora {

uint64_t write_sectors(void* writer, uint64_t offset, const uint8_t* data, uint64_t length) {
    auto* w = static_cast<SectorWriter*>(writer);
    if (length > 0xFFFFFFFFu || w->unit_size == 0) {
        return 0;
    }
    const auto bytes = static_cast<uint32_t>(length);
    if (w->device != nullptr && !w->device->write_at(w->base_offset + offset, data, bytes)) {
        return 0;
    }
    w->units_done += bytes / w->unit_size + (bytes % w->unit_size != 0 ? 1u : 0u);
    if (w->progress != nullptr) {
        w->progress(w->phase, w->units_done, w->units_expected, w->owner);
    }
    return length;
}

}  // namespace lintora
