// Storage queries for tests: disks by interface path and volumes by letter, each answering
// what it was given, any query of which can fail.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/storage_query.h"

namespace lintora {

enum FakeQuery : uint32_t {
    kFailDescriptor = 1,
    kFailTransfer = 2,
    kFailNumber = 4,
    kFailLength = 8,
    kFailGeometry = 16,
};

struct FakeStorageDevice {
    uint32_t bus_type = kBusTypeUsb;
    bool removable = false;
    uint32_t max_transfer = 65536;
    StorageDeviceNumber number{7, 0, 0};
    uint64_t length = 0;
    uint32_t sector_size = 512;
    uint32_t failing = 0;  // FakeQuery bits
};

class FakeStorage final : public StorageSystem {
  public:
    uint32_t present_drive_letters() override;
    std::unique_ptr<StorageDevice> open_volume(char letter) override;
    std::unique_ptr<StorageDevice> open_disk(const char16_t* path) override;

    std::map<std::u16string, FakeStorageDevice> disks;
    std::map<char, FakeStorageDevice> volumes;  // present letters; a missing entry cannot open
    uint32_t extra_letters = 0;                 // present letters without a volume that opens
};

}  // namespace lintora
