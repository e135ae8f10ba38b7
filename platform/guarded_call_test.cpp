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

// A frame of a system library's: asked once on the first pass, and once more while the guard
// unwinds it (its __finally or unwind handler: where such a library lets go of a lock).
int g_asked = 0;
int g_unwound = 0;
EXCEPTION_DISPOSITION NTAPI counts_and_passes_on(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
    ++((record->ExceptionFlags & EXCEPTION_UNWINDING) != 0 ? g_unwound : g_asked);
    return ExceptionContinueSearch;
}

int32_t raise_inside_counting_frame(void* flags) {
    EXCEPTION_REGISTRATION_RECORD frame{};
    frame.Next = exception_chain_head();
    frame.Handler = &counts_and_passes_on;
    set_exception_chain_head(&frame);
    RaiseException(0xE0004321, *static_cast<DWORD*>(flags), 0, nullptr);
    set_exception_chain_head(frame.Next);
    return 0;
}

// Every exception raised on this thread, seen before any frame is asked.
LONG g_raised = 0;
LONG CALLBACK count_raised(EXCEPTION_POINTERS*) {
    ++g_raised;
    return EXCEPTION_CONTINUE_SEARCH;
}

// The guard does what __except does: the frames above it are unwound before the call gives its
// failure, and an exception raised as non-continuable (as compilers raise C++ exceptions) is
// handled once, not continued and raised again as STATUS_NONCONTINUABLE_EXCEPTION.
TEST(GuardedCall, UnwindsTheFramesAboveItAndNeverContinuesTheFault) {
    void* const counter = AddVectoredExceptionHandler(1, &count_raised);
    ASSERT_NE(counter, nullptr);
    for (DWORD flags : {DWORD{0}, DWORD{EXCEPTION_NONCONTINUABLE}}) {
        g_asked = g_unwound = 0;
        g_raised = 0;
        EXCEPTION_REGISTRATION_RECORD* const before = exception_chain_head();
        EXPECT_EQ(call_guarded(&raise_inside_counting_frame, &flags, -9), -9) << flags;
        EXPECT_EQ(g_asked, 1) << flags;
        EXPECT_EQ(g_unwound, 1) << flags;
        EXPECT_EQ(g_raised, 1) << flags;
        EXPECT_EQ(exception_chain_head(), before) << flags;
    }
    RemoveVectoredExceptionHandler(counter);
}
#endif

struct Thrown {};

int32_t throws(void*) {
    throw Thrown{};
}

// A C++ exception thrown through a guarded call (MinGW's unwinder does not walk the handler
// chain) leaves the guard as it found things: the chain's head, the process's filter, and a
// guard that recovers the next fault on this thread.
TEST(GuardedCall, ACppExceptionThroughTheGuardTakesItsFrameOff) {
#ifndef _WIN64
    EXCEPTION_REGISTRATION_RECORD* const before = exception_chain_head();
#endif
    const LPTOP_LEVEL_EXCEPTION_FILTER filter = SetUnhandledExceptionFilter(nullptr);
    bool caught = false;
    try {
        call_guarded(&throws, nullptr, -3);
    } catch (const Thrown&) {
        caught = true;
    }
    EXPECT_TRUE(caught);
#ifndef _WIN64
    EXPECT_EQ(exception_chain_head(), before);
#endif
    EXPECT_EQ(SetUnhandledExceptionFilter(filter), nullptr);
    volatile int* nowhere = nullptr;
    EXPECT_EQ(call_guarded([](void* p) -> int32_t { return *static_cast<volatile int*>(p); },
                           const_cast<int*>(nowhere), -4),
              -4);
}

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
