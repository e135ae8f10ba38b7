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
