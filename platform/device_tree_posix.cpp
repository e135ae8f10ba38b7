// The device tree on Linux, read from sysfs once when it is made. Every device directory (one
// with a uevent file) below devices/ is a node. A USB mass-storage disk becomes a node with the
// device id USBSTOR\DISK&VEN_v&PROD_p&REV_r\name (SCSI\DISK&... behind a USB Attached SCSI
// bridge) whose parent is its USB device, which carries the hardware id
// USB\VID_vvvv&PID_pppp&REV_rrrr; its disk interface is its device path. Every
// other device (hubs, interfaces, SATA and NVMe disks, partitions) is a node too, so a walk
// meets it and passes it over.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/device_tree.h"
#include "platform/encoding/utf.h"
#include "platform/sysfs_posix.h"

namespace lintora {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxDepth = 64;

struct Node {
    fs::path path;
    size_t parent = 0;  // index; the root is its own parent
    std::vector<size_t> children;
    std::u16string device_id;
    std::u16string hardware_id;
    std::u16string friendly_name;
    std::u16string object_name;
    bool has_interface_query = true;
    std::u16string interface;  // the device path of a disk, or empty
};

// KEY=value lines of a uevent file.
std::map<std::string, std::string> read_uevent(const fs::path& dir) {
    std::map<std::string, std::string> values;
    std::istringstream in(read_sysfs_text((dir / "uevent").string()));
    std::string line;
    while (std::getline(in, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

std::string attribute(const fs::path& dir, const char* name) {
    std::string text = read_sysfs_line((dir / name).string());
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) {
        text.pop_back();
    }
    return text;
}

// A 16-bit USB id as sysfs writes it (four hexadecimal digits); nothing for a value that does not
// fit, a sign, or any other text, so that a hostile device cannot pass for another vendor's.
std::optional<unsigned> usb_id_attribute(const fs::path& dir, const char* name) {
    const std::string text = attribute(dir, name);
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

// Blanks inside an id become underscores, as in the system's own device ids.
// A field of a SCSI disk's inquiry data as Windows takes it into the disk's ids and name: at
// most `width` characters (vendor 8, product 16, revision 4), its trailing blanks dropped. A
// device that reports longer text through sysfs is cut as Windows cuts it, so that its ids stay
// within the configuration manager's buffers and the disk is not lost from the list.
std::string inquiry_field(std::string text, size_t width) {
    if (text.size() > width) {
        text.resize(width);
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::string id_part(std::string text) {
    std::replace(text.begin(), text.end(), ' ', '_');
    return text;
}

std::u16string wide(const std::string& text) {
    return path_to_utf16(text);
}

class SysfsDeviceTree final : public DeviceTree {
  public:
    SysfsDeviceTree() {
        const fs::path root = fs::path(sysfs_root()) / "devices";
        Node top;
        top.path = root;
        top.device_id = u"HTREE\\ROOT\\0";
        nodes_.push_back(top);
        std::error_code error;
        if (!fs::is_directory(root, error)) {
            return;
        }
        collect(root, 0);
        link_parents();
        describe();
    }

    int32_t locate_root(DevNode* root) override {
        *root = 1;
        return kCmSuccess;
    }

    int32_t device_id(DevNode node, char16_t* buffer, uint32_t units) override {
        const Node* n = find(node);
        if (n == nullptr) {
            return kCmNoSuchDevNode;
        }
        return answer_text(n->device_id, buffer, units);
    }

    int32_t parent(DevNode* parent, DevNode node) override {
        const Node* n = find(node);
        if (n == nullptr || node == 1) {
            return kCmNoSuchDevNode;
        }
        *parent = static_cast<DevNode>(n->parent + 1);
        return kCmSuccess;
    }

    int32_t child(DevNode* child, DevNode node) override {
        const Node* n = find(node);
        if (n == nullptr || n->children.empty()) {
            return kCmNoSuchDevNode;
        }
        *child = static_cast<DevNode>(n->children.front() + 1);
        return kCmSuccess;
    }

    int32_t sibling(DevNode* sibling, DevNode node) override {
        const Node* n = find(node);
        if (n == nullptr || node == 1) {
            return kCmNoSuchDevNode;
        }
        const std::vector<size_t>& family = nodes_[n->parent].children;
        const auto at = std::find(family.begin(), family.end(), node - 1);
        if (at == family.end() || at + 1 == family.end()) {
            return kCmNoSuchDevNode;
        }
        *sibling = static_cast<DevNode>(*(at + 1) + 1);
        return kCmSuccess;
    }

    int32_t disk_interfaces(const char16_t* device_id, char16_t* buffer, uint32_t units) override {
        for (const Node& n : nodes_) {
            if (n.device_id == device_id) {
                if (!n.has_interface_query) {
                    return kCmNoSuchInterface;
                }
                std::u16string list = n.interface;
                if (!list.empty()) {
                    list += u'\0';
                }
                return answer_text(list, buffer, units);
            }
        }
        return kCmNoSuchInterface;
    }

    int32_t property(DevNode node, uint32_t property, void* buffer, uint32_t* length) override {
        const Node* n = find(node);
        if (n == nullptr) {
            return kCmNoSuchDevNode;
        }
        std::u16string value;
        switch (property) {
            case kPropertyHardwareId:
                value = n->hardware_id.empty() ? u"" : n->hardware_id + u'\0';
                break;
            case kPropertyFriendlyName:
                value = n->friendly_name;
                break;
            case kPropertyDeviceObjectName:
                value = n->object_name;
                break;
            default:
                break;
        }
        return answer_property(value, buffer, length);
    }

  private:
    const Node* find(DevNode node) const {
        return node == 0 || node > nodes_.size() ? nullptr : &nodes_[node - 1];
    }

    // Every device directory below `dir`, in name order; symbolic links are not followed.
    void collect(const fs::path& dir, int depth) {
        if (depth > kMaxDepth) {
            return;
        }
        std::vector<fs::path> entries;
        std::error_code error;
        for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
            if (it->is_directory(error) && !it->is_symlink(error)) {
                entries.push_back(it->path());
            }
        }
        std::sort(entries.begin(), entries.end());
        for (const fs::path& entry : entries) {
            if (fs::is_regular_file(entry / "uevent", error)) {
                Node n;
                n.path = entry;
                nodes_.push_back(n);
            }
            collect(entry, depth + 1);
        }
    }

    size_t index_of(const fs::path& path) const {
        const auto found = index_.find(path.string());
        return found == index_.end() ? nodes_.size() : found->second;
    }

    // A USB device directory whose vendor id reads as one.
    bool is_usb_device(size_t i) const {
        return usb_id_attribute(nodes_[i].path, "idVendor").has_value();
    }

    bool is_disk(size_t i) const { return read_uevent(nodes_[i].path)["DEVTYPE"] == "disk"; }

    // A disk below a USB device whose interface (the directory right below the device) is bound
    // to the "uas" driver.
    bool is_uas_disk(const Node& disk) const {
        const Node& device = nodes_[disk.parent];
        if (!is_usb_device(disk.parent)) {
            return false;
        }
        const fs::path below = fs::relative(disk.path, device.path);
        if (below.empty() || *below.begin() == "..") {
            return false;
        }
        return read_uevent(device.path / *below.begin())["DRIVER"] == "uas";
    }

    // The nearest device above each node; a USB disk hangs directly below its USB device.
    void link_parents() {
        for (size_t i = 0; i < nodes_.size(); ++i) {
            index_[nodes_[i].path.string()] = i;
        }
        for (size_t i = 1; i < nodes_.size(); ++i) {
            size_t parent = 0;
            size_t usb_device = nodes_.size();
            for (fs::path up = nodes_[i].path.parent_path();
                 up != nodes_[0].path && up.has_relative_path(); up = up.parent_path()) {
                const size_t found = index_of(up);
                if (found == nodes_.size()) {
                    continue;
                }
                if (parent == 0) {
                    parent = found;
                }
                // The nearest USB device: one whose ids cannot be read still ends the search, so
                // that its disk is passed over rather than taken for a disk of the hub above.
                if (fs::exists(nodes_[found].path / "idVendor")) {
                    usb_device = found;
                    break;
                }
            }
            if (usb_device != nodes_.size() && is_disk(i)) {
                parent = usb_device;
            }
            nodes_[i].parent = parent;
        }
        for (size_t i = 1; i < nodes_.size(); ++i) {
            nodes_[nodes_[i].parent].children.push_back(i);
        }
        for (Node& n : nodes_) {
            std::sort(n.children.begin(), n.children.end(),
                      [&](size_t a, size_t b) { return nodes_[a].path < nodes_[b].path; });
        }
    }

    void describe() {
        for (size_t i = 1; i < nodes_.size(); ++i) {
            Node& n = nodes_[i];
            const std::string name = n.path.filename().string();
            std::map<std::string, std::string> uevent = read_uevent(n.path);
            char text[128];
            if (is_usb_device(i)) {
                const unsigned vendor = usb_id_attribute(n.path, "idVendor").value_or(0);
                const unsigned product = usb_id_attribute(n.path, "idProduct").value_or(0);
                std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X", vendor, product);
                n.device_id = wide(std::string(text) + "\\" + name);
                std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X&REV_%04X", vendor, product,
                              usb_id_attribute(n.path, "bcdDevice").value_or(0));
                n.hardware_id = wide(text);
            } else if (uevent["DEVTYPE"] == "disk") {
                const fs::path scsi = n.path / "device";
                const std::string vendor = inquiry_field(attribute(scsi, "vendor"), 8);
                const std::string model = inquiry_field(attribute(scsi, "model"), 16);
                // The USB mass-storage driver's disks are USBSTOR disks; a disk behind a USB
                // Attached SCSI bridge (the interface's driver is "uas") is a SCSI disk whose
                // parent is still the USB device, as on Windows.
                const bool usb_storage = is_usb_device(n.parent) && !is_uas_disk(n);
                n.device_id = wide((usb_storage ? "USBSTOR\\DISK&VEN_" : "SCSI\\DISK&VEN_") +
                                   id_part(vendor) + "&PROD_" + id_part(model) + "&REV_" +
                                   id_part(inquiry_field(attribute(scsi, "rev"), 4)) + "\\" + name);
                n.friendly_name = wide(vendor + " " + model +
                                       (usb_storage ? " USB Device" : " SCSI Disk Device"));
                n.object_name = wide("\\Device\\" + name);
                const std::string device = uevent["DEVNAME"];
                n.has_interface_query = !device.empty();
                if (!device.empty()) {
                    n.interface = wide(dev_root() + "/" + device);
                }
            } else if (uevent["DEVTYPE"] == "partition") {
                n.device_id = wide("STORAGE\\VOLUME\\" + name);
            } else {
                std::string relative = fs::relative(n.path, nodes_[0].path).string();
                std::replace(relative.begin(), relative.end(), '/', '#');
                n.device_id = wide("LINUX\\DEVICE\\" + relative);
            }
        }
    }

    std::vector<Node> nodes_;  // node n is nodes_[n - 1]; nodes_[0] is the root
    std::map<std::string, size_t> index_;
};

}  // namespace

std::unique_ptr<DeviceTree> make_system_device_tree() {
    return std::make_unique<SysfsDeviceTree>();
}

}  // namespace lintora
