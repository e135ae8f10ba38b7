#include "app/licence_document.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <string>

#include "app/resource.h"
#include "app/ui/window.h"

namespace lintora {

namespace {

constexpr int kPathUnits = 270;

// True when the shell opened the file; no dialog of the shell's own on failure ("Open with",
// "not found"): the caller answers that.
bool shell_open(HWND owner, const wchar_t* folder, const wchar_t* name, wchar_t* path) {
    ::lstrcpynW(path, folder, kPathUnits);
    ::PathAppendW(path, name);
    SHELLEXECUTEINFOW request = {};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_FLAG_NO_UI;
    request.hwnd = owner;
    request.lpVerb = L"open";
    request.lpFile = path;
    request.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&request) != FALSE;
}

}  // namespace

void open_licence_document(HWND owner, const wchar_t* folder) {
    wchar_t document[kPathUnits] = {};
    wchar_t text[kPathUnits] = {};
    if (shell_open(owner, folder, L"EULA FOR LINTORA.rtf", document) ||
        shell_open(owner, folder, L"EULA FOR LINTORA.txt", text)) {
        return;
    }
    const std::wstring format = ui::load_string(IDS_NO_LICENCE_VIEWER);
    std::wstring message = format.substr(0, format.find(L"%s"));
    message += document;
    ::MessageBoxW(owner, message.c_str(), ui::load_string(IDS_TITLE).c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace lintora
