#include "platform/guarded_call_win32.h"

#include <windows.h>

namespace lintora {

namespace {

// The recovery point of the guarded call running on this thread (a __builtin_setjmp buffer).
thread_local void* t_recovery[5];
thread_local bool t_guarding = false;
#ifdef _WIN64
LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;
#endif

[[noreturn]] __attribute__((noinline)) void resume_at_recovery_point() {
    __builtin_longjmp(t_recovery, 1);
}

#ifdef _WIN64
// Makes the faulting thread continue in resume_at_recovery_point, on a fresh part of its own
// stack below the fault, aligned as a function entry expects.
void redirect_to_recovery(CONTEXT* context) {
    context->Rsp = ((context->Rsp - 512) & ~DWORD64{15}) - 8;
    context->Rip = reinterpret_cast<DWORD64>(&resume_at_recovery_point);
}

// 64-bit Windows unwinds by tables: an exception that nothing handles reaches the process's
// top-level filter, which the guard holds while its call runs.
LONG WINAPI recover_from_exception(EXCEPTION_POINTERS* info) {
    if (!t_guarding) {
        return g_previous_filter != nullptr ? g_previous_filter(info) : EXCEPTION_CONTINUE_SEARCH;
    }
    redirect_to_recovery(info->ContextRecord);
    return EXCEPTION_CONTINUE_EXECUTION;
}
#else
// 32-bit Windows walks a chain of handler frames on the thread's own stack. The guard's frame
// lies under the call's, so it is asked before any top-level filter: under WOW64 an exception
// that escapes a callback from the kernel (a window message sent from another process) may be
// swallowed, or end the process, before the filter is ever asked.
//
// As __except does: on the first pass the guard decides to handle it, unwinds every frame above
// its own (their handlers run with EXCEPTION_UNWINDING, so a system library's __finally blocks
// let go of what they hold, and the chain's head becomes the guard's frame), and only then goes
// on at the recovery point. The faulting context is never continued, so an exception raised as
// non-continuable is not raised again as STATUS_NONCONTINUABLE_EXCEPTION.
EXCEPTION_DISPOSITION NTAPI guard_frame_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT*,
                                                void*) {
    if (!t_guarding ||
        (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
        return ExceptionContinueSearch;
    }
    RtlUnwind(frame, nullptr, record, nullptr);
    resume_at_recovery_point();
}
#endif

}  // namespace

#ifndef _WIN64
EXCEPTION_REGISTRATION_RECORD* exception_chain_head() {
    EXCEPTION_REGISTRATION_RECORD* head = nullptr;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}
void set_exception_chain_head(EXCEPTION_REGISTRATION_RECORD* head) {
    __asm__ volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
#endif

// What a guarded call changes for its length, put back on every way out: a return, a recovery
// and a C++ exception thrown through the call (MinGW's unwinder does not walk the handler chain,
// so nothing else would take the guard's frame off it).
struct GuardScope {
#ifndef _WIN64
    EXCEPTION_REGISTRATION_RECORD* chain;
#endif
    ~GuardScope() {
#ifndef _WIN64
        set_exception_chain_head(chain);
#else
        SetUnhandledExceptionFilter(g_previous_filter);
#endif
        t_guarding = false;
    }
};

int32_t call_guarded(int32_t (*call)(void* context), void* context, int32_t failure) {
#ifdef _WIN64
    g_previous_filter = SetUnhandledExceptionFilter(recover_from_exception);
    const GuardScope scope{};
#else
    // On 32-bit Windows the exception handlers of a thread form a chain of frames on its own
    // stack, headed at fs:[0]; the guard's frame goes on it for the call. The head is saved
    // before and put back after, whatever way the call ends.
    EXCEPTION_REGISTRATION_RECORD guard{};
    const GuardScope scope{exception_chain_head()};
    guard.Next = scope.chain;
    guard.Handler = &guard_frame_handler;
    set_exception_chain_head(&guard);
#endif
    volatile int32_t result = failure;
    if (__builtin_setjmp(t_recovery) == 0) {
        t_guarding = true;
        result = call(context);
    }
    return result;
}

}  // namespace lintora
