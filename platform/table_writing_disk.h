// A disk whose partition tables are written as sectors through another device, as a partition
// manager would write them: re-initialising it and setting its layout write MBR or GPT sectors
// directly. For disks and images on systems without a partition manager (POSIX), and for the
// image disk of the demonstration program.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/raw_disk.h"

namespace lintora {

class TableWritingDisk final : public ForwardingDiskDevice {
  public:
    // `raw` takes the bytes; `reread` says whether update_properties asks it to re-read the
    // table (a block device) or has nothing to do (an image).
    TableWritingDisk(std::unique_ptr<DiskDevice> raw, uint32_t sector_size, uint64_t size_bytes,
                     bool reread);

    Outcome create_disk(const CreateDiskRecord& record) override;
    Outcome update_properties() override {
        return reread_ ? inner_->update_properties() : Outcome::success();
    }
    Outcome set_drive_layout(const uint8_t* layout, uint32_t size) override;

  private:
    uint64_t total_sectors() const { return size_bytes_ / sector_size_; }
    Outcome write_sector(uint64_t lba, const std::vector<uint8_t>& bytes);
    Outcome write_gpt(const Guid& disk_id, const std::vector<PartitionRecord>& entries);

    uint32_t sector_size_;
    uint64_t size_bytes_;
    bool reread_;
    std::vector<uint8_t> protective_mbr_;  // the one this disk's re-initialisation wrote
};

}  // namespace lintora
