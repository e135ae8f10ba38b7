// The start-up guards under Wine: administrator and remote-session refusals through injected
// probes, a second instance that finds the first, and one that finds only its mutex.
#include <gtest/gtest.h>

#include "app/application.h"
#include "app/main_dialog.h"
#include "app/resource.h"
#include "app/testing/gui_driver.h"
#include "app/ui/window.h"
#include "platform/fake/fake_device_tree.h"
#include "platform/fake/fake_raw_disk.h"
#include "platform/fake/fake_storage.h"

namespace lintora {

namespace {

bool yes() {
    return true;
}
bool no() {
    return false;
}

class Startup : public ::testing::Test {
  protected:
    DiskSources sources() {
        return DiskSources{[] { return std::make_unique<FakeDeviceTree>(); }, &storage, &disks};
    }

    // The text of the box the guards show, or empty when none came within a second.
    std::wstring box_of(const std::function<void()>& start) {
        std::wstring shown;
        GuiDriver::run(start, nullptr, [&](GuiDriver& gui) {
            GuiDriver::Box box = gui.wait_for_box(1500);
            shown = box.text;
            if (box.window != nullptr) {
                // Every guard's refusal is an error box with its one button.
                EXPECT_EQ(box.style, UINT{MB_OK | MB_ICONERROR});
                gui.answer(box, IDOK);
            }
        });
        return shown;
    }

    FakeStorage storage;
    FakeDiskSystem disks;
};

TEST_F(Startup, AUserWithoutAdministratorRightsGets532First) {
    CVekFormatterApp app(sources(), StartupProbes{&no, &yes});
    EXPECT_EQ(box_of([&] { EXPECT_FALSE(app.InitInstance()); }), ui::load_string(IDS_NOT_ADMIN));
}

TEST_F(Startup, ARemoteSessionGets531) {
    CVekFormatterApp app(sources(), StartupProbes{&yes, &yes});
    EXPECT_EQ(box_of([&] { EXPECT_FALSE(app.check_single_instance()); }),
              ui::load_string(IDS_REMOTE));
}

TEST_F(Startup, ASecondStartBringsTheFirstToTheFrontSilently) {
    HANDLE first = ::CreateMutexW(nullptr, FALSE, kInstanceName);
    HWND window = ::CreateWindowExW(0, L"STATIC", L"first", WS_OVERLAPPEDWINDOW | WS_MINIMIZE, 0, 0,
                                    200, 100, nullptr, nullptr, nullptr, nullptr);
    ::ShowWindow(window, SW_SHOWMINIMIZED);
    ::SetPropW(window, kInstanceName, reinterpret_cast<HANDLE>(1));
    CVekFormatterApp app(sources(), StartupProbes{&yes, &no});
    EXPECT_EQ(box_of([&] { EXPECT_FALSE(app.check_single_instance()); }), L"");
    EXPECT_FALSE(::IsIconic(window));
    ::RemovePropW(window, kInstanceName);
    ::DestroyWindow(window);

    // The mutex without a window to show: 530.
    EXPECT_EQ(box_of([&] { EXPECT_FALSE(app.check_single_instance()); }),
              ui::load_string(IDS_IN_USE));
    ::CloseHandle(first);
    EXPECT_TRUE(app.check_single_instance());
}

}  // namespace

}  // namespace lintora
