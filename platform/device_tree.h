// The system's device tree, as the configuration manager shows it: nodes with device ids,
// parents, children and siblings, registry properties, and the disk interfaces of a device.
// Every call answers with a configuration-manager result: kCmSuccess, a failure code of the
// system, or kCmFailed when the call could not be made at all (a function that is not bound, or
// one that raised an exception).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace lintora {

using DevNode = uint32_t;  // 0: no node

inline constexpr int32_t kCmSuccess = 0;
inline constexpr int32_t kCmFailed = -1;
inline constexpr int32_t kCmNoSuchDevNode = 0x0D;    // CR_NO_SUCH_DEVNODE
inline constexpr int32_t kCmBufferSmall = 0x1A;      // CR_BUFFER_SMALL
inline constexpr int32_t kCmNoSuchValue = 0x25;      // CR_NO_SUCH_VALUE
inline constexpr int32_t kCmNoSuchInterface = 0x37;  // CR_NO_SUCH_DEVICE_INTERFACE

// Registry properties of a node (CM_DRP_*).
inline constexpr uint32_t kPropertyHardwareId = 2;
inline constexpr uint32_t kPropertyFriendlyName = 13;
inline constexpr uint32_t kPropertyDeviceObjectName = 15;

// Buffers of device ids, interface lists, friendly names and hardware ids, in UTF-16 units.
inline constexpr uint32_t kCmBufferUnits = 270;

class DeviceTree {
  public:
    virtual ~DeviceTree() = default;

    virtual int32_t locate_root(DevNode* root) = 0;
    virtual int32_t device_id(DevNode node, char16_t* buffer, uint32_t units) = 0;
    virtual int32_t parent(DevNode* parent, DevNode node) = 0;
    virtual int32_t child(DevNode* child, DevNode node) = 0;
    virtual int32_t sibling(DevNode* sibling, DevNode node) = 0;
    // The paths of the present disk interfaces of a device: each NUL-terminated, the list ended
    // by an empty string.
    virtual int32_t disk_interfaces(const char16_t* device_id, char16_t* buffer,
                                    uint32_t units) = 0;
    // A registry property. With no buffer and `length` 0 it answers the size in bytes in
    // `length`.
    virtual int32_t property(DevNode node, uint32_t property, void* buffer, uint32_t* length) = 0;
};

// For trees kept in memory: a text (a list's strings each with their terminator) into a buffer
// of `units`, and a text property (size first, then the bytes), as the configuration manager
// answers them.
int32_t answer_text(const std::u16string& text, char16_t* buffer, uint32_t units);
int32_t answer_property(const std::u16string& value, void* buffer, uint32_t* length);

// The build's own device tree, read once when it is made and valid until it is destroyed (one
// refresh of the disk list): the configuration manager bound at run time on Windows, sysfs on
// Linux.
std::unique_ptr<DeviceTree> make_system_device_tree();

}  // namespace lintora
