#include "tools/progress_report.h"

#include <chrono>

#include "platform/console.h"
#include "tools/human_units.h"

namespace lintora {

namespace {

constexpr double kQuietSeconds = 1;      // a run shorter than this shows nothing
constexpr double kRedrawSeconds = 0.25;  // the bar at most four times a second
constexpr double kRateWindow = 10;       // the rate over this many seconds
constexpr double kLogEvery = 60;

const char* phase_name(RunPhase phase) {
    switch (phase) {
        case RunPhase::zeroing:
            return "zeroing";
        case RunPhase::writing:
            return "writing";
        case RunPhase::verifying:
            return "verifying";
    }
    return "";
}

double steady_seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::optional<ProgressMode> parse_progress_mode(const std::string& text, bool terminal) {
    if (text == "auto") {
        return terminal ? ProgressMode::bar : ProgressMode::lines;
    }
    if (text == "bar") {
        return ProgressMode::bar;
    }
    if (text == "lines") {
        return ProgressMode::lines;
    }
    if (text == "none") {
        return ProgressMode::none;
    }
    return std::nullopt;
}

ProgressReport::ProgressReport(std::FILE* stream, ProgressMode mode, Clock clock, Columns columns)
    : stream_(stream),
      mode_(mode),
      clock_(clock ? std::move(clock) : Clock(&steady_seconds)),
      columns_(columns ? std::move(columns)
                       : Columns([stream] { return terminal_columns(stream); })) {
    start_ = clock_();
}

ProgressReport::~ProgressReport() {
    finish();
}

void ProgressReport::pass(RunPhase phase, uint64_t bytes_done, uint64_t bytes_total,
                          uint64_t bytes_after, void* owner) {
    static_cast<ProgressReport*>(owner)->update(phase, bytes_done, bytes_total, bytes_after);
}

void ProgressReport::update(RunPhase phase, uint64_t done, uint64_t total, uint64_t after) {
    const double now = clock_();
    const bool new_phase = !have_pass_ || phase != phase_ || total != total_ || done < done_;
    if (new_phase) {
        samples_.clear();
        phase_logged_ = false;
        logged_tenths_ = 0;
        phase_start_ = now;
    }
    have_pass_ = true;
    phase_ = phase;
    done_ = done;
    total_ = total;
    after_ = after;
    samples_.emplace_back(now, done);
    while (samples_.size() > 2 && samples_[1].first <= now - kRateWindow) {
        samples_.pop_front();
    }
    if (now - start_ < kQuietSeconds) {
        return;
    }
    if (mode_ == ProgressMode::bar) {
        draw(now);
    } else if (mode_ == ProgressMode::lines) {
        if (!phase_logged_) {
            log_line(now, true);
        }
        // A phase that is over within its first second gets its start and its end, not ten
        // lines of nothing but percentages.
        const uint64_t tenths = total == 0 ? 0 : done * 10 / total;
        const bool step =
            tenths > logged_tenths_ && (now - phase_start_ >= kQuietSeconds || done == total);
        if (now - last_log_ >= kLogEvery || step) {
            log_line(now, false);
            logged_tenths_ = tenths;
        }
    }
}

double ProgressReport::rate() const {
    if (samples_.size() < 2) {
        return 0;
    }
    const double span = samples_.back().first - samples_.front().first;
    if (span < kQuietSeconds) {
        return 0;
    }
    return static_cast<double>(samples_.back().second - samples_.front().second) / span;
}

std::string ProgressReport::line(bool for_log, int columns) const {
    const double speed = rate();
    const uint64_t percent = total_ == 0 ? 0 : done_ * 100 / total_;
    const double phase_left = speed > 0 ? static_cast<double>(total_ - done_) / speed : -1;
    const double all_left = speed > 0 ? phase_left + static_cast<double>(after_) / speed : -1;
    const std::string rate_text =
        speed > 0 ? binary_size(static_cast<uint64_t>(speed)) + "/s" : std::string("--/s");
    const std::string elapsed_text = clock_text(elapsed());
    if (for_log) {
        return std::string(phase_name(phase_)) + ": " + binary_size(done_) + " of " +
               binary_size(total_) + " (" + std::to_string(percent) + "%), " + rate_text + ", " +
               clock_text(phase_left) + " left, " + clock_text(all_left) + " left in all, " +
               elapsed_text + " elapsed";
    }
    char head[24];
    std::snprintf(head, sizeof head, "%-9s %3u%%", phase_name(phase_),
                  static_cast<unsigned>(percent));
    const std::string forms[] = {
        std::string(head) + " " + binary_size(done_) + "/" + binary_size(total_) + " " + rate_text +
            " left " + clock_text(phase_left) + " all " + clock_text(all_left) + " " + elapsed_text,
        std::string(head) + " " + rate_text + " left " + clock_text(phase_left) + " all " +
            clock_text(all_left),
        std::string(head) + " left " + clock_text(phase_left),
        std::string(head),
    };
    // The longest form that fits, one column spare so that the cursor never wraps.
    const size_t room = columns > 1 ? static_cast<size_t>(columns - 1) : 79;
    for (const std::string& form : forms) {
        if (form.size() <= room) {
            return form;
        }
    }
    return forms[3].substr(0, room);
}

void ProgressReport::draw(double now) {
    if (last_draw_ >= 0 && now - last_draw_ < kRedrawSeconds && done_ != total_) {
        return;
    }
    last_draw_ = now;
    const std::string text = line(false, columns_());
    std::fputc('\r', stream_);
    std::fputs(text.c_str(), stream_);
    // A shorter line than the last one: blanks over what is left of it.
    for (size_t i = text.size(); i < drawn_length_; ++i) {
        std::fputc(' ', stream_);
    }
    if (drawn_length_ > text.size()) {
        std::fputc('\r', stream_);
        std::fputs(text.c_str(), stream_);
    }
    drawn_length_ = text.size();
    std::fflush(stream_);
}

void ProgressReport::log_line(double now, bool start) {
    if (start) {
        std::fprintf(stream_, "%s: %s\n", phase_name(phase_), binary_size(total_).c_str());
        phase_logged_ = true;
    } else {
        std::fprintf(stream_, "%s\n", line(true, 0).c_str());
    }
    last_log_ = now;
    std::fflush(stream_);
}

void ProgressReport::finish() {
    if (drawn_length_ > 0) {
        std::fputc('\n', stream_);
        drawn_length_ = 0;
        std::fflush(stream_);
    }
}

double ProgressReport::elapsed() const {
    return clock_() - start_;
}

std::string ProgressReport::where() const {
    if (!have_pass_) {
        return "";
    }
    return std::string(phase_name(phase_)) + ", at " + binary_size(done_) + " of " +
           binary_size(total_);
}

}  // namespace lintora
