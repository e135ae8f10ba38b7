// A one-line progress bar on a terminal, fed by the sector writer's progress callback.
#pragma once

#include <cstdint>
#include <cstdio>

namespace lintora {

class ProgressBar {
  public:
    // Draws only when `stream` is a terminal.
    explicit ProgressBar(std::FILE* stream);
    ~ProgressBar();

    // The SectorWriter callback; `owner` is the ProgressBar. Draws nothing while the total is
    // unknown (the wipe and the counting pass).
    static int report(int32_t phase, uint32_t units_done, uint32_t units_expected, void* owner);

    void finish();

  private:
    void draw(uint32_t percent);

    std::FILE* stream_;
    bool enabled_;
    int last_percent_ = -1;
};

}  // namespace lintora
