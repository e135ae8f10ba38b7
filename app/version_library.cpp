#include "app/version_library.h"

#include "platform/system_library_win32.h"

namespace lintora {

void unload_library(CVerLib& lib) {
    if (lib.module != nullptr) {
        ::FreeLibrary(lib.module);
    }
    lib = CVerLib{};
}

bool load_version_library(CVerLib& lib, const wchar_t* file_name) {
    unload_library(lib);
    lib.module = load_system_library(file_name);
    if (lib.module == nullptr) {
        return false;
    }
    const bool all =
        bind_entry(lib.module, "VerFindFileW", &lib.ver_find_file) &
        bind_entry(lib.module, "VerInstallFileW", &lib.ver_install_file) &
        bind_entry(lib.module, "GetFileVersionInfoSizeW", &lib.get_file_version_info_size) &
        bind_entry(lib.module, "GetFileVersionInfoW", &lib.get_file_version_info) &
        bind_entry(lib.module, "GetFileVersionInfoSizeExW", &lib.get_file_version_info_size_ex) &
        bind_entry(lib.module, "GetFileVersionInfoExW", &lib.get_file_version_info_ex) &
        bind_entry(lib.module, "VerLanguageNameW", &lib.ver_language_name) &
        bind_entry(lib.module, "VerQueryValueW", &lib.ver_query_value_fn);
    if (!all) {
        unload_library(lib);
    }
    return all;
}

DWORD ver_get_file_version_info_size(const CVerLib& lib, const wchar_t* path, DWORD* handle) {
    return static_cast<DWORD>(guarded_entry(lib.get_file_version_info_size != nullptr, 0, [&] {
        return lib.get_file_version_info_size(path, handle);
    }));
}

BOOL ver_get_file_version_info(const CVerLib& lib, const wchar_t* path, void* buffer, DWORD size) {
    return guarded_entry(lib.get_file_version_info != nullptr, 0,
                         [&] { return lib.get_file_version_info(path, 0, size, buffer); });
}

BOOL ver_query_value(const CVerLib& lib, const void* block, const wchar_t* sub_block, void** value,
                     UINT* length) {
    return guarded_entry(lib.ver_query_value_fn != nullptr, 0,
                         [&] { return lib.ver_query_value_fn(block, sub_block, value, length); });
}

}  // namespace lintora
