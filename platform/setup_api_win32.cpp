#include "platform/setup_api_win32.h"

#include <cstring>

#include "platform/system_library_win32.h"

namespace lintora {

namespace {

// GUID_DEVINTERFACE_DISK {53F56307-B6BF-11D0-94F2-00A0C91EFB8B}
GUID disk_interface_class() {
    return GUID{0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
}

wchar_t* as_wide(char16_t* text) {
    return reinterpret_cast<wchar_t*>(text);
}

}  // namespace

void unload_library(SetupApiLibrary& lib) {
    release_library(lib);
}

bool load_setup_api(SetupApiLibrary& lib) {
    return load_configuration_manager(lib, L"setupapi.dll");
}

bool load_configuration_manager(SetupApiLibrary& lib, const wchar_t* file_name) {
    return load_and_bind(lib, file_name, [](SetupApiLibrary& bound) {
        const HMODULE module = bound.module;
        return bind_entry(module, "CM_Locate_DevNodeW", &bound.locate_devnode) &
               bind_entry(module, "CM_Get_Device_IDW", &bound.get_device_id) &
               bind_entry(module, "CM_Get_Parent", &bound.get_parent) &
               bind_entry(module, "CM_Get_Device_Interface_ListW",
                          &bound.get_device_interface_list) &
               bind_entry(module, "CM_Get_Child", &bound.get_child) &
               bind_entry(module, "CM_Get_Sibling", &bound.get_sibling) &
               bind_entry(module, "CM_Get_DevNode_Registry_PropertyW", &bound.get_devnode_property);
    });
}

int32_t cm_locate_devnode(const SetupApiLibrary& lib, DevNode* node) {
    return guarded_entry(lib.locate_devnode != nullptr, kCmFailed, [&] {
        DWORD found = 0;
        const DWORD result = lib.locate_devnode(&found, nullptr, 0);
        *node = found;
        return result;
    });
}

int32_t cm_get_device_id(const SetupApiLibrary& lib, DevNode node, char16_t* buffer,
                         uint32_t units) {
    return guarded_entry(lib.get_device_id != nullptr, kCmFailed,
                         [&] { return lib.get_device_id(node, as_wide(buffer), units, 0); });
}

int32_t cm_get_parent(const SetupApiLibrary& lib, DevNode* parent, DevNode node) {
    return guarded_entry(lib.get_parent != nullptr, kCmFailed, [&] {
        DWORD found = 0;
        const DWORD result = lib.get_parent(&found, node, 0);
        *parent = found;
        return result;
    });
}

int32_t cm_get_device_interface_list(const SetupApiLibrary& lib, const char16_t* device_id,
                                     char16_t* buffer, uint32_t units) {
    return guarded_entry(lib.get_device_interface_list != nullptr, kCmFailed, [&] {
        GUID interface_class = disk_interface_class();
        return lib.get_device_interface_list(
            &interface_class, as_wide(const_cast<char16_t*>(device_id)), as_wide(buffer), units, 0);
    });
}

int32_t cm_get_child(const SetupApiLibrary& lib, DevNode* child, DevNode node) {
    return guarded_entry(lib.get_child != nullptr, kCmFailed, [&] {
        DWORD found = 0;
        const DWORD result = lib.get_child(&found, node, 0);
        *child = found;
        return result;
    });
}

int32_t cm_get_sibling(const SetupApiLibrary& lib, DevNode* sibling, DevNode node) {
    return guarded_entry(lib.get_sibling != nullptr, kCmFailed, [&] {
        DWORD found = 0;
        const DWORD result = lib.get_sibling(&found, node, 0);
        *sibling = found;
        return result;
    });
}

int32_t cm_get_devnode_property(const SetupApiLibrary& lib, DevNode node, uint32_t property,
                                void* buffer, uint32_t* length) {
    return guarded_entry(lib.get_devnode_property != nullptr, kCmFailed, [&] {
        ULONG in_out = *length;
        const DWORD result = lib.get_devnode_property(node, property, nullptr, buffer, &in_out, 0);
        *length = in_out;
        return result;
    });
}

}  // namespace lintora
