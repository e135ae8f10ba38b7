// Test helper: builds the stand-in device tree of the discovery tests in DIR (DIR/sys, DIR/dev)
// with the build's maker vendor id, for the tool's end-to-end checks.
#include <cstdio>

#include "discovery/enumerate_disks.h"
#include "platform/sysfs_fixture.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sysfs_fixture DIR\n");
        return 2;
    }
    lintora::build_sysfs_fixture(argv[1], lintora::kMakerVendorId);
    return 0;
}
