// SIGINT, SIGTERM, SIGHUP (the terminal or ssh connection gone) and SIGQUIT during a run: the
// handler only notes the signal; the next write on a watched device then fails, the run unwinds
// through its normal failure path, and the command says what the target holds before it exits
// with 128 + the signal number.
#pragma once

#include <memory>

#include "platform/raw_disk.h"

namespace lintora {

// A closed pipe on stdout or stderr (`| head`) must not end a run between two writes of the
// target: the output's write fails instead, and the run goes on. Called first thing.
void ignore_closed_pipes();
// Installs the handlers (from here on a signal no longer kills the process at once).
void watch_for_interrupts();
// The signal that came, or 0.
int interrupting_signal();

// A disk system whose opened disks refuse every write and read once a signal came.
class InterruptibleDisks final : public ForwardingDiskSystem {
  public:
    explicit InterruptibleDisks(DiskSystem& inner) : ForwardingDiskSystem(inner) {}

    Outcome open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse use,
                      std::unique_ptr<DiskDevice>* device) override;
};

}  // namespace lintora
