// The device tree on Windows: the configuration manager's functions of the setup library,
// bound at run time for the life of the tree.
#include "platform/device_tree.h"
#include "platform/setup_api_win32.h"

namespace lintora {

namespace {

// The device tree through the setup library, bound for the life of the object.
class SetupApiDeviceTree final : public DeviceTree {
  public:
    SetupApiDeviceTree() { load_setup_api(lib_); }
    ~SetupApiDeviceTree() override { unload_library(lib_); }

    int32_t locate_root(DevNode* root) override { return cm_locate_devnode(lib_, root); }
    int32_t device_id(DevNode node, char16_t* buffer, uint32_t units) override {
        return cm_get_device_id(lib_, node, buffer, units);
    }
    int32_t parent(DevNode* parent, DevNode node) override {
        return cm_get_parent(lib_, parent, node);
    }
    int32_t child(DevNode* child, DevNode node) override { return cm_get_child(lib_, child, node); }
    int32_t sibling(DevNode* sibling, DevNode node) override {
        return cm_get_sibling(lib_, sibling, node);
    }
    int32_t disk_interfaces(const char16_t* device_id, char16_t* buffer, uint32_t units) override {
        return cm_get_device_interface_list(lib_, device_id, buffer, units);
    }
    int32_t property(DevNode node, uint32_t property, void* buffer, uint32_t* length) override {
        return cm_get_devnode_property(lib_, node, property, buffer, length);
    }

  private:
    SetupApiLibrary lib_;
};

}  // namespace

std::unique_ptr<DeviceTree> make_system_device_tree() {
    return std::make_unique<SetupApiDeviceTree>();
}

}  // namespace lintora
