#include "discovery/usb_disk_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_device_tree.h"

namespace lintora {

namespace {

TEST(UsbIds, ReadFromTheParentsHardwareId) {
    struct Case {
        const char16_t* hardware_id;
        uint32_t vendor, product;
    };
    for (const Case& c :
         {Case{u"USB\\VID_1234&PID_ABCD&REV_0100", 0x1234, 0xABCD},
          Case{u"USB\\VID_0a5c&PID_21e8", 0x0A5C, 0x21E8}, Case{u"ROOT\\HTREE", 0, 0},
          Case{u"", 0, 0}, Case{u"USB\\VID_12", 0x12, 0},  // no product marker
          Case{u"XYZV", 0, 0},                             // marker without four after it
          Case{u"USB\\VID_ZZZZ&PID_0001", 0, 1}}) {
        uint32_t vendor = 99, product = 99;
        parse_usb_ids(c.hardware_id, &vendor, &product);
        EXPECT_EQ(vendor, c.vendor);
        EXPECT_EQ(product, c.product);
    }
}

FakeDevice usb_device(const char16_t* hardware_id) {
    return FakeDevice{u"USB\\VID_X", hardware_id, u"", u"", {}};
}

FakeDevice usb_disk(const char16_t* id, std::vector<std::u16string> interfaces) {
    return FakeDevice{id, u"", u"USB Disk", u"\\Device\\00000042", std::move(interfaces)};
}

class Walk : public ::testing::Test {
  protected:
    void SetUp() override {
        const DevNode root = tree.add(0, {u"HTREE\\ROOT\\0", u"", u"", u"", {}});
        const DevNode pci = tree.add(root, {u"PCI\\VEN_8086", u"", u"", u"", {}});
        const DevNode hub = tree.add(pci, {u"USB\\ROOT_HUB30", u"", u"", u"", {}});
        const DevNode dev1 = tree.add(hub, usb_device(u"USB\\VID_1234&PID_0001&REV_0100"));
        // Windows compares device ids ignoring case: a lower-case id is a disk as well.
        disk1 = tree.add(dev1, usb_disk(u"usbstor\\disk&ven_a&prod_1", {u"\\\\?\\usbstor#a"}));
        const DevNode dev2 = tree.add(hub, usb_device(u"USB\\VID_1234&PID_0002"));
        tree.add(dev2, usb_disk(u"USBSTOR\\CDROM&VEN_X", {u"\\\\?\\cdrom"}));
        const DevNode dev3 = tree.add(hub, usb_device(u"USB\\VID_5678&PID_0003"));
        failing = tree.add(dev3, usb_disk(u"usbstor\\disk&ven_b&prod_2", {u"\\\\?\\b"}));
        tree.fail(FakeCmCall::disk_interfaces, failing);
        nested = tree.add(failing, usb_disk(u"USBSTOR\\DISK&VEN_C&PROD_3", {u"\\\\?\\c"}));
        const DevNode dev4 = tree.add(hub, usb_device(u"USB\\VID_9ABC&PID_0004"));
        empty = tree.add(dev4, usb_disk(u"USBSTOR\\DISK&VEN_D&PROD_4", {}));
        // Behind a USB Attached SCSI bridge the disk is a SCSI disk whose parent is the USB
        // device; SCSI disks of a SATA port or a card reader on PCI are not on USB.
        const DevNode dev5 = tree.add(
            hub, {u"usb\\vid_4321&pid_0005", u"USB\\VID_4321&PID_0005&REV_0100", u"", u"", {}});
        uas = tree.add(dev5, usb_disk(u"scsi\\disk&ven_u&prod_5", {u"\\\\?\\scsi#uas"}));
        tree.add(root, {u"SCSI\\DISK&VEN_ATA", u"", u"", u"", {u"\\\\?\\sata"}});
        const DevNode reader =
            tree.add(pci, {u"PCI\\VEN_10EC", u"PCI\\VEN_10EC&DEV_5227", u"", u"", {}});
        tree.add(reader, usb_disk(u"SCSI\\DISK&VEN_CARD", {u"\\\\?\\scsi#card"}));
    }

