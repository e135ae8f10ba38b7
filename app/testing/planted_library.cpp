// A library that a web page could leave beside the program under a system library's name: when
// anything loads it, it leaves a file "planted-library-loaded" in its own folder. For the test
// that the program never loads a library from its own folder; not shipped.
#include <windows.h>

#include <cwchar>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH] = {};
        const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
        wchar_t* slash = std::wcsrchr(path, L'\\');
        if (length != 0 && slash != nullptr) {
            std::wcscpy(slash + 1, L"planted-library-loaded");
            HANDLE mark = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (mark != INVALID_HANDLE_VALUE) {
                ::CloseHandle(mark);
            }
        }
    }
    return TRUE;
}
