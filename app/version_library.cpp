#include "app/version_library.h"

#include "platform/system_library_win32.h"

namespace lintora {

void unload_library(CVerLib& lib) {
    release_library(lib);
}

bool load_version_library(CVerLib& lib, const wchar_t* file_name) {
    return load_and_bind(lib, file_name, [](CVerLib& bound) {
        const HMODULE module = bound.module;
        return bind_entry(module, "VerFindFileW", &bound.ver_find_file) &
               bind_entry(module, "VerInstallFileW", &bound.ver_install_file) &
               bind_entry(module, "GetFileVersionInfoSizeW", &bound.get_file_version_info_size) &
               bind_entry(module, "GetFileVersionInfoW", &bound.get_file_version_info) &
               bind_entry(module, "GetFileVersionInfoSizeExW",
                          &bound.get_file_version_info_size_ex) &
               bind_entry(module, "GetFileVersionInfoExW", &bound.get_file_version_info_ex) &
               bind_entry(module, "VerLanguageNameW", &bound.ver_language_name) &
               bind_entry(module, "VerQueryValueW", &bound.ver_query_value_fn);
    });
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
