// The system's version library, bound at run time by its full path: a module and eight entry
// points, all or none; the wrappers answer 0 when an entry point is missing or raised.
#pragma once

#include <windows.h>

namespace lintora {

class CVerLib {
  public:
    using VerFindFileFn = DWORD(WINAPI*)(DWORD, LPCWSTR, LPCWSTR, LPCWSTR, LPWSTR, PUINT, LPWSTR,
                                         PUINT);
    using VerInstallFileFn = DWORD(WINAPI*)(DWORD, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR,
                                            LPWSTR, PUINT);
    using GetSizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using GetInfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using GetSizeExFn = DWORD(WINAPI*)(DWORD, LPCWSTR, LPDWORD);
    using GetInfoExFn = BOOL(WINAPI*)(DWORD, LPCWSTR, DWORD, DWORD, LPVOID);
    using LanguageNameFn = DWORD(WINAPI*)(DWORD, LPWSTR, DWORD);
    using QueryValueFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

    HMODULE module = nullptr;
    VerFindFileFn ver_find_file = nullptr;
    VerInstallFileFn ver_install_file = nullptr;
    GetSizeFn get_file_version_info_size = nullptr;
    GetInfoFn get_file_version_info = nullptr;
    GetSizeExFn get_file_version_info_size_ex = nullptr;
    GetInfoExFn get_file_version_info_ex = nullptr;
    LanguageNameFn ver_language_name = nullptr;
    QueryValueFn ver_query_value_fn = nullptr;
};

// Binds `lib` to `file_name` in the system directory ("version.dll" for the program).
bool load_version_library(CVerLib& lib, const wchar_t* file_name = L"version.dll");
void unload_library(CVerLib& lib);

DWORD ver_get_file_version_info_size(const CVerLib& lib, const wchar_t* path, DWORD* handle);
BOOL ver_get_file_version_info(const CVerLib& lib, const wchar_t* path, void* buffer, DWORD size);
BOOL ver_query_value(const CVerLib& lib, const void* block, const wchar_t* sub_block, void** value,
                     UINT* length);

}  // namespace lintora
