// What a long run shows while it goes: the phase (zeroing, writing, verifying), the bytes done
// of the phase's total, the rate over the last seconds, the time left for the phase and for the
// whole run, and the time taken. On a terminal one line redrawn a few times a second; in a log
// one plain line per phase start, then one a minute and at each further 10 %. A run that ends
// within a second shows nothing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "prep/progress_span.h"

namespace lintora {

enum class ProgressMode { bar, lines, none };

// The value of --progress: auto (the bar on a terminal, lines otherwise), bar, lines or none.
std::optional<ProgressMode> parse_progress_mode(const std::string& text, bool terminal);

class ProgressReport {
  public:
    using Clock = std::function<double()>;  // seconds, from any start
    using Columns = std::function<int()>;   // the terminal's width, 0 when unknown

    ProgressReport(std::FILE* stream, ProgressMode mode, Clock clock = {}, Columns columns = {});
    ~ProgressReport();
    ProgressReport(const ProgressReport&) = delete;
    ProgressReport& operator=(const ProgressReport&) = delete;

    // The job's watch over its passes, with this report as owner.
    PassWatch watch() { return {&ProgressReport::pass, this}; }
    static void pass(RunPhase phase, uint64_t bytes_done, uint64_t bytes_total,
                     uint64_t bytes_after, void* owner);

    // Ends the bar's line; the seconds since the report was made.
    void finish();
    double elapsed() const;
    // Where the run is: "writing, at 1.2 GiB of 8.0 GiB"; empty before the first pass.
    std::string where() const;

  private:
    void update(RunPhase phase, uint64_t done, uint64_t total, uint64_t after);
    double rate() const;  // bytes a second over the last seconds, 0 while unknown
    std::string line(bool for_log, int columns) const;
    void draw(double now);
    void log_line(double now, bool start);

    std::FILE* stream_;
    ProgressMode mode_;
    Clock clock_;
    Columns columns_;
    double start_ = 0;
    bool have_pass_ = false;
    RunPhase phase_ = RunPhase::writing;
    uint64_t done_ = 0, total_ = 0, after_ = 0;
    std::deque<std::pair<double, uint64_t>> samples_;  // (time, bytes done) of this phase
    double last_draw_ = -1;
    size_t drawn_length_ = 0;
    bool phase_logged_ = false;
    double phase_start_ = 0;
    double last_log_ = 0;
    uint64_t logged_tenths_ = 0;
};

}  // namespace lintora
