// What a target holds after a run that did not finish, worded from its ledger alone, for every
// front-end: the line a person reads, the record's ranges and whether no valid volume is left.
// A thing is said to be held only when it is held in both of the ledger's views (every accepted
// write landed; only the flushed ones did); what one view holds and the other does not is said
// to be what the target may hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "prep/target_ledger.h"

namespace lintora {

// One thing the target holds, or may hold, and where.
struct HeldRange {
    const char* what = "";  // "zeros", "new_volume", ... (the record's word)
    uint64_t first_byte = 0;
    uint64_t end_byte = 0;
    bool certain = true;  // false: in one view only
};

struct TargetClaim {
    bool nothing_written = false;
    // Only failed requests: the target holds what it held, but where they were aimed.
    bool nothing_accepted = false;
    bool no_valid_volume = false;  // in both views, no volume a reader would take for valid
    std::vector<HeldRange> ranges;
    std::string words;  // a clause about `subject`: "'disk.img' holds no valid volume"
};

// `subject` names the target in the words ("'disk.img'", "the disk").
TargetClaim claim_target(const TargetLedger& ledger, const std::string& subject);

}  // namespace lintora
