#include "tools/progress_bar.h"

#include "platform/console.h"

namespace lintora {

ProgressBar::ProgressBar(std::FILE* stream) : stream_(stream), enabled_(is_terminal(stream)) {}

ProgressBar::~ProgressBar() {
    finish();
}

int ProgressBar::report(int32_t, uint32_t units_done, uint32_t units_expected, void* owner) {
    auto* bar = static_cast<ProgressBar*>(owner);
    if (units_expected != 0) {
        const uint64_t percent = uint64_t{units_done} * 100 / units_expected;
        bar->draw(static_cast<uint32_t>(percent > 100 ? 100 : percent));
    }
    return 0;
}

void ProgressBar::draw(uint32_t percent) {
    if (!enabled_ || static_cast<int>(percent) == last_percent_) {
        return;
    }
    last_percent_ = static_cast<int>(percent);
    constexpr uint32_t kWidth = 40;
    const uint32_t filled = percent * kWidth / 100;
    std::fputc('\r', stream_);
    std::fputc('[', stream_);
    for (uint32_t i = 0; i < kWidth; ++i) {
        std::fputc(i < filled ? '#' : '.', stream_);
    }
    std::fprintf(stream_, "] %3u%%", percent);
    std::fflush(stream_);
}

void ProgressBar::finish() {
    if (enabled_ && last_percent_ >= 0) {
        std::fputc('\n', stream_);
        last_percent_ = -1;
    }
}

}  // namespace lintora
