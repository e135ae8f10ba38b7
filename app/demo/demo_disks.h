// The demonstration program's disk: one of the maker's USB disks backed by a disk image. The
// disk system opens the image whatever path the job names, writes its partition table as sectors
// (as the POSIX layer does for images), may slow every write down so that the bar can be
// watched, and may start refusing writes after a number of them, as an unplugged disk would.
#pragma once

#include <cstdint>
#include <string>

#include "platform/raw_disk.h"

namespace lintora {

struct DemoOptions {
    std::u16string image;
    uint32_t sector_size = 512;
    uint32_t write_delay_ms = 0;
    uint64_t unplug_after_writes = 0;  // 0: never
};

class DemoDiskSystem final : public ForwardingDiskSystem {
  public:
    DemoDiskSystem(DiskSystem& system, DemoOptions options)
        : ForwardingDiskSystem(system), options_(std::move(options)) {}

    Outcome query_target(const char16_t*, TargetInfo* info) override {
        return inner_.query_target(options_.image.c_str(), info);
    }
    Outcome open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse use,
                      std::unique_ptr<DiskDevice>* device) override;
    Outcome open_volume(char, std::unique_ptr<VolumeHandle>*) override {
        return Outcome::unsupported("the demonstration disk has no volumes");
    }
    Outcome volumes_on_disk(const char16_t*, std::vector<std::u16string>* paths) override {
        paths->clear();  // the demonstration disk has no volumes
        return Outcome::success();
    }
    void notify_drive_removed(char) override {}

  private:
    DemoOptions options_;
};

}  // namespace lintora
