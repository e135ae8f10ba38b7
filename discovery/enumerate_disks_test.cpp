#include "discovery/enumerate_disks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/fake/fake_device_tree.h"
#include "platform/fake/fake_storage.h"

namespace lintora {

namespace {

class Enumerate : public ::testing::Test {
  protected:
    void SetUp() override { root = tree.add(0, {u"HTREE\\ROOT\\0", u"", u"", u"", {}}); }

    // A USB disk of `vendor` whose storage answers `device`; returns its interface path.
    std::u16string plug(uint32_t vendor, FakeStorageDevice device) {
        const std::u16string n = std::u16string(1, static_cast<char16_t>(u'a' + plugged++));
        char16_t hardware[40];
        const std::string text = "USB\\VID_" + hex(vendor) + "&PID_0001&REV_0100";
        std::copy(text.begin(), text.end() + 1, hardware);
        const DevNode usb = tree.add(root, {u"USB\\VID", hardware, u"", u"", {}});
        const std::u16string path = u"\\\\?\\usbstor#disk#" + n;
        tree.add(usb, {u"USBSTOR\\DISK&VEN_" + n, u"", u"Disk " + n, u"\\Device\\1", {path}});
        device.number.device_number = plugged;
        storage.disks[path] = device;
        return path;
    }

    static std::string hex(uint32_t value) {
        char text[8];
        std::snprintf(text, sizeof text, "%04X", value);
        return text;
    }

    static FakeStorageDevice two_terabytes() {
        FakeStorageDevice d;
        d.length = 2000398934016;
        return d;
    }

    uint32_t run(uint32_t vendor = kMakerVendorId) {
        return enumerate_disks(list, tree, storage, vendor);
    }

    FakeDeviceTree tree;
    FakeStorage storage;
    DevNode root = 0;
    uint32_t plugged = 0;
    DiskList list;
};

TEST_F(Enumerate, ListsOnlyTheMakersFixedUsbDisksThatAnswerEveryQuery) {
    const std::u16string kept = plug(kMakerVendorId, two_terabytes());
    plug(kMakerVendorId ^ 1, two_terabytes());  // another vendor
    FakeStorageDevice stick = two_terabytes();
    stick.removable = true;
    plug(kMakerVendorId, stick);
    FakeStorageDevice sata = two_terabytes();
    sata.bus_type = 11;
    plug(kMakerVendorId, sata);
    for (uint32_t failing :
         {kFailDescriptor, kFailTransfer, kFailNumber, kFailLength, kFailGeometry}) {
        FakeStorageDevice broken = two_terabytes();
        broken.failing = failing;
        plug(kMakerVendorId, broken);
    }
    FakeStorageDevice empty = two_terabytes();
    empty.length = 0;
    plug(kMakerVendorId, empty);
    FakeStorageDevice no_sectors = two_terabytes();
    no_sectors.sector_size = 0;
    plug(kMakerVendorId, no_sectors);
    FakeStorageDevice odd = two_terabytes();
    odd.sector_size = 520;  // listed, though never supported for formatting
    const std::u16string odd_path = plug(kMakerVendorId, odd);

    ASSERT_EQ(run(), 2u);
    EXPECT_EQ(std::u16string(list.disks[0].interface_path), kept);
    EXPECT_EQ(list.disks[0].sector_count, 3907029168u);
    EXPECT_EQ(list.disks[0].bytes_per_sector, 512u);
    EXPECT_EQ(list.disks[0].io_chunk_size, 65536u);
    EXPECT_EQ(list.disks[0].vendor_id, kMakerVendorId);
    EXPECT_EQ(std::u16string(list.disks[0].friendly_name), u"Disk a");
    EXPECT_EQ(std::u16string(list.disks[1].interface_path), odd_path);
    EXPECT_FALSE(is_capacity_supported(list.disks[1]));
    EXPECT_EQ(run(kAnyVendor), 3u);
}

TEST_F(Enumerate, AttachesTheLettersOfVolumesOnFixedUsbDisks) {
    plug(kMakerVendorId, two_terabytes());
    plug(kMakerVendorId, two_terabytes());
    FakeStorageDevice volume = two_terabytes();
    volume.number.device_number = 1;
    storage.volumes['E'] = volume;
    storage.volumes['F'] = volume;
    volume.number.device_number = 2;
    storage.volumes['G'] = volume;
    storage.volumes['Z'] = volume;  // the last letter, as the first ones
    volume.removable = true;        // a stick that happens to share the number
    volume.number.device_number = 1;
    storage.volumes['H'] = volume;
    volume.removable = false;
    volume.failing = kFailNumber;
    storage.volumes['I'] = volume;
    storage.extra_letters = 1u << 2;  // C: cannot be opened
    // A disk numbered 0 without a volume: the empty entries of the letters that are not on a
    // fixed USB disk (C:, H:, I:) are number 0 too, but not of its device type.
    const std::u16string zero = plug(kMakerVendorId, two_terabytes());
    storage.disks[zero].number.device_number = 0;
    ASSERT_EQ(run(), 3u);
    EXPECT_EQ(list.disks[0].drive_letters, (1u << 4) | (1u << 5));
    EXPECT_EQ(list.disks[1].drive_letters, (1u << 6) | (1u << 25));
    EXPECT_EQ(list.disks[2].drive_letters, 0u);
}

TEST_F(Enumerate, StopsAtThirtyTwoDisks) {
    for (int i = 0; i < 33; ++i) {
        plug(kMakerVendorId, two_terabytes());
    }
    EXPECT_EQ(run(), 32u);
    EXPECT_EQ(list.count, 32u);
}

TEST_F(Enumerate, NothingToListIsAnEmptyList) {
    FakeDeviceTree no_tree;
    list.count = 7;
    EXPECT_EQ(enumerate_disks(list, no_tree, storage), 0u);
    EXPECT_EQ(list.count, 0u);
}

// On the system's own device tree and storage stack (sysfs here, the configuration manager under
// Wine): whatever it finds is a whole record (a path, a size, a sector size, the vendor asked
// for), counted as the list holds it, and never more than fit.
TEST(EnumerateOnThisSystem, EveryDiskFoundIsAWholeRecord) {
    auto tree = make_system_device_tree();
    auto storage = make_system_storage();
    uint32_t seen = 0;
    for (const uint32_t vendor : {kMakerVendorId, kAnyVendor}) {
        auto found = std::make_unique<DiskList>();
        const uint32_t count = enumerate_disks(*found, *tree, *storage, vendor);
        seen += count;
        ASSERT_LE(count, kMaxListedDisks);
        EXPECT_EQ(found->count, count);
        for (uint32_t i = 0; i < count; ++i) {
            const DiskInfo& disk = found->disks[i];
            EXPECT_NE(disk.interface_path[0], u'\0') << i;
            EXPECT_GT(disk.sector_count, 0u) << i;
            EXPECT_GT(disk.bytes_per_sector, 0u) << i;
            if (vendor != kAnyVendor) {
                EXPECT_EQ(disk.vendor_id, vendor) << i;
            }
        }
    }
    if (seen == 0) {
        GTEST_SKIP() << "this machine has no fixed USB disk: the records had nothing to check";
    }
}

}  // namespace

}  // namespace lintora
