#include "platform/system_library_win32.h"

#include <cwchar>

namespace lintora {

HMODULE load_system_library(const wchar_t* file_name) {
    wchar_t path[270] = {};
    ::GetSystemDirectoryW(path, 260);
    size_t length = std::wcslen(path);
    while (length > 0 && path[length - 1] == L'\\') {
        path[--length] = 0;
    }
    if (length + 1 + std::wcslen(file_name) >= 270) {
        return nullptr;
    }
    std::wcscat(path, L"\\");
    std::wcscat(path, file_name);
    return ::LoadLibraryW(path);
}

}  // namespace lintora
