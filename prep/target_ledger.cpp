#include "prep/target_ledger.h"

#include <algorithm>
#include <cstring>

#include "base/le.h"
#include "platform/encoding/drive_layout.h"
#include "platform/encoding/partition_table.h"

namespace lintora {

namespace {

// The most partition entries of an old GPT that the survey reads.
constexpr uint64_t kMaxSurveyedEntryBytes = 1 << 20;

// A zero pass hands over terabytes: compared with itself one byte on, as memcmp does it at the
// memory's speed.
bool all_zero(const uint8_t* data, uint32_t length) {
    return length == 0 || (data[0] == 0 && std::memcmp(data, data + 1, length - 1) == 0);
}

bool has_boot_signature(const std::vector<uint8_t>& sector) {
    return sector.size() >= 512 && sector[510] == 0x55 && sector[511] == 0xAA;
}

// The bytes of the NTFS volume whose boot sector (or backup) this is, or 0.
uint64_t ntfs_volume_bytes(const std::vector<uint8_t>& sector) {
    if (!has_boot_signature(sector) || std::memcmp(sector.data() + 3, "NTFS    ", 8) != 0) {
        return 0;
    }
    const uint64_t bytes_per_sector = load_u16(sector.data() + 0x0B);
    return bytes_per_sector == 0 ? 0 : (load_u64(sector.data() + 0x28) + 1) * bytes_per_sector;
}

struct Extent {
    uint64_t first;  // bytes
    uint64_t bytes;
};

// Whether a request may have changed the target: done, or failed on its way (a request the
// system refused outright, or one a stop never let through, changed nothing).
bool may_have_landed(const Outcome& result) {
    return result.ok() || !(result.cause == FailureClass::refused || result.stopped);
}

}  // namespace

void TargetLedger::survey(DiskIo& device) {
    const uint32_t sector = sector_size_;
    std::vector<uint8_t> bytes(sector);
    const auto read = [&](uint64_t offset, std::vector<uint8_t>& into) {
        return offset + into.size() <= size_bytes_ &&
               device.read_at(offset, into.data(), static_cast<uint32_t>(into.size())).ok();
    };
    if (!read(0, bytes)) {
        return;
    }
    std::vector<Extent> partitions;
    if (const uint64_t found = ntfs_volume_bytes(bytes)) {
        prior_volumes_.push_back({0, found, true});
    } else if (has_boot_signature(bytes)) {
        bool protective = false;
        for (uint32_t i = 0; i < 4; ++i) {
            const uint8_t* entry = bytes.data() + kMbrEntryOffset + kMbrEntryBytes * i;
            protective = protective || entry[4] == 0xEE;
            if (entry[4] != 0 && entry[4] != 0xEE && load_u32(entry + 12) != 0) {
                partitions.push_back({uint64_t{load_u32(entry + 8)} * sector,
                                      uint64_t{load_u32(entry + 12)} * sector});
            }
        }
        prior_table_ = partitions.empty() && !protective ? PriorTable::none : PriorTable::mbr;
        std::vector<uint8_t> header(sector);
        if (protective && read(sector, header) && std::memcmp(header.data(), "EFI PART", 8) == 0) {
            prior_table_ = PriorTable::gpt;
            partitions.clear();
            const uint64_t count = load_u32(header.data() + 0x50);
            const uint64_t size = load_u32(header.data() + 0x54);
            const uint64_t table = std::min(count * size, kMaxSurveyedEntryBytes);
            std::vector<uint8_t> table_bytes(
                static_cast<size_t>((table + sector - 1) / sector * sector));
            if (size < 128 || !read(load_u64(header.data() + 0x48) * sector, table_bytes)) {
                return;
            }
            for (uint64_t at = 0; at + size <= table; at += size) {
                const uint8_t* entry = table_bytes.data() + at;
                const uint64_t first = load_u64(entry + 32);
                const uint64_t last = load_u64(entry + 40);
                if (!all_zero(entry, 16) && last >= first) {
                    partitions.push_back({first * sector, (last - first + 1) * sector});
                }
            }
        }
    }
    if (prior_volumes_.empty() && partitions.empty()) {
        // A volume whose boot sector is gone may keep its backup in the target's last sector.
        partitions.push_back({0, size_bytes_});
    }
    for (const Extent& part : partitions) {
        if (part.bytes < sector || part.first + part.bytes > size_bytes_) {
            continue;
        }
        if (read(part.first, bytes) && ntfs_volume_bytes(bytes) != 0) {
            prior_volumes_.push_back({part.first, ntfs_volume_bytes(bytes), true});
        } else if (read(part.first + part.bytes - sector, bytes) && ntfs_volume_bytes(bytes) != 0 &&
                   ntfs_volume_bytes(bytes) <= part.bytes) {
            prior_volumes_.push_back({part.first + part.bytes - ntfs_volume_bytes(bytes),
                                      ntfs_volume_bytes(bytes), false});
        }
    }
    surveyed_ = true;
}

void TargetLedger::assign(uint64_t first, uint64_t end, Found held, const Outcome& result) {
    if (!may_have_landed(result)) {
        return;
    }
    // A request that failed may have written part of what it carried, or nothing.
    accepted_.assign(first, std::min(end, size_bytes_), result.ok() ? held : Found::unknown);
}

void TargetLedger::count(const Outcome& result) {
    writes_tried_ += may_have_landed(result) ? 1u : 0u;
    writes_accepted_ += result.ok() ? 1u : 0u;
}

void TargetLedger::wrote(uint64_t offset, const uint8_t* data, uint32_t length,
                         const Outcome& result) {
    count(result);
    assign(offset, offset + length, all_zero(data, length) ? Found::zeros : Found::data, result);
}

// The sectors a partition table takes: sector 0, and for GPT the primary header and entries
// after it and their backup at the end of the disk.
void TargetLedger::table_ranges(bool gpt, Found held, const Outcome& result) {
    count(result);
    const uint64_t sector = sector_size_;
    assign(0, sector, held, result);
    if (gpt) {
        const uint64_t entries =
            (uint64_t{kGptEntries} * kGptEntryBytes + sector - 1) / sector * sector;
        assign(sector, 2 * sector + entries, held, result);
        assign(size_bytes_ - sector - entries, size_bytes_, held, result);
    }
}

void TargetLedger::created_table(bool gpt, const Outcome& result) {
    table_ranges(gpt, Found::empty_table, result);
}

void TargetLedger::set_table(bool gpt, const Outcome& result) {
    table_ranges(gpt, Found::new_table, result);
}

void TargetLedger::flushed(const Outcome& result) {
    if (result.ok()) {
        flushed_ = accepted_;
        volume_whole_flushed_ = volume_whole_;
    }
}

void TargetLedger::volume_handed_over() {
    volume_whole_ = true;
}

Found TargetLedger::found(View view, uint64_t first, uint64_t end) const {
    if (view == View::before) {
        return Found::before;
    }
    const RangeMap<Found>& map = view == View::accepted ? accepted_ : flushed_;
    uint64_t covered = 0;
    bool unknown = false;
    Found held = Found::before;
    bool uniform = true;
    map.visit(first, end, [&](uint64_t from, uint64_t to, Found value) {
        uniform = uniform && (covered == 0 || value == held);
        held = value;
        covered += to - from;
        unknown = unknown || value == Found::unknown;
    });
    if (covered == 0) {
        return Found::before;
    }
    if (unknown) {
        return Found::unknown;
    }
    return uniform && covered == end - first ? held : Found::mixed;
}

uint64_t TargetLedger::zeros_end(View view, uint64_t first) const {
    if (view == View::before) {
        return first;
    }
    const RangeMap<Found>& map = view == View::accepted ? accepted_ : flushed_;
    uint64_t run_end = first;  // the run of zeros and failed sectors from `first`
    uint64_t zeros_end = first;
    bool going = true;
    map.visit(first, size_bytes_, [&](uint64_t from, uint64_t to, Found value) {
        going = going && from == run_end && (value == Found::zeros || value == Found::unknown);
        if (going) {
            run_end = to;
            zeros_end = value == Found::zeros ? to : zeros_end;
        }
    });
    return zeros_end;
}

std::vector<std::pair<uint64_t, uint64_t>> TargetLedger::unknown_ranges(uint64_t first,
                                                                        uint64_t end) const {
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    accepted_.visit(first, end, [&](uint64_t from, uint64_t to, Found value) {
        if (value == Found::unknown) {
            ranges.emplace_back(from, to);
        }
    });
    return ranges;
}

Outcome LedgerDisk::write_at(uint64_t offset, const uint8_t* data, uint32_t length) {
    const Outcome written = inner_->write_at(offset, data, length);
    ledger_.wrote(offset, data, length, written);
    stop_flush(written);
    return written;
}

Outcome LedgerDisk::flush() {
    const Outcome flushed = inner_->flush();
    ledger_.flushed(flushed);
    return flushed;
}

Outcome LedgerDisk::create_disk(const CreateDiskRecord& record) {
    const Outcome created = inner_->create_disk(record);
    ledger_.created_table(record.style == LayoutStyle::gpt, created);
    stop_flush(created);
    return created;
}

Outcome LedgerDisk::set_drive_layout(const uint8_t* layout, uint32_t size) {
    const Outcome set = inner_->set_drive_layout(layout, size);
    ledger_.set_table(decode_drive_layout(layout, size).style == LayoutStyle::gpt, set);
    stop_flush(set);
    return set;
}

void LedgerDisk::stop_flush(const Outcome& refused) {
    if (refused.stopped && !stop_flushed_) {
        stop_flushed_ = true;
        ledger_.flushed(inner_->flush());
    }
}

}  // namespace lintora
