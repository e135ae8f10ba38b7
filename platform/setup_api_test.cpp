// The configuration-manager binding on Windows (run under Wine): binding by full path, all
// seven entry points or none, and wrappers that turn a raised exception into -1.
#include <gtest/gtest.h>

#include "platform/setup_api_win32.h"

namespace lintora {

namespace {

DWORD WINAPI raises(DWORD, wchar_t*, ULONG, ULONG) {
    RaiseException(0xE0001234, 0, 0, nullptr);
    return 0;
}

DWORD WINAPI faults(DWORD* out, DWORD, ULONG) {
    volatile DWORD* nowhere = nullptr;
    *out = *nowhere;
    return 0;
}

DWORD WINAPI answers(DWORD* out, DWORD node, ULONG) {
    *out = node + 1;
    return 0;
}

bool all_clear(const SetupApiLibrary& lib) {
    return lib.module == nullptr && lib.locate_devnode == nullptr && lib.get_device_id == nullptr &&
           lib.get_parent == nullptr && lib.get_device_interface_list == nullptr &&
           lib.get_child == nullptr && lib.get_sibling == nullptr &&
           lib.get_devnode_property == nullptr;
}

TEST(SetupApi, BindsAllSevenFunctionsOrNone) {
    SetupApiLibrary lib;
    ASSERT_TRUE(load_setup_api(lib));
    // Bound functions answer with the system's own result (Wine's answer "not implemented").
    DevNode root = 0;
    EXPECT_NE(cm_locate_devnode(lib, &root), kCmFailed);
    unload_library(lib);
    EXPECT_TRUE(all_clear(lib));

    // A system library without the functions: nothing stays bound, and every wrapper fails.
    EXPECT_FALSE(load_configuration_manager(lib, L"version.dll"));
    EXPECT_TRUE(all_clear(lib));
    EXPECT_EQ(cm_locate_devnode(lib, &root), kCmFailed);
    char16_t id[kCmBufferUnits];
    EXPECT_EQ(cm_get_device_id(lib, 1, id, kCmBufferUnits), kCmFailed);
    EXPECT_FALSE(load_configuration_manager(lib, L"no-such-library.dll"));
    EXPECT_TRUE(all_clear(lib));
}

TEST(SetupApi, AnEntryPointThatRaisesGivesMinusOne) {
    SetupApiLibrary lib;
    lib.get_device_id = &raises;
    lib.get_parent = &faults;
    lib.get_child = &answers;
    char16_t id[kCmBufferUnits];
    DevNode node = 0;
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(cm_get_device_id(lib, 1, id, kCmBufferUnits), kCmFailed);
        EXPECT_EQ(cm_get_parent(lib, &node, 1), kCmFailed);
        EXPECT_EQ(cm_get_child(lib, &node, 41), kCmSuccess);
        EXPECT_EQ(node, 42u);
    }
}

}  // namespace

}  // namespace lintora
