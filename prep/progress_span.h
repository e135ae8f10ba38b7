// One progress bar over the passes of a run (zeroing, writing the file system, reading back):
// each pass counts its own units from 0 and the span adds the units of the passes before it,
// so the bar never restarts. Totals above 32 bits are scaled down for the progress callback.
#pragma once

#include <cstdint>

#include "prep/sector_writer.h"

namespace lintora {

// The passes of a run, as a front-end shows them apart.
enum class RunPhase : int32_t { zeroing, writing, verifying };

// One pass's own progress: its phase, the bytes it has done of its own total, and the bytes of
// the passes still to come after it.
using PassFn = void (*)(RunPhase phase, uint64_t bytes_done, uint64_t bytes_total,
                        uint64_t bytes_after, void* owner);
struct PassWatch {
    PassFn report = nullptr;
    void* owner = nullptr;
};

struct ProgressSpan {
    ProgressFn progress = nullptr;
    void* owner = nullptr;
    int32_t phase = kPhaseFileSystem;
    uint64_t total = 0;   // the units of every pass
    uint64_t before = 0;  // the units of the passes already done
    // Told of each pass apart, when set; `unit_bytes` turns units into bytes for it.
    PassWatch watch;
    uint32_t unit_bytes = 0;
    RunPhase pass = RunPhase::writing;
    uint64_t pass_units = 0;
    uint32_t pass_share = 1;

    // Reports `done` units of the current pass.
    void tell(uint64_t done) const;
    // The same to the watch alone.
    void tell_watch(uint64_t done) const;
    // Starts a pass of `units` units; `unit_share` divides the bytes a unit stands for (2 for
    // a zero pass whose units count both its writes and their read-back). Only the watch hears
    // of the start: the progress callback hears of the writes and reads themselves, one call
    // each, as the program's bar expects.
    void begin_pass(RunPhase next, uint64_t units, uint32_t unit_share = 1) {
        pass = next;
        pass_units = units;
        pass_share = unit_share;
        tell_watch(0);
    }
    // Ends the current pass after `units` of it.
    void pass_done(uint64_t units) { before += units; }
    // The ProgressFn shape, with the span as `owner`: a report without a total (the counting
    // pass) is dropped, and a pass's own total is otherwise ignored.
    static int forward(int32_t phase, uint32_t units_done, uint32_t units_expected, void* span);
};

}  // namespace lintora
