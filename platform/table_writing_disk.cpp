#include "platform/table_writing_disk.h"

#include "platform/encoding/partition_table.h"

namespace lintora {

TableWritingDisk::TableWritingDisk(std::unique_ptr<DiskDevice> raw, uint32_t sector_size,
                                   uint64_t size_bytes, bool reread)
    : ForwardingDiskDevice(std::move(raw)),
      sector_size_(sector_size),
      size_bytes_(size_bytes),
      reread_(reread) {}

Outcome TableWritingDisk::create_disk(const CreateDiskRecord& record) {
    if (record.style == LayoutStyle::gpt) {
        return write_gpt(record.gpt_disk_id, {});
    }
    if (record.style != LayoutStyle::mbr) {
        return Outcome::failure("unknown partition style");
    }
    // An empty MBR; the backup GPT at the end of the disk goes too, so that nothing reads the
    // disk as GPT any more.
    const uint64_t sectors = total_sectors();
    const uint64_t tail = 33;
    if (sectors > tail + 1) {
        const std::vector<uint8_t> zeros(static_cast<size_t>(tail) * sector_size_, 0);
        const uint64_t offset = (sectors - tail) * sector_size_;
        Outcome cleared = write_at(offset, zeros.data(), static_cast<uint32_t>(zeros.size()));
        if (!cleared.ok()) {
            cleared.reason = "write of " + std::to_string(zeros.size()) + " bytes at byte " +
                             std::to_string(offset) + " failed: " + cleared.reason;
            return cleared;
        }
    }
    return write_sector(0, build_mbr_sector(sector_size_, record.mbr_signature, {}));
}

Outcome TableWritingDisk::set_drive_layout(const uint8_t* layout, uint32_t size) {
    const DriveLayoutRecord record = decode_drive_layout(layout, size);
    Outcome written = Outcome::failure("unknown partition style");
    if (record.style == LayoutStyle::gpt) {
        written = write_gpt(record.gpt_disk_id, record.entries);
    } else if (record.style == LayoutStyle::mbr) {
        written =
            write_sector(0, build_mbr_sector(sector_size_, record.mbr_signature, record.entries));
    }
    // A block device hears of the layout too, for a kernel that must be told its partitions.
    return written.ok() && reread_ ? inner_->set_drive_layout(layout, size) : written;
}

Outcome TableWritingDisk::write_sector(uint64_t lba, const std::vector<uint8_t>& bytes) {
    Outcome written =
        write_at(lba * sector_size_, bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (!written.ok()) {
        written.reason = "write of " + std::to_string(bytes.size()) + " bytes at byte " +
                         std::to_string(lba * sector_size_) + " failed: " + written.reason;
    }
    return written;
}

Outcome TableWritingDisk::write_gpt(const Guid& disk_id,
                                    const std::vector<PartitionRecord>& entries) {
    const GptImage gpt = build_gpt(sector_size_, total_sectors(), disk_id, entries);
    // The backup first and the primary header last, as UEFI has a table updated: until the
    // primary header is written, the disk's primary table is the one it had, whole; once it is,
    // its entries are already there. The protective MBR the re-initialisation wrote is the same
    // for every layout of the disk: it is not written again.
    const std::pair<uint64_t, const std::vector<uint8_t>*> parts[] = {
        {gpt.backup_entries_lba, &gpt.entries},
        {gpt.backup_header_lba, &gpt.backup_header},
        {gpt.primary_entries_lba, &gpt.entries},
        {1, &gpt.primary_header},
        {0, &gpt.protective_mbr}};
    for (const auto& [lba, bytes] : parts) {
        if (lba == 0 && *bytes == protective_mbr_) {
            continue;
        }
        Outcome written = write_sector(lba, *bytes);
        if (!written.ok()) {
            return written;
        }
    }
    protective_mbr_ = gpt.protective_mbr;
    return Outcome::success();
}

}  // namespace lintora
