// LintoraDemoDriver.exe EXPECTED: drives a running LintoraDemo.exe from another process as a
// user would: ticks the box, presses Start, answers Yes, waits for the result and answers it,
// then closes the program. It prints "warning", "progress" and "result" as it reaches them and
// waits a moment after each, so that a script can take screenshots. EXPECTED is "finished" (107)
// or a failure code (104 with it). Exit code 0 when the result was the expected one.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "app/main_dialog.h"
#include "app/messages.h"
#include "app/resource.h"

namespace {

HWND g_found = nullptr;

BOOL CALLBACK find_program(HWND window, LPARAM) {
    if (::GetPropW(window, lintora::kInstanceName) != nullptr) {
        g_found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK find_box(HWND window, LPARAM dialog) {
    wchar_t kind[16] = {};
    ::GetClassNameW(window, kind, 16);
    if (window != reinterpret_cast<HWND>(dialog) && ::IsWindowVisible(window) &&
        std::wstring(kind) == L"#32770") {
        g_found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK box_text(HWND child, LPARAM text) {
    wchar_t kind[16] = {};
    ::GetClassNameW(child, kind, 16);
    if (std::wstring(kind) == L"Static") {
        wchar_t part[2048] = {};
        ::SendMessageW(child, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(part));
        *reinterpret_cast<std::wstring*>(text) += part;
    }
    return TRUE;
}

HWND wait_for_program() {
    for (int i = 0; i < 6000 && g_found == nullptr; ++i) {
        ::EnumWindows(&find_program, 0);
        ::Sleep(10);
    }
    return g_found;
}

// A message box of the program's dialog thread, or null.
HWND find_box_now(HWND dialog) {
    g_found = nullptr;
    ::EnumThreadWindows(::GetWindowThreadProcessId(dialog, nullptr), &find_box,
                        reinterpret_cast<LPARAM>(dialog));
    return g_found;
}

HWND wait_for_box(HWND dialog, int seconds) {
    for (int i = 0; i < seconds * 100; ++i) {
        if (HWND box = find_box_now(dialog)) {
            return box;
        }
        ::Sleep(10);
    }
    return nullptr;
}

void announce(const char* stage) {
    std::printf("%s\n", stage);
    std::fflush(stdout);
    ::Sleep(2500);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string expected = argc > 1 ? argv[1] : "finished";
    const HWND dialog = wait_for_program();
    if (dialog == nullptr) {
        std::printf("no program window\n");
        return 1;
    }
    ::SendMessageW(::GetDlgItem(dialog, IDC_CONFIRM), BM_CLICK, 0, 0);
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    const HWND warning = wait_for_box(dialog, 30);
    if (warning == nullptr) {
        std::printf("no warning\n");
        return 1;
    }
    announce("warning");
    ::PostMessageW(warning, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);

    for (int i = 0; i < 1000 && ::IsWindow(warning); ++i) {
        ::Sleep(10);
    }

    // The bar while the job runs, then the result box (up to ten minutes).
    const HWND bar = ::GetDlgItem(dialog, IDC_PROGRESS);
    bool announced = false;
    HWND result = nullptr;
    for (int i = 0; i < 60000 && result == nullptr; ++i) {
        const LRESULT position = ::SendMessageW(bar, PBM_GETPOS, 0, 0);
        if (!announced && position >= 20 && position <= 80) {
            std::printf("progress %d\n", static_cast<int>(position));
            std::fflush(stdout);
            announced = true;
        }
        ::Sleep(10);
        result = find_box_now(dialog);
    }
    if (result == nullptr) {
        std::printf("no result\n");
        return 1;
    }
    std::wstring text;
    ::EnumChildWindows(result, &box_text, reinterpret_cast<LPARAM>(&text));
    const std::wstring wanted = expected == "finished"
                                    ? lintora::message_for_result(lintora::kJobSucceeded).text
                                    : lintora::message_for_result(std::atoi(expected.c_str())).text;
    const bool as_expected = text == wanted;
    announce(as_expected ? "result as expected" : "result not as expected");
    ::PostMessageW(result, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ::Sleep(500);
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), 0);
    return as_expected ? 0 : 1;
}
