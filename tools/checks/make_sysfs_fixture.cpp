// Test helper: builds the stand-in device tree of the discovery tests in DIR (DIR/sys, DIR/dev)
// with the build's maker vendor id, and EXTRA_DISKS more of the maker's disks, for the tool's
// end-to-end checks.
#include <cstdio>
#include <cstdlib>

#include "discovery/enumerate_disks.h"
#include "platform/fake/sysfs_fixture.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_sysfs_fixture DIR [EXTRA_DISKS]\n");
        return 2;
    }
    const auto extra = static_cast<uint32_t>(argc == 3 ? std::strtoul(argv[2], nullptr, 10) : 0);
    lintora::build_sysfs_fixture(argv[1], lintora::kMakerVendorId, extra);
    return 0;
}