    // Every node the walk returns, in order.
    std::vector<DevNode> walk() {
        std::vector<DevNode> found;
        DevNode node = 0;
        while ((node = find_next_usb_disk(tree, node, &disk)) != 0) {
            found.push_back(node);
            paths.push_back(disk.interface_path);
            vendors.push_back(disk.vendor_id);
            EXPECT_LT(found.size(), 10u);
        }
        return found;
    }

    FakeDeviceTree tree;
    DevNode disk1 = 0, failing = 0, nested = 0, empty = 0, uas = 0;
    DiskInfo disk{};
    std::vector<std::u16string> paths;
    std::vector<uint32_t> vendors;
};

// Pre-order, resumed from the last node; device ids matched on their first 12 characters
// ignoring case; a node whose interface query fails is passed over but its children are not; an
// empty interface list still yields the node; a SCSI disk counts only below a USB device.
TEST_F(Walk, FindsEachUsbDiskOnceInPreOrder) {
    EXPECT_EQ(walk(), (std::vector<DevNode>{disk1, nested, empty, uas}));
    EXPECT_EQ(paths, (std::vector<std::u16string>{u"\\\\?\\usbstor#a", u"\\\\?\\c", u"",
                                                  u"\\\\?\\scsi#uas"}));
    // The nested disk's parent is a disk without a hardware id: no ids for it.
    EXPECT_EQ(vendors, (std::vector<uint32_t>{0x1234, 0, 0x9ABC, 0x4321}));
    EXPECT_EQ(find_next_usb_disk(tree, uas, &disk), 0u);
}

TEST_F(Walk, ReadsTheNamesOfTheDisk) {
    ASSERT_EQ(find_next_usb_disk(tree, 0, &disk), disk1);
    EXPECT_EQ(std::u16string(disk.device_object_name), u"\\Device\\00000042");
    EXPECT_EQ(disk.product_id, 1u);
}

TEST_F(Walk, StopsAtOnceWithoutARootAndPassesOverBrokenNodes) {
    FakeDeviceTree no_root;
    EXPECT_EQ(find_next_usb_disk(no_root, 0, &disk), 0u);
    tree.fail(FakeCmCall::device_id, disk1);
    tree.fail(FakeCmCall::disk_interfaces, nested);
    EXPECT_EQ(walk(), (std::vector<DevNode>{empty, uas}));

    // A device object name above 522 bytes does not fit the record: the node is passed over.
    FakeDeviceTree long_name;
    const DevNode root = long_name.add(0, {u"HTREE\\ROOT\\0", u"", u"", u"", {}});
    FakeDevice disk_node = usb_disk(u"USBSTOR\\DISK&VEN_E", {u"\\\\?\\e"});
    disk_node.object_name = std::u16string(261, u'x');
    long_name.add(root, disk_node);
    EXPECT_EQ(find_next_usb_disk(long_name, 0, &disk), 0u);
    disk_node.object_name.resize(260);
    long_name.add(root, disk_node);
    EXPECT_EQ(find_next_usb_disk(long_name, 0, &disk), 3u);
}

TEST(DevnodeProperty, RefusesValuesAboveTheCapacity) {
    FakeDeviceTree tree;
    const DevNode node = tree.add(0, {u"ID", u"", u"A friendly name", u"", {}});
    char16_t buffer[32];
    EXPECT_TRUE(read_devnode_property(tree, node, kPropertyFriendlyName, buffer, sizeof buffer));
    EXPECT_EQ(std::u16string(buffer), u"A friendly name");
    EXPECT_FALSE(read_devnode_property(tree, node, kPropertyFriendlyName, buffer, 20));
    EXPECT_EQ(buffer[0], 0);
    read_devnode_property(tree, node, kPropertyHardwareId, buffer, sizeof buffer);
    EXPECT_EQ(buffer[0], 0);  // a node without the property reads as empty
}

}  // namespace

}  // namespace lintora
