// The maker's USB disks for the GUI tests and the screenshots: a node in a fake device tree and
// the storage answers of a disk, with the volumes of its drive letters.
#pragma once

#include <string>

#include "platform/fake/fake_device_tree.h"
#include "platform/fake/fake_storage.h"

namespace lintora {

struct FakeDisks {
    FakeDeviceTree tree;
    FakeStorage storage;
    DevNode root = 0;
    uint32_t plugged = 0;

    FakeDisks();
    // Adds the maker's disk `name` of `bytes`, with the volumes of `letters` ("EF") on it;
    // returns its interface path.
    std::u16string plug(const std::u16string& name, uint64_t bytes, const char* letters = "",
                        uint32_t sector_size = 512);
};

}  // namespace lintora
