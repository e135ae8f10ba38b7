#include "prep/progress_span.h"

namespace lintora {

void ProgressSpan::tell_watch(uint64_t done) const {
    if (watch.report != nullptr) {
        const uint64_t later = total > before + pass_units ? total - before - pass_units : 0;
        watch.report(pass, done * unit_bytes / pass_share, pass_units * unit_bytes / pass_share,
                     later * unit_bytes, watch.owner);
    }
}

void ProgressSpan::tell(uint64_t done) const {
    tell_watch(done);
    if (progress == nullptr) {
        return;
    }
    uint64_t now = before + done;
    uint64_t all = total;
    while (all > 0xFFFFFFFFull) {
        now >>= 1;
        all >>= 1;
    }
    progress(phase, static_cast<uint32_t>(now > all ? all : now), static_cast<uint32_t>(all),
             owner);
}

int ProgressSpan::forward(int32_t, uint32_t units_done, uint32_t units_expected, void* span) {
    // A counting pass (again, after the zero pass found bad clusters) knows no total yet and
    // writes nothing: the bar stays where the passes that write left it.
    if (units_expected != 0) {
        static_cast<const ProgressSpan*>(span)->tell(units_done);
    }
    return 0;
}

}  // namespace lintora
