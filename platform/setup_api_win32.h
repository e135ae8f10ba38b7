// The configuration-manager functions of the system's setup library, bound at run time for one
// refresh of the disk list, with one wrapper per function. A wrapper answers kCmFailed when its
// function is not bound or raised an exception.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/device_tree.h"

namespace lintora {

using CmLocateDevNodeFn = DWORD(WINAPI*)(DWORD* node, wchar_t* device_id, ULONG flags);
using CmGetDeviceIdFn = DWORD(WINAPI*)(DWORD node, wchar_t* buffer, ULONG length, ULONG flags);
using CmGetRelativeFn = DWORD(WINAPI*)(DWORD* relative, DWORD node, ULONG flags);
using CmGetInterfaceListFn = DWORD(WINAPI*)(GUID* interface_class, wchar_t* device_id,
                                            wchar_t* buffer, ULONG length, ULONG flags);
using CmGetPropertyFn = DWORD(WINAPI*)(DWORD node, ULONG property, ULONG* type, void* buffer,
                                       ULONG* length, ULONG flags);

struct SetupApiLibrary {
    HMODULE module = nullptr;
    CmLocateDevNodeFn locate_devnode = nullptr;
    CmGetDeviceIdFn get_device_id = nullptr;
    CmGetRelativeFn get_parent = nullptr;
    CmGetInterfaceListFn get_device_interface_list = nullptr;
    CmGetRelativeFn get_child = nullptr;
    CmGetRelativeFn get_sibling = nullptr;
    CmGetPropertyFn get_devnode_property = nullptr;
};

// Loads the setup library by its full path in the system directory and binds all seven
// functions; true only when every one was found (otherwise nothing stays bound).
bool load_setup_api(SetupApiLibrary& lib);
// The same with another library of the system directory (tests bind one that lacks the
// functions).
bool load_configuration_manager(SetupApiLibrary& lib, const wchar_t* file_name);
// Frees the module, if one is held, and clears every member.
void unload_library(SetupApiLibrary& lib);

int32_t cm_locate_devnode(const SetupApiLibrary& lib, DevNode* node);
int32_t cm_get_device_id(const SetupApiLibrary& lib, DevNode node, char16_t* buffer,
                         uint32_t units);
int32_t cm_get_parent(const SetupApiLibrary& lib, DevNode* parent, DevNode node);
int32_t cm_get_device_interface_list(const SetupApiLibrary& lib, const char16_t* device_id,
                                     char16_t* buffer, uint32_t units);
int32_t cm_get_child(const SetupApiLibrary& lib, DevNode* child, DevNode node);
int32_t cm_get_sibling(const SetupApiLibrary& lib, DevNode* sibling, DevNode node);
int32_t cm_get_devnode_property(const SetupApiLibrary& lib, DevNode node, uint32_t property,
                                void* buffer, uint32_t* length);

}  // namespace lintora
