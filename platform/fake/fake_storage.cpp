#include "platform/fake/fake_storage.h"

namespace lintora {

namespace {

class FakeDevice final : public StorageDevice {
  public:
    explicit FakeDevice(const FakeStorageDevice& d) : d_(d) {}

    bool device_descriptor(uint32_t* bus_type, bool* removable_media) override {
        *bus_type = d_.bus_type;
        *removable_media = d_.removable;
        return (d_.failing & kFailDescriptor) == 0;
    }
    bool max_transfer_length(uint32_t* bytes) override {
        *bytes = d_.max_transfer;
        return (d_.failing & kFailTransfer) == 0;
    }
    bool device_number(StorageDeviceNumber* number) override {
        *number = d_.number;
        return (d_.failing & kFailNumber) == 0;
    }
    bool length_bytes(uint64_t* bytes) override {
        *bytes = d_.length;
        return (d_.failing & kFailLength) == 0;
    }
    bool bytes_per_sector(uint32_t* bytes) override {
        *bytes = d_.sector_size;
        return (d_.failing & kFailGeometry) == 0;
    }

  private:
    FakeStorageDevice d_;
};

}  // namespace

uint32_t FakeStorage::present_drive_letters() {
    uint32_t letters = extra_letters;
    for (const auto& [letter, device] : volumes) {
        letters |= 1u << (letter - 'A');
    }
    return letters;
}

std::unique_ptr<StorageDevice> FakeStorage::open_volume(char letter) {
    const auto found = volumes.find(letter);
    return found == volumes.end() ? nullptr : std::make_unique<FakeDevice>(found->second);
}

std::unique_ptr<StorageDevice> FakeStorage::open_disk(const char16_t* path) {
    const auto found = disks.find(path);
    return found == disks.end() ? nullptr : std::make_unique<FakeDevice>(found->second);
}

}  // namespace lintora
