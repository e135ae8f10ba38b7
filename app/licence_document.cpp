#include "app/licence_document.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <string>

#include "app/resource.h"
#include "app/ui/window.h"

namespace lintora {

namespace {

constexpr int kPathUnits = 270;

// No dialog of the shell's own on failure ("Open with", "not found"): the caller answers that.
// The shell's verbs may be served by COM objects, which ask for an apartment-threaded thread.
bool shell_open(HWND owner, const wchar_t* path) {
    const HRESULT com =
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW request = {};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_FLAG_NO_UI;
    request.hwnd = owner;
    request.lpVerb = L"open";
    request.lpFile = path;
    request.nShow = SW_SHOWNORMAL;
    const bool opened = ::ShellExecuteExW(&request) != FALSE;
    const DWORD error = ::GetLastError();
    if (SUCCEEDED(com)) {
        ::CoUninitialize();
    }
    ::SetLastError(error);
    return opened;
}

void join(const wchar_t* folder, const wchar_t* name, wchar_t* path) {
    ::lstrcpynW(path, folder, kPathUnits);
    ::PathAppendW(path, name);
}

// The message's text: the string's part before "%s", then the path.
std::wstring message_naming(UINT id, const wchar_t* path) {
    const std::wstring format = ui::load_string(id);
    return format.substr(0, format.find(L"%s")) + path;
}

}  // namespace

void open_licence_document(HWND owner, const wchar_t* folder, OpenFile open) {
    if (open == nullptr) {
        open = &shell_open;
    }
    wchar_t document[kPathUnits] = {};
    wchar_t text[kPathUnits] = {};
    join(folder, L"EULA FOR LINTORA.rtf", document);
    join(folder, L"EULA FOR LINTORA.txt", text);
    if (open(owner, document) || open(owner, text)) {
        return;
    }
    // Which file there is to read decides the message, not only that no program opened one.
    const bool have_text = ::PathFileExistsW(text) != FALSE;
    const bool have_document = have_text || ::PathFileExistsW(document) != FALSE;
    const std::wstring message =
        have_document ? message_naming(IDS_NO_LICENCE_VIEWER, have_text ? text : document)
                      : message_naming(IDS_LICENCE_MISSING, document);
    ::MessageBoxW(owner, message.c_str(), ui::load_string(IDS_TITLE).c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace lintora
