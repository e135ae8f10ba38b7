#include "app/version_library.h"

#include <cstring>
#include <cwchar>

#include "platform/guarded_call_win32.h"

namespace lintora {

namespace {

template <typename Fn>
bool bind(HMODULE module, const char* name, Fn* slot) {
    const FARPROC proc = ::GetProcAddress(module, name);
    static_assert(sizeof proc == sizeof *slot);
    std::memcpy(slot, &proc, sizeof proc);
    return proc != nullptr;
}

// 0 when the entry point is missing or the call raised.
template <typename Call>
int32_t guarded(bool bound, const Call& call) {
    if (!bound) {
        return 0;
    }
    return call_guarded(
        [](void* context) -> int32_t {
            return static_cast<int32_t>((*static_cast<const Call*>(context))());
        },
        const_cast<Call*>(&call), 0);
}

}  // namespace

void unload_library(CVerLib& lib) {
    if (lib.module != nullptr) {
        ::FreeLibrary(lib.module);
    }
    lib = CVerLib{};
}

bool load_version_library(CVerLib& lib, const wchar_t* file_name) {
    unload_library(lib);
    wchar_t path[270] = {};
    ::GetSystemDirectoryW(path, 260);
    size_t length = std::wcslen(path);
    while (length > 0 && path[length - 1] == L'\\') {
        path[--length] = 0;
    }
    if (length + 1 + std::wcslen(file_name) >= 270) {
        return false;
    }
    std::wcscat(path, L"\\");
    std::wcscat(path, file_name);
    lib.module = ::LoadLibraryW(path);
    if (lib.module == nullptr) {
        unload_library(lib);
        return false;
    }
    const bool all =
        bind(lib.module, "VerFindFileW", &lib.ver_find_file) &
        bind(lib.module, "VerInstallFileW", &lib.ver_install_file) &
        bind(lib.module, "GetFileVersionInfoSizeW", &lib.get_file_version_info_size) &
        bind(lib.module, "GetFileVersionInfoW", &lib.get_file_version_info) &
        bind(lib.module, "GetFileVersionInfoSizeExW", &lib.get_file_version_info_size_ex) &
        bind(lib.module, "GetFileVersionInfoExW", &lib.get_file_version_info_ex) &
        bind(lib.module, "VerLanguageNameW", &lib.ver_language_name) &
        bind(lib.module, "VerQueryValueW", &lib.ver_query_value_fn);
    if (!all) {
        unload_library(lib);
    }
    return all;
}

DWORD ver_get_file_version_info_size(const CVerLib& lib, const wchar_t* path, DWORD* handle) {
    return static_cast<DWORD>(guarded(lib.get_file_version_info_size != nullptr, [&] {
        return lib.get_file_version_info_size(path, handle);
    }));
}

BOOL ver_get_file_version_info(const CVerLib& lib, const wchar_t* path, void* buffer, DWORD size) {
    return guarded(lib.get_file_version_info != nullptr,
                   [&] { return lib.get_file_version_info(path, 0, size, buffer); });
}

BOOL ver_query_value(const CVerLib& lib, const void* block, const wchar_t* sub_block, void** value,
                     UINT* length) {
    return guarded(lib.ver_query_value_fn != nullptr,
                   [&] { return lib.ver_query_value_fn(block, sub_block, value, length); });
}

}  // namespace lintora
