// LintoraDemoDriver.exe EXPECTED: drives a running LintoraDemo.exe from another process as a
// user would: ticks the box, presses Start, answers Yes, waits for the result and answers it,
// then closes the program. It prints "warning", "progress" and "result" as it reaches them and
// waits a moment after each, so that a script can take screenshots. EXPECTED is "finished" (107)
// or a failure code (104 with it). Exit code 0 when the result was the expected one.
// LintoraDemoDriver.exe licence: chooses the licence item of the running program's system menu,
// waits a moment for the document to be opened, and closes the program (any Lintora build: it
// finds the program's window by its instance property).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/main_dialog.h"
#include "app/messages.h"
#include "app/resource.h"
#include "app/testing/gui_driver.h"

namespace {

HWND g_program = nullptr;

BOOL CALLBACK find_program(HWND window, LPARAM) {
    if (::GetPropW(window, lintora::kInstanceName) != nullptr) {
        g_program = window;
        return FALSE;
    }
    return TRUE;
}

void announce(const std::string& stage) {
    std::printf("%s\n", stage.c_str());
    std::fflush(stdout);
    ::Sleep(2500);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string expected = argc > 1 ? argv[1] : "finished";
    for (int i = 0; i < 6000 && g_program == nullptr; ++i) {
        ::EnumWindows(&find_program, 0);
        ::Sleep(10);
    }
    if (g_program == nullptr) {
        std::printf("no program window\n");
        return 1;
    }
    const lintora::GuiDriver gui = lintora::GuiDriver::attach(g_program);
    if (expected == "licence") {
        gui.post(WM_SYSCOMMAND, IDM_LICENCE);
        announce("licence");
        gui.post_click(IDC_CLOSE);
        return 0;
    }
    gui.click(IDC_CONFIRM);
    gui.post_click(IDOK);
    const lintora::GuiDriver::Box warning = gui.wait_for_box(30000);
    if (warning.window == nullptr) {
        std::printf("no warning\n");
        return 1;
    }
    announce("warning");
    gui.answer(warning, IDYES);

    // The bar while the job runs, then the result box (up to ten minutes).
    bool announced = false;
    lintora::GuiDriver::Box result;
    for (int i = 0; i < 60000 && result.window == nullptr; ++i) {
        const auto position =
            static_cast<int>(::SendMessageW(gui.item(IDC_PROGRESS), PBM_GETPOS, 0, 0));
        if (!announced && position >= 20 && position <= 80) {
            std::printf("progress %d\n", position);
            std::fflush(stdout);
            announced = true;
        }
        result = gui.wait_for_box(10);
    }
    if (result.window == nullptr) {
        std::printf("no result\n");
        return 1;
    }
    const lintora::FormatJobResult wanted =
        expected == "finished" ? lintora::kJobSucceeded : std::atoi(expected.c_str());
    const bool as_expected = result.text == lintora::message_for_result(wanted).text;
    announce(as_expected ? "result as expected" : "result not as expected");
    gui.answer(result, IDOK);
    gui.post_click(IDC_CLOSE);
    return as_expected ? 0 : 1;
}
