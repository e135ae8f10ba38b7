// The format job's thread and its progress: the thread itself and its completion are members of
// the main dialog (it owns the job's disk and result); these are the free parts.
#pragma once

#include <windows.h>

#include <cstdint>

namespace lintora {

// How the job's thread keeps the machine awake: SetThreadExecutionState, or a test's recorder.
using KeepAwakeFn = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE flags);
extern KeepAwakeFn g_keep_awake;

// The bar's percentage of a pass: units_done * 100 / units_expected in 64 bits.
uint32_t progress_percent(uint32_t units_done, uint32_t units_expected);

// The progress callback of the job's writers; `owner` is the dialog. Keeps the machine awake
// and moves the bar once the pass has a known total.
int report_progress(int32_t phase, uint32_t units_done, uint32_t units_expected, void* owner);

}  // namespace lintora
