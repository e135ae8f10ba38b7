// Where the program finds disks and how it writes them; the shipped program uses the system's,
// tests hand in fakes.
#pragma once

#include <functional>
#include <memory>

#include "platform/device_tree.h"
#include "platform/raw_disk.h"
#include "platform/storage_query.h"

namespace lintora {

struct DiskSources {
    // A device tree for one refresh of the list (the configuration manager is bound for that
    // long).
    std::function<std::unique_ptr<DeviceTree>()> device_tree;
    StorageSystem* storage = nullptr;
    DiskSystem* disks = nullptr;
};

}  // namespace lintora
