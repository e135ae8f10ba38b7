#include "platform/fake/sysfs_fixture.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace lintora {

namespace {

namespace fs = std::filesystem;

void put(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

std::string hex4(uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

struct Disk {
    std::string name;
    uint32_t minor;
    uint64_t bytes;
    uint32_t sector_size;
    bool removable;
    bool has_device_name;
    int partitions;
};

// A block disk below the SCSI device `scsi`, with its class link and device file.
void put_disk(const fs::path& root, const fs::path& scsi, const Disk& d) {
    const fs::path sys = root / "sys";
    put(scsi / "uevent", "DEVTYPE=scsi_device");
    put(scsi / "vendor", "Maker   ");
    put(scsi / "model", "Ext Disk " + d.name + "    ");
    put(scsi / "rev", "0100");
    const fs::path disk = scsi / "block" / d.name;
    put(disk / "uevent", "MAJOR=8\nMINOR=" + std::to_string(d.minor) + "\nDEVTYPE=disk" +
                             (d.has_device_name ? "\nDEVNAME=" + d.name : ""));
    put(disk / "dev", "8:" + std::to_string(d.minor));
    put(disk / "removable", d.removable ? "1" : "0");
    put(disk / "size", std::to_string(d.bytes / 512));
    put(disk / "queue" / "max_hw_sectors_kb", "120");
    put(disk / "queue" / "logical_block_size", std::to_string(d.sector_size));
    fs::create_directory_symlink("../../../" + scsi.filename().string(), disk / "device");
    fs::create_directories(sys / "class" / "block");
    fs::create_directory_symlink(fs::relative(disk, sys / "class" / "block"),
                                 sys / "class" / "block" / d.name);
    for (int p = 1; p <= d.partitions; ++p) {
        const std::string part = d.name + std::to_string(p);
        put(disk / part / "uevent", "DEVTYPE=partition\nDEVNAME=" + part);
        put(disk / part / "partition", std::to_string(p));
        put(root / "dev" / part, "");
    }
    put(root / "dev" / d.name, "");
}

// A USB device with one mass-storage interface, bound to `driver` ("usb-storage", or "uas" for a
// USB Attached SCSI bridge), and a disk on it.
void put_usb_disk(const fs::path& root, const fs::path& device, uint32_t vendor, int host,
                  const Disk& d, const std::string& driver = "usb-storage") {
    put(device / "uevent", "DEVTYPE=usb_device");
    put(device / "idVendor", hex4(vendor));
    put(device / "idProduct", hex4(0x1000 + d.minor));
    put(device / "bcdDevice", "0100");
    const std::string h = std::to_string(host);
    const fs::path interface = device / (device.filename().string() + ":1.0");
    put(interface / "uevent", "DEVTYPE=usb_interface\nDRIVER=" + driver);
    put(interface / ("host" + h) / "uevent", "DEVTYPE=scsi_host");
    const fs::path target = interface / ("host" + h) / ("target" + h + ":0:0");
    put(target / "uevent", "DEVTYPE=scsi_target");
    put_disk(root, target / (h + ":0:0:0"), d);
}

}  // namespace

void build_sysfs_fixture(const std::string& root_text, uint32_t maker, uint32_t extra_disks) {
    const fs::path root(root_text);
    const fs::path pci = root / "sys" / "devices" / "pci0000:00";
    put(pci / "0000:00:14.0" / "uevent", "PCI_CLASS=C0330");
    const fs::path usb = pci / "0000:00:14.0" / "usb2";
    put(usb / "uevent", "DEVTYPE=usb_device");
    put(usb / "idVendor", "0000");
    put(usb / "idProduct", "0003");
    put(usb / "bcdDevice", "0610");

    put_usb_disk(root, usb / "2-1", maker, 6, {"sdb", 16, 2000398934016, 512, false, true, 2});
    put_usb_disk(root, usb / "2-2", maker, 7, {"sdc", 32, 64023257088, 512, true, true, 1});
    put_usb_disk(root, usb / "2-3", maker ^ 1, 8, {"sdd", 48, 1000204886016, 512, false, true, 0});
    const fs::path hub = usb / "2-4";
    put(hub / "uevent", "DEVTYPE=usb_device");
    put(hub / "idVendor", "0000");
    put(hub / "idProduct", "0002");
    put(hub / "bcdDevice", "0100");
    put(hub / "2-4:1.0" / "uevent", "DEVTYPE=usb_interface\nDRIVER=hub");
    put_usb_disk(root, hub / "2-4.2", maker, 9, {"sde", 64, 4000787030016, 4096, false, true, 0});
    put_usb_disk(root, usb / "2-5", maker, 10, {"sdf", 80, 2000398934016, 512, false, false, 0});
    put_usb_disk(root, usb / "2-6", maker, 11, {"sdg", 96, 1000204886016, 512, false, true, 1},
                 "uas");

    const fs::path usb3 = pci / "0000:00:14.0" / "usb3";
    for (uint32_t i = 0; i < extra_disks; ++i) {
        if (i == 0) {
            put(usb3 / "uevent", "DEVTYPE=usb_device");
            put(usb3 / "idVendor", "0000");
            put(usb3 / "idProduct", "0003");
            put(usb3 / "bcdDevice", "0610");
        }
        const std::string n = std::to_string(i);
        put_usb_disk(root, usb3 / ("3-" + std::to_string(i + 1)), maker, static_cast<int>(20 + i),
                     {"sdx" + n, 128 + i, 2000398934016, 512, false, true, 0});
    }

    const fs::path ata = pci / "0000:00:17.0";
    put(ata / "uevent", "PCI_CLASS=10601");
    put(ata / "ata1" / "uevent", "DEVTYPE=ata_port");
    put(ata / "ata1" / "host0" / "uevent", "DEVTYPE=scsi_host");
    put(ata / "ata1" / "host0" / "target0:0:0" / "uevent", "DEVTYPE=scsi_target");
    put_disk(root, ata / "ata1" / "host0" / "target0:0:0" / "0:0:0:0",
             {"sda", 0, 512110190592, 512, false, true, 3});
}

}  // namespace lintora
