#include "tools/interrupt.h"

#include <csignal>

namespace lintora {

namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void note_signal(int signal_number) {
    g_signal = signal_number;
}

class InterruptibleDevice final : public ForwardingDiskDevice {
  public:
    explicit InterruptibleDevice(std::unique_ptr<DiskDevice> inner)
        : ForwardingDiskDevice(std::move(inner)) {}

    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        return guarded([&] { return inner_->write_at(offset, data, length); });
    }
    // A read-back reads as long as it wrote: a stop is honoured at its next read too.
    Outcome read_at(uint64_t offset, uint8_t* data, uint32_t length) override {
        return guarded([&] { return inner_->read_at(offset, data, length); });
    }
    Outcome create_disk(const CreateDiskRecord& record) override {
        return guarded([&] { return inner_->create_disk(record); });
    }
    Outcome set_drive_layout(const uint8_t* layout, uint32_t size) override {
        return guarded([&] { return inner_->set_drive_layout(layout, size); });
    }

  private:
    // No retry, and no sector is taken for a bad one: the run is to stop. What the device took
    // so far is flushed by the ledger above, which records whether the flush succeeded.
    template <typename Request>
    static Outcome guarded(Request request) {
        if (g_signal != 0) {
            Outcome stopped = Outcome::failure("interrupted by a signal");
            stopped.cause = FailureClass::gone;
            stopped.stopped = true;
            return stopped;
        }
        return request();
    }
};

}  // namespace

void ignore_closed_pipes() {
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

void watch_for_interrupts() {
    std::signal(SIGINT, note_signal);
    std::signal(SIGTERM, note_signal);
#ifdef SIGHUP
    std::signal(SIGHUP, note_signal);
#endif
#ifdef SIGQUIT
    std::signal(SIGQUIT, note_signal);
#endif
#ifdef SIGXFSZ
    // A write past the file-size limit (ulimit -f) is to fail with EFBIG and be reported with
    // its byte and the target's state, not to end the process without a word.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

int interrupting_signal() {
    return g_signal;
}

Outcome InterruptibleDisks::open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse use,
                                      std::unique_ptr<DiskDevice>* device) {
    std::unique_ptr<DiskDevice> opened;
    Outcome outcome = inner_.open_disk(path, bytes_per_sector, use, &opened);
    if (outcome.ok()) {
        *device = std::make_unique<InterruptibleDevice>(std::move(opened));
    }
    return outcome;
}

}  // namespace lintora
