// SIGINT and SIGTERM during a run: the handler only notes the signal; the next write on a
// watched device then fails, the run unwinds through its normal failure path, and the command
// says what the target holds before it exits with 128 + the signal number.
#pragma once

#include <memory>

#include "platform/raw_disk.h"

namespace lintora {

// Installs the handlers (from here on a signal no longer kills the process at once).
void watch_for_interrupts();
// The signal that came, or 0.
int interrupting_signal();

// A disk system whose opened disks refuse every write once a signal came, and which counts the
// writes that reached a disk.
class InterruptibleDisks final : public DiskSystem {
  public:
    explicit InterruptibleDisks(DiskSystem& inner) : inner_(inner) {}

    Outcome query_target(const char16_t* path, TargetInfo* info) override {
        return inner_.query_target(path, info);
    }
    Outcome open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse use,
                      std::unique_ptr<DiskDevice>* device) override;
    Outcome open_volume(char letter, std::unique_ptr<DiskDevice>* volume) override {
        return inner_.open_volume(letter, volume);
    }
    void notify_drive_removed(char letter) override { inner_.notify_drive_removed(letter); }
    Guid make_guid() override { return inner_.make_guid(); }

    uint64_t writes() const { return writes_; }

  private:
    DiskSystem& inner_;
    uint64_t writes_ = 0;
};

}  // namespace lintora
