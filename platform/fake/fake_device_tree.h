// A device tree for tests: nodes built in memory, any call of which can be made to fail.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/device_tree.h"

namespace lintora {

struct FakeDevice {
    std::u16string device_id;
    std::u16string hardware_id;  // the first string of the hardware id list
    std::u16string friendly_name;
    std::u16string object_name;
    std::vector<std::u16string> interfaces;  // disk interface paths
};

enum class FakeCmCall { locate_root, device_id, parent, child, sibling, disk_interfaces, property };

class FakeDeviceTree final : public DeviceTree {
  public:
    // Adds a node as the last child of `parent` (0: the root, which must come first).
    DevNode add(DevNode parent, FakeDevice device);
    // Fails `call` on `node` (0: on every node) with `code`.
    void fail(FakeCmCall call, DevNode node = 0, int32_t code = kCmFailed) {
        failures_.push_back({call, node, code});
    }
    // Every call made, in order, as "call node".
    const std::vector<std::string>& calls() const { return calls_; }

    int32_t locate_root(DevNode* root) override;
    int32_t device_id(DevNode node, char16_t* buffer, uint32_t units) override;
    int32_t parent(DevNode* parent, DevNode node) override;
    int32_t child(DevNode* child, DevNode node) override;
    int32_t sibling(DevNode* sibling, DevNode node) override;
    int32_t disk_interfaces(const char16_t* device_id, char16_t* buffer, uint32_t units) override;
    int32_t property(DevNode node, uint32_t property, void* buffer, uint32_t* length) override;

  private:
    struct Node {
        FakeDevice device;
        DevNode parent = 0;
        std::vector<DevNode> children;
    };
    struct Failure {
        FakeCmCall call;
        DevNode node;
        int32_t code;
    };

    int32_t failure(FakeCmCall call, DevNode node, const char* name);
    const Node* find(DevNode node) const;

    std::vector<Node> nodes_;  // node n is nodes_[n - 1]
    std::vector<Failure> failures_;
    std::vector<std::string> calls_;
};

}  // namespace lintora
