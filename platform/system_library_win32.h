// Run-time binding of system libraries: loaded by their full path in the system directory, entry
// points looked up by name, and calls into them guarded so that a raised exception becomes a
// failure value.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "platform/guarded_call_win32.h"

namespace lintora {

// The library `file_name` of the system directory, loaded by its full path; null on failure.
HMODULE load_system_library(const wchar_t* file_name);

// Frees a binding record's library and clears the record: its `module` and every entry point.
template <typename Library>
void release_library(Library& lib) {
    if (lib.module != nullptr) {
        ::FreeLibrary(lib.module);
    }
    lib = Library{};
}

// Loads `file_name` of the system directory into `lib.module` and binds the entry points with
// `bind(lib)` (true when every one resolved); a binding with any entry missing is released.
template <typename Library, typename Bind>
bool load_and_bind(Library& lib, const wchar_t* file_name, Bind bind) {
    release_library(lib);
    lib.module = load_system_library(file_name);
    if (lib.module == nullptr) {
        return false;
    }
    const bool all = bind(lib);
    if (!all) {
        release_library(lib);
    }
    return all;
}

// Looks up `name` in `module` into `slot`; false when it is missing.
template <typename Fn>
bool bind_entry(HMODULE module, const char* name, Fn* slot) {
    const FARPROC proc = ::GetProcAddress(module, name);
    static_assert(sizeof proc == sizeof *slot);
    std::memcpy(slot, &proc, sizeof proc);
    return proc != nullptr;
}

// call() converted to int32_t, or `failure` when `bound` is false or the call raised.
template <typename Call>
int32_t guarded_entry(bool bound, int32_t failure, const Call& call) {
    if (!bound) {
        return failure;
    }
    return call_guarded(
        [](void* context) -> int32_t {
            return static_cast<int32_t>((*static_cast<const Call*>(context))());
        },
        const_cast<Call*>(&call), failure);
}

}  // namespace lintora
