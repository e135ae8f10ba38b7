#include "app/demo/demo_disks.h"

#include <chrono>
#include <thread>

#include "platform/table_writing_disk.h"

namespace lintora {

namespace {

// The image's bytes, slowed down or unplugged as the options say.
class DemoDevice final : public ForwardingDiskDevice {
  public:
    DemoDevice(std::unique_ptr<DiskDevice> image, const DemoOptions& options)
        : ForwardingDiskDevice(std::move(image)), options_(options) {}

    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        if (options_.unplug_after_writes != 0 && ++writes_ > options_.unplug_after_writes) {
            return Outcome::failure("the disk was unplugged");
        }
        if (options_.write_delay_ms != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(options_.write_delay_ms));
        }
        return inner_->write_at(offset, data, length);
    }

  private:
    const DemoOptions& options_;
    uint64_t writes_ = 0;
};

}  // namespace

Outcome DemoDiskSystem::open_disk(const char16_t*, uint32_t bytes_per_sector, DiskUse,
                                  std::unique_ptr<DiskDevice>* device) {
    TargetInfo info;
    Outcome step = inner_.query_target(options_.image.c_str(), &info);
    if (!step.ok()) {
        return step;
    }
    std::unique_ptr<DiskDevice> image;
    step = inner_.open_disk(options_.image.c_str(), bytes_per_sector, DiskUse::volume, &image);
    if (!step.ok()) {
        return step;
    }
    *device =
        std::make_unique<TableWritingDisk>(std::make_unique<DemoDevice>(std::move(image), options_),
                                           bytes_per_sector, info.size_bytes, false);
    return Outcome::success();
}

}  // namespace lintora
