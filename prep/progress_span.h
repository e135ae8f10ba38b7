// One progress bar over the passes of a run (zeroing, writing the file system, reading back):
// each pass counts its own units from 0 and the span adds the units of the passes before it,
// so the bar never restarts. Totals above 32 bits are scaled down for the progress callback.
#pragma once

#include <cstdint>

#include "prep/sector_writer.h"

namespace lintora {

struct ProgressSpan {
    ProgressFn progress = nullptr;
    void* owner = nullptr;
    int32_t phase = kPhaseFileSystem;
    uint64_t total = 0;   // the units of every pass
    uint64_t before = 0;  // the units of the passes already done

    // Reports `done` units of the current pass.
    void tell(uint64_t done) const;
    // Ends the current pass after `units` of it.
    void pass_done(uint64_t units) { before += units; }
    // The ProgressFn shape, with the span as `owner`: a report without a total (the counting
    // pass) is dropped, and a pass's own total is otherwise ignored.
    static int forward(int32_t phase, uint32_t units_done, uint32_t units_expected, void* span);
};

}  // namespace lintora
