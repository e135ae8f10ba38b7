#include "platform/fake/fake_device_tree.h"

#include <cstring>

namespace lintora {

DevNode FakeDeviceTree::add(DevNode parent, FakeDevice device) {
    nodes_.push_back(Node{std::move(device), parent, {}});
    const auto id = static_cast<DevNode>(nodes_.size());
    if (parent != 0) {
        nodes_[parent - 1].children.push_back(id);
    }
    return id;
}

const FakeDeviceTree::Node* FakeDeviceTree::find(DevNode node) const {
    return node == 0 || node > nodes_.size() ? nullptr : &nodes_[node - 1];
}

int32_t FakeDeviceTree::failure(FakeCmCall call, DevNode node, const char* name) {
    calls_.push_back(std::string(name) + " " + std::to_string(node));
    for (const Failure& f : failures_) {
        if (f.call == call && (f.node == 0 || f.node == node)) {
            return f.code;
        }
    }
    return find(node) == nullptr && call != FakeCmCall::locate_root &&
                   call != FakeCmCall::disk_interfaces
               ? kCmNoSuchDevNode
               : kCmSuccess;
}

int32_t FakeDeviceTree::locate_root(DevNode* root) {
    if (const int32_t code = failure(FakeCmCall::locate_root, 0, "locate_root")) {
        return code;
    }
    if (nodes_.empty()) {
        return kCmNoSuchDevNode;
    }
    *root = 1;
    return kCmSuccess;
}

int32_t FakeDeviceTree::device_id(DevNode node, char16_t* buffer, uint32_t units) {
    if (const int32_t code = failure(FakeCmCall::device_id, node, "device_id")) {
        return code;
    }
    return answer_text(find(node)->device.device_id, buffer, units);
}

int32_t FakeDeviceTree::parent(DevNode* parent, DevNode node) {
    if (const int32_t code = failure(FakeCmCall::parent, node, "parent")) {
        return code;
    }
    const DevNode up = find(node)->parent;
    if (up == 0) {
        return kCmNoSuchDevNode;
    }
    *parent = up;
    return kCmSuccess;
}

int32_t FakeDeviceTree::child(DevNode* child, DevNode node) {
    if (const int32_t code = failure(FakeCmCall::child, node, "child")) {
        return code;
    }
    const Node* n = find(node);
    if (n->children.empty()) {
        return kCmNoSuchDevNode;
    }
    *child = n->children.front();
    return kCmSuccess;
}

int32_t FakeDeviceTree::sibling(DevNode* sibling, DevNode node) {
    if (const int32_t code = failure(FakeCmCall::sibling, node, "sibling")) {
        return code;
    }
    const Node* up = find(find(node)->parent);
    if (up == nullptr) {
        return kCmNoSuchDevNode;
    }
    for (size_t i = 0; i + 1 < up->children.size(); ++i) {
        if (up->children[i] == node) {
            *sibling = up->children[i + 1];
            return kCmSuccess;
        }
    }
    return kCmNoSuchDevNode;
}

int32_t FakeDeviceTree::disk_interfaces(const char16_t* device_id, char16_t* buffer,
                                        uint32_t units) {
    DevNode node = 0;
    for (size_t i = 0; i < nodes_.size(); ++i) {
        if (nodes_[i].device.device_id == device_id) {
            node = static_cast<DevNode>(i + 1);
        }
    }
    if (const int32_t code = failure(FakeCmCall::disk_interfaces, node, "disk_interfaces")) {
        return code;
    }
    if (node == 0) {
        return kCmNoSuchInterface;
    }
    std::u16string list;
    for (const std::u16string& path : nodes_[node - 1].device.interfaces) {
        list += path;
        list += u'\0';
    }
    return answer_text(list, buffer, units);
}

int32_t FakeDeviceTree::property(DevNode node, uint32_t property, void* buffer, uint32_t* length) {
    if (const int32_t code = failure(FakeCmCall::property, node, "property")) {
        return code;
    }
    const FakeDevice& d = find(node)->device;
    std::u16string value;
    switch (property) {
        case kPropertyHardwareId:
            value = d.hardware_id.empty() ? u"" : d.hardware_id + u'\0';  // a list of strings
            break;
        case kPropertyFriendlyName:
            value = d.friendly_name;
            break;
        case kPropertyDeviceObjectName:
            value = d.object_name;
            break;
        default:
            break;
    }
    return answer_property(value, buffer, length);
}

}  // namespace lintora
