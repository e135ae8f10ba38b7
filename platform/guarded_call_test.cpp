// Guarded calls on Windows (run under Wine): a raised exception becomes the failure value, again
// and again on the same thread.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/guarded_call_win32.h"

namespace lintora {

namespace {

#ifndef _WIN64
EXCEPTION_DISPOSITION NTAPI pass_on(EXCEPTION_RECORD*, void*, CONTEXT*, void*) {
    return ExceptionContinueSearch;
}

// Registers a handler frame of its own on the 32-bit exception chain, as a system library's
// guarded block does, and raises while it is registered.
int32_t raise_inside_own_frame(void*) {
    EXCEPTION_REGISTRATION_RECORD frame{};
    frame.Next = exception_chain_head();
    frame.Handler = &pass_on;
    set_exception_chain_head(&frame);
    RaiseException(0xE0004321, 0, 0, nullptr);
    set_exception_chain_head(frame.Next);
    return 0;
}

// After each recovery the chain is as it was before the call, so the next fault on this thread
// is found and recovered too (an abandoned frame left at the head would be overwritten by the
// next calls, and the next fault would never reach the guard).
TEST(GuardedCall, RecoversAgainAfterAFaultInsideARegisteredFrame) {
    for (int round = 0; round < 3; ++round) {
        EXCEPTION_REGISTRATION_RECORD* const before = exception_chain_head();
        EXPECT_EQ(call_guarded(&raise_inside_own_frame, nullptr, -7), -7) << round;
        EXPECT_EQ(exception_chain_head(), before) << round;
    }
}
#endif

int32_t faults(void*) {
    volatile int* nowhere = nullptr;
    return *nowhere;
}

int32_t answers(void* context) {
    return *static_cast<int32_t*>(context) + 1;
}

LONG WINAPI program_filter(EXCEPTION_POINTERS*) {
    return EXCEPTION_CONTINUE_SEARCH;
}

// The process's own top-level filter is the same after guarded calls, faulting or not.
TEST(GuardedCall, AFaultGivesTheFailureAndACallItsAnswer) {
    const LPTOP_LEVEL_EXCEPTION_FILTER before = SetUnhandledExceptionFilter(&program_filter);
    int32_t value = 41;
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(call_guarded(&faults, nullptr, -1), -1);
        EXPECT_EQ(call_guarded(&answers, &value, -1), 42);
    }
    EXPECT_EQ(SetUnhandledExceptionFilter(before), &program_filter);
}

}  // namespace

}  // namespace lintora
