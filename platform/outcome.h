// How a request to the system ended: done, refused with the system's reason, or not something
// this platform does. Every platform operation answers with one, so a front-end can say what
// failed and why.
#pragma once

#include <cstdint>
#include <string>

namespace lintora {

enum class OutcomeKind { done, failed, unsupported };

// What a failed request says about the disk, and so what a pass over it does next.
enum class FailureClass {
    other,    // anything else: the pass ends with the system's reason
    gone,     // the device went away (unplugged, its medium removed), or the run is being
              // stopped: no retry, and no sector of it is to be taken for a bad one
    refused,  // the system or the device refuses the request itself (write-protected, access
              // denied, an invalid request): the pass ends at once
    medium,   // the medium failed there: a bad sector, worth one more try, then mapped
};

struct Outcome {
    OutcomeKind kind = OutcomeKind::done;
    std::string reason;  // the system's words for a failure, or the layer's own refusal
    // Refused only because another handle holds the object for now (Windows answers a volume
    // lock so while Explorer, the indexer or a scanner still has the volume open): worth a retry.
    bool in_use = false;
    FailureClass cause = FailureClass::other;
    // The reason is a whole account of a step other than the request itself (a flush or a
    // read-back a decorator made on the way): shown as it is, not as the request's failure.
    bool names_step = false;
    // Refused because the run is being stopped (a signal), its class `gone` so that nothing is
    // retried or mapped: the device itself is still there, and what it took stays taken.
    bool stopped = false;

    bool ok() const { return kind == OutcomeKind::done; }
    bool gone() const { return !ok() && cause == FailureClass::gone; }
    // The device went away (not a stop): what it had not flushed may be lost.
    bool device_gone() const { return gone() && !stopped; }
    bool medium_error() const { return !ok() && cause == FailureClass::medium; }

    static Outcome success() { return {}; }
    static Outcome failure(std::string why) { return {OutcomeKind::failed, std::move(why)}; }
    static Outcome unsupported(std::string why) {
        return {OutcomeKind::unsupported, std::move(why)};
    }
};

// The classes of the systems' error codes, one table each: errno on POSIX, GetLastError's
// codes on Windows. Both are plain numbers, so either table is checked on any build.
FailureClass failure_class_of_errno(int code);
FailureClass failure_class_of_windows_error(uint32_t code);

// The failure of the system call that just failed, in the system's words (errno on POSIX,
// GetLastError on Windows), with its class. Call it before anything else can change the error.
Outcome last_system_failure();

}  // namespace lintora
