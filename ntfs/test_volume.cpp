#include "ntfs/test_volume.h"

#include <algorithm>
#include <cstring>

#include "ntfs/format_context.h"
#include "ntfs/upcase_table.h"

namespace lintora {

uint64_t fnv1a(const uint8_t* data, uint64_t length) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (uint64_t i = 0; i < length; ++i) {
        hash = (hash ^ data[i]) * 0x100000001B3ull;
    }
    return hash;
}

uint64_t RecordingSink::write(void* user, uint64_t offset, const uint8_t* data, uint64_t length) {
    auto* sink = static_cast<RecordingSink*>(user);
    if (++sink->attempts_ == sink->fail_at_) {
        return 0;
    }
    sink->calls_.push_back({offset, length, fnv1a(data, length)});
    if (sink->keep_contents_) {
        for (uint64_t done = 0; done < length;) {
            const uint64_t at = offset + done;
            std::vector<uint8_t>& page = sink->pages_[at / kPage];
            page.resize(kPage);
            const uint64_t n = std::min(length - done, kPage - at % kPage);
            std::memcpy(page.data() + at % kPage, data + done, static_cast<size_t>(n));
            done += n;
        }
    }
    return length;
}

std::vector<uint8_t> RecordingSink::read(uint64_t offset, uint64_t length) const {
    std::vector<uint8_t> out(static_cast<size_t>(length));
    for (uint64_t done = 0; done < length;) {
        const uint64_t at = offset + done;
        const uint64_t n = std::min(length - done, kPage - at % kPage);
        const auto page = pages_.find(at / kPage);
        if (page != pages_.end()) {
            std::memcpy(out.data() + done, page->second.data() + at % kPage,
                        static_cast<size_t>(n));
        }
        done += n;
    }
    return out;
}

uint64_t RecordingSink::bytes_written() const {
    uint64_t total = 0;
    for (const WriteCall& call : calls_) {
        total += call.length;
    }
    return total;
}

NtfsFormatParams test_params(RecordingSink& sink, uint64_t sector_count, uint16_t bytes_per_sector,
                             const CountedName* label) {
    NtfsFormatParams params;
    params.write_user = &sink;
    params.write = &RecordingSink::write;
    params.volume_label = label;
    params.io_chunk_size = 65536;
    params.bytes_per_sector = bytes_per_sector;
    params.cluster_size = 4096;
    params.first_sector = 2048;
    params.sector_count = sector_count;
    return params;
}

void init_test_context(NtfsFormatContext& ctx, RecordingSink& sink, uint32_t record_size,
                       uint64_t clusters) {
    ctx.write_user = &sink;
    ctx.write = &RecordingSink::write;
    ctx.io_chunk_size = 65536;
    ctx.bytes_per_sector = static_cast<uint16_t>(record_size == 4096 ? 4096 : 512);
    ctx.cluster_size = 4096;
    ctx.record_size = record_size;
    ctx.index_block_size = 4096;
    ctx.total_clusters = clusters;
    ctx.last_sector = clusters * (4096u / ctx.bytes_per_sector);
    ctx.upcase = allocate_zeroed(kUpcaseBytes);
    build_upcase_table(kUpcaseBytes, ctx.upcase.get());
    ctx.upcase_length = kUpcaseEntries;
    ctx.cluster_bitmap_size = static_cast<uint32_t>((clusters + 63) / 64 * 8);
    ctx.cluster_bitmap_buffer_size = ctx.cluster_bitmap_size;
    ctx.cluster_bitmap = allocate_zeroed(ctx.cluster_bitmap_size);
    ctx.mftmirr_run = {2, 1};
    ctx.now = 0x01D0000000000000ull;
}

}  // namespace lintora
