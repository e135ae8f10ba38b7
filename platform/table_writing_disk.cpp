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
        Outcome cleared = write_at((sectors - tail) * sector_size_, zeros.data(),
                                   static_cast<uint32_t>(zeros.size()));
        if (!cleared.ok()) {
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
    return write_at(lba * sector_size_, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

Outcome TableWritingDisk::write_gpt(const Guid& disk_id,
                                    const std::vector<PartitionRecord>& entries) {
    const GptImage gpt = build_gpt(sector_size_, total_sectors(), disk_id, entries);
    const std::pair<uint64_t, const std::vector<uint8_t>*> parts[] = {
        {0, &gpt.protective_mbr},
        {1, &gpt.primary_header},
        {gpt.primary_entries_lba, &gpt.entries},
        {gpt.backup_entries_lba, &gpt.entries},
        {gpt.backup_header_lba, &gpt.backup_header}};
    for (const auto& [lba, bytes] : parts) {
        Outcome written = write_sector(lba, *bytes);
        if (!written.ok()) {
            return written;
        }
    }
    return Outcome::success();
}

}  // namespace lintora
