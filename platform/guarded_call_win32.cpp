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

// Makes the faulting thread continue in resume_at_recovery_point, on a fresh part of its own
// stack below the fault, aligned as a function entry expects.
void redirect_to_recovery(CONTEXT* context) {
#ifdef _WIN64
    context->Rsp = ((context->Rsp - 512) & ~DWORD64{15}) - 8;
    context->Rip = reinterpret_cast<DWORD64>(&resume_at_recovery_point);
#else
    context->Esp = ((context->Esp - 512) & ~DWORD{15}) - 4;
    context->Eip = reinterpret_cast<DWORD>(&resume_at_recovery_point);
#endif
}

#ifdef _WIN64
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
EXCEPTION_DISPOSITION NTAPI guard_frame_handler(EXCEPTION_RECORD* record, void*, CONTEXT* context,
                                                void*) {
    if (!t_guarding ||
        (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
        return ExceptionContinueSearch;
    }
    redirect_to_recovery(context);
    return ExceptionContinueExecution;
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

int32_t call_guarded(int32_t (*call)(void* context), void* context, int32_t failure) {
#ifdef _WIN64
    g_previous_filter = SetUnhandledExceptionFilter(recover_from_exception);
#endif
    // On 32-bit Windows the exception handlers of a thread form a chain of frames on its own stack,
    // headed at fs:[0]. A function that raised may have registered frames of its own (as system
    // libraries do); the long jump abandons that part of the stack but not the chain, which would
    // then point into stack the next calls overwrite, and the next exception on this thread would
    // walk garbage. The head is saved before the call and put back after a recovery. (64-bit
    // Windows unwinds by tables, not by a chain on the stack.)
#ifndef _WIN64
    EXCEPTION_REGISTRATION_RECORD* volatile const chain = exception_chain_head();
    EXCEPTION_REGISTRATION_RECORD guard{};
    guard.Next = chain;
    guard.Handler = &guard_frame_handler;
    set_exception_chain_head(&guard);
#endif
    volatile int32_t result = failure;
    if (__builtin_setjmp(t_recovery) == 0) {
        t_guarding = true;
        result = call(context);
    }
#ifndef _WIN64
    set_exception_chain_head(chain);
#else
    SetUnhandledExceptionFilter(g_previous_filter);
#endif
    t_guarding = false;
    return result;
}

}  // namespace lintora
