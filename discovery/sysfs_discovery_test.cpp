// Discovery on Linux, against a stand-in device tree: the walk through sysfs and the storage
// queries answered from it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "discovery/disk_entry_text.h"
#include "discovery/enumerate_disks.h"
#include "discovery/usb_disk_walk.h"
#include "platform/encoding/utf.h"
#include "platform/fake/sysfs_fixture.h"
#include "platform/scratch_folder.h"

namespace lintora {

namespace {

class SysfsDiscovery : public ::testing::Test {
  protected:
    void SetUp() override {
        build_sysfs_fixture(root.string(), kMakerVendorId);
        ::setenv("LINTORA_SYSFS_ROOT", (root / "sys").c_str(), 1);
        ::setenv("LINTORA_DEV_ROOT", (root / "dev").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("LINTORA_SYSFS_ROOT");
        ::unsetenv("LINTORA_DEV_ROOT");
    }

    std::vector<std::string> listed(uint32_t vendor) {
        auto tree = make_system_device_tree();
        auto storage = make_system_storage();
        auto list = std::make_unique<DiskList>();
        enumerate_disks(*list, *tree, *storage, vendor);
        std::vector<std::string> lines;
        for (uint32_t i = 0; i < list->count; ++i) {
            const DiskInfo& d = list->disks[i];
            lines.push_back(utf16_for_display(format_disk_entry(d)) + " | " +
                            utf16_for_display(d.interface_path) + " | " +
                            std::to_string(d.bytes_per_sector) + " " +
                            std::to_string(d.io_chunk_size));
        }
        return lines;
    }

    ScratchFolder folder{"sysfs"};
    std::filesystem::path root = folder.path();
};

TEST_F(SysfsDiscovery, ListsTheMakersFixedUsbDisks) {
    const std::string dev = (root / "dev").string();
    EXPECT_EQ(listed(kMakerVendorId),
              (std::vector<std::string>{
                  "Maker Ext Disk sdb USB Device 1.83TB | " + dev + "/sdb | 512 122880",
                  "Maker Ext Disk sde USB Device 3.65TB | " + dev + "/sde | 4096 122880",
                  "Maker Ext Disk sdg SCSI Disk Device 931.52GB | " + dev + "/sdg | 512 122880"}));
    // Any vendor: the other vendor's disk too; never the stick, the SATA disk (a SCSI disk, but
    // not on USB) or the disk whose interface cannot be listed.
    EXPECT_EQ(listed(kAnyVendor).size(), 4u);
}

TEST_F(SysfsDiscovery, WalksEveryNodeAndFindsUsbDisksBelowTheirUsbDevice) {
    auto tree = make_system_device_tree();
    DiskInfo disk{};
    std::vector<std::string> found;
    for (DevNode node = 0; (node = find_next_usb_disk(*tree, node, &disk)) != 0;) {
        char16_t id[kCmBufferUnits];
        ASSERT_EQ(tree->device_id(node, id, kCmBufferUnits), kCmSuccess);
        found.push_back(utf16_for_display(id));
        EXPECT_EQ(disk.vendor_id == kMakerVendorId || disk.vendor_id == (kMakerVendorId ^ 1), true);
    }
    EXPECT_EQ(found,
              (std::vector<std::string>{"USBSTOR\\DISK&VEN_Maker&PROD_Ext_Disk_sdb&REV_0100\\sdb",
                                        "USBSTOR\\DISK&VEN_Maker&PROD_Ext_Disk_sdc&REV_0100\\sdc",
                                        "USBSTOR\\DISK&VEN_Maker&PROD_Ext_Disk_sdd&REV_0100\\sdd",
                                        "USBSTOR\\DISK&VEN_Maker&PROD_Ext_Disk_sde&REV_0100\\sde",
                                        "SCSI\\DISK&VEN_Maker&PROD_Ext_Disk_sdg&REV_0100\\sdg"}));
}

}  // namespace

}  // namespace lintora
