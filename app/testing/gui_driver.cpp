#include "app/testing/gui_driver.h"

#include <thread>
#include <utility>
#include <vector>

#include "app/resource.h"

namespace lintora {

namespace {

template <typename Condition>
bool wait_for(Condition condition, int milliseconds = 10000) {
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (condition()) {
            return true;
        }
        ::Sleep(10);
    }
    return condition();
}

struct Search {
    HWND dialog;
    HWND found;
};

// A visible dialog-class window of the GUI thread other than the dialog itself.
BOOL CALLBACK find_box(HWND candidate, LPARAM l) {
    auto* s = reinterpret_cast<Search*>(l);
    wchar_t kind[16] = {};
    ::GetClassNameW(candidate, kind, 16);
    if (candidate != s->dialog && ::IsWindowVisible(candidate) && std::wstring(kind) == L"#32770") {
        s->found = candidate;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK collect_child(HWND child, LPARAM l) {
    reinterpret_cast<std::vector<HWND>*>(l)->push_back(child);
    return TRUE;
}

std::wstring window_text(HWND window) {
    wchar_t text[2048] = {};
    ::SendMessageW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
    return text;
}

}  // namespace

void GuiDriver::run(const std::function<void()>& run_dialog, HWND* dialog,
                    const std::function<void(GuiDriver&)>& script) {
    GuiDriver driver;
    driver.gui_thread_ = ::GetCurrentThreadId();
    std::thread worker([&] {
        // The handle exists from WM_INITDIALOG on; the dialog shows once it is initialised (unless
        // it ends there, behind a message box).
        if (dialog != nullptr) {
            wait_for([&] { return *dialog != nullptr; });
            driver.window_ = *dialog;
            wait_for([&] { return ::IsWindowVisible(driver.window_) != FALSE; }, 2000);
        }
        script(driver);
    });
    run_dialog();
    worker.join();
}

bool GuiDriver::checked(int id) const {
    return ::SendMessageW(item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::wstring GuiDriver::text(int id) const {
    return window_text(item(id));
}

std::wstring GuiDriver::list_line(int index) const {
    wchar_t line[512] = {};
    ::SendMessageW(item(IDC_DISK_LIST), CB_GETLBTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(line));
    return line;
}

int GuiDriver::list_count() const {
    return static_cast<int>(::SendMessageW(item(IDC_DISK_LIST), CB_GETCOUNT, 0, 0));
}

int GuiDriver::list_selection() const {
    return static_cast<int>(::SendMessageW(item(IDC_DISK_LIST), CB_GETCURSEL, 0, 0));
}

void GuiDriver::click(int id) const {
    ::SendMessageW(item(id), BM_CLICK, 0, 0);
}

void GuiDriver::post_click(int id) const {
    ::PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(item(id)));
}

void GuiDriver::select(int index) const {
    ::SendMessageW(item(IDC_DISK_LIST), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_DISK_LIST, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(item(IDC_DISK_LIST)));
}

void GuiDriver::post(UINT message, WPARAM w, LPARAM l) const {
    ::PostMessageW(window_, message, w, l);
}

LRESULT GuiDriver::send(UINT message, WPARAM w, LPARAM l) const {
    return ::SendMessageW(window_, message, w, l);
}

namespace {

// The style a message box was made with, as far as it shows: which buttons it has, which of
// them is the default, and which of the system's icons its icon control holds
// (the shared icons of LoadIcon are the same handles wherever they are loaded in a process).
UINT box_style(HWND box, const std::vector<HWND>& children) {
    UINT style = 0;
    const bool yes = ::GetDlgItem(box, IDYES) != nullptr;
    const bool no = ::GetDlgItem(box, IDNO) != nullptr;
    const bool ok = ::GetDlgItem(box, IDOK) != nullptr;
    const bool cancel = ::GetDlgItem(box, IDCANCEL) != nullptr;
    if (yes && no) {
        style |= cancel ? UINT{MB_YESNOCANCEL} : UINT{MB_YESNO};
    } else if (ok) {
        style |= cancel ? UINT{MB_OKCANCEL} : UINT{MB_OK};
    }
    // The default button is the one drawn as the default (BS_DEFPUSHBUTTON), by its position.
    const int order[] = {yes ? IDYES : IDOK, yes ? IDNO : IDCANCEL, IDCANCEL};
    for (UINT position = 0; position < 3; ++position) {
        const HWND button = ::GetDlgItem(box, order[position]);
        if (button != nullptr &&
            (::GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            style |= position * 0x100u;  // MB_DEFBUTTON2 is 0x100, MB_DEFBUTTON3 0x200
            break;
        }
    }
    const std::pair<LPCWSTR, UINT> icons[] = {{IDI_HAND, MB_ICONERROR},
                                              {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                                              {IDI_ASTERISK, MB_ICONINFORMATION},
                                              {IDI_QUESTION, MB_ICONQUESTION}};
    for (HWND child : children) {
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            continue;
        }
        const auto shown = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        for (const auto& [name, flag] : icons) {
            if (shown != nullptr && shown == ::LoadIconW(nullptr, name)) {
                style |= flag;
            }
        }
    }
    return style;
}

}  // namespace

GuiDriver::Box GuiDriver::wait_for_box(int milliseconds) const {
    Box box;
    Search search{window_, nullptr};
    wait_for(
        [&] {
            search.found = nullptr;
            ::EnumThreadWindows(gui_thread_, &find_box, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        milliseconds);
    box.window = search.found;
    if (box.window == nullptr) {
        return box;
    }
    std::vector<HWND> children;
    ::EnumChildWindows(box.window, &collect_child, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        wchar_t kind[16] = {};
        ::GetClassNameW(child, kind, 16);
        if (std::wstring(kind) == L"Static") {
            box.text += window_text(child);
        }
    }
    box.style = box_style(box.window, children);
    return box;
}

void GuiDriver::answer(const Box& box, int button) const {
    ::PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box.window, button)));
    wait_for([&] { return ::IsWindow(box.window) == FALSE; });
    // The dialog goes on with what follows the box before it handles another message: once
    // this one is through, that work is done.
    if (window_ != nullptr) {
        ::SendMessageW(window_, WM_NULL, 0, 0);
    }
}

bool GuiDriver::wait_until_closed() const {
    return wait_for([&] { return ::IsWindow(window_) == FALSE; });
}

}  // namespace lintora
