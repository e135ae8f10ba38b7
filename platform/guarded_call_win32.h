// Calls into run-time bound system functions that turn a raised exception (an access violation,
// a RaiseException) into a failure value. MinGW has no __try; instead, while a guarded call runs,
// an exception that no one else handles is sent back to the guard, on the thread that raised it:
// on 32-bit Windows by a handler frame of the guard's own on the thread's chain (the process's
// filter is left as it is), on 64-bit Windows by the process's top-level filter, which is put
// back after the call.
#pragma once

#include <cstdint>

#ifndef _WIN64
struct _EXCEPTION_REGISTRATION_RECORD;
#endif

namespace lintora {

// Returns call(context), or `failure` when the call raised an exception that nothing handled.
int32_t call_guarded(int32_t (*call)(void* context), void* context, int32_t failure);

#ifndef _WIN64
// The head of this thread's chain of exception handler frames (fs:[0]) on 32-bit Windows.
_EXCEPTION_REGISTRATION_RECORD* exception_chain_head();
void set_exception_chain_head(_EXCEPTION_REGISTRATION_RECORD* head);
#endif

}  // namespace lintora
