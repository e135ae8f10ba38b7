#include "app/messages.h"

#include <cwchar>

#include "app/resource.h"
#include "app/ui/window.h"

namespace lintora {

int show_message(HWND owner, UINT id, UINT style) {
    return ::MessageBoxW(owner, ui::load_string(id).c_str(), ui::load_string(IDS_TITLE).c_str(),
                         style);
}

ResultMessage message_for_result(FormatJobResult result) {
    if (result == kJobSucceeded) {
        return {IDS_FINISHED, ui::load_string(IDS_FINISHED), MB_OK | MB_ICONINFORMATION};
    }
    if (result == kJobRefused) {
        return {IDS_CANNOT_FORMAT, ui::load_string(IDS_CANNOT_FORMAT), MB_OK | MB_ICONERROR};
    }
    const std::wstring format = ui::load_string(IDS_FORMAT_FAILED);
    wchar_t text[512];
    std::swprintf(text, 512, format.c_str(), static_cast<int>(result));
    return {IDS_FORMAT_FAILED, text, MB_OK | MB_ICONERROR};
}

}  // namespace lintora
