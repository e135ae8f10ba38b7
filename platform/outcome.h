// How a request to the system ended: done, refused with the system's reason, or not something
// this platform does. Every platform operation answers with one, so a front-end can say what
// failed and why.
#pragma once

#include <string>

namespace lintora {

enum class OutcomeKind { done, failed, unsupported };

struct Outcome {
    OutcomeKind kind = OutcomeKind::done;
    std::string reason;  // the system's words for a failure, or the layer's own refusal
    // Refused only because another handle holds the object for now (Windows answers a volume
    // lock so while Explorer, the indexer or a scanner still has the volume open): worth a retry.
    bool in_use = false;
    // The device itself went away (unplugged, its medium removed), or the run is being stopped:
    // no retry, and no sector of it is to be taken for a bad one.
    bool gone = false;

    bool ok() const { return kind == OutcomeKind::done; }

    static Outcome success() { return {}; }
    static Outcome failure(std::string why) { return {OutcomeKind::failed, std::move(why)}; }
    static Outcome unsupported(std::string why) {
        return {OutcomeKind::unsupported, std::move(why)};
    }
};

// The failure of the system call that just failed, in the system's words (errno on POSIX,
// GetLastError on Windows). Call it before anything else can change the error.
Outcome last_system_failure();

}  // namespace lintora
