#include "prep/target_claim.h"

#include <algorithm>
#include <array>

namespace lintora {

namespace {

enum class Table { none, old, old_backup, empty, fresh, unknown };
enum class Site { gone, present, backup_only, unknown };

Table table_in(const TargetLedger& ledger, View view) {
    const uint64_t sector = ledger.sector_size();
    const uint64_t end = ledger.size_bytes();
    switch (ledger.found(view, 0, sector)) {
        case Found::before:
            return ledger.prior_table() == PriorTable::none && ledger.surveyed() ? Table::none
                                                                                 : Table::old;
        case Found::empty_table:
            return Table::empty;
        case Found::new_table:
            return Table::fresh;
        case Found::unknown:
        case Found::mixed:
            return Table::unknown;
        default:
            // An old GPT whose backup header at the disk's end was not written over may be
            // brought back from it.
            return ledger.prior_table() == PriorTable::gpt &&
                           ledger.found(view, end - sector, end) == Found::before
                       ? Table::old_backup
                       : Table::none;
    }
}

Site prior_site_in(const TargetLedger& ledger, const PriorVolume& prior, View view) {
    const uint64_t sector = ledger.sector_size();
    const Found boot = ledger.found(view, prior.offset, prior.offset + sector);
    const uint64_t last = prior.offset + prior.bytes - sector;
    const Found backup = ledger.found(view, last, last + sector);
    if (boot == Found::before && prior.boot_sector) {
        return Site::present;
    }
    if (boot == Found::unknown || backup == Found::unknown) {
        return Site::unknown;
    }
    return backup == Found::before ? Site::backup_only : Site::gone;
}

// The new volume is there when its boot sector and every other byte of it are; a boot sector
// over a volume that is not whole is no volume a reader can use.
Site new_site_in(const TargetLedger& ledger, View view) {
    const uint64_t sector = ledger.sector_size();
    const uint64_t first = ledger.volume_offset;
    const uint64_t last = first + ledger.volume_bytes - sector;
    const Found boot = ledger.found(view, first, first + sector);
    const Found backup = ledger.found(view, last, last + sector);
    const bool whole = ledger.volume_whole(view);
    if (boot == Found::data) {
        return whole ? Site::present : Site::gone;
    }
    if (!whole) {
        return Site::gone;
    }
    if (boot == Found::unknown || backup == Found::unknown) {
        return Site::unknown;
    }
    return backup == Found::data && whole ? Site::backup_only : Site::gone;
}

std::string at_byte(uint64_t offset) {
    return "at byte " + std::to_string(offset);
}

std::string joined(const std::vector<std::string>& parts, const char* last_joint) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == parts.size() ? last_joint : ", ") + parts[i];
    }
    return text;
}

// The claim being built: what both views hold, and what one of them holds.
struct Words {
    TargetClaim& claim;
    std::vector<std::string> holds;
    std::vector<std::string> may_hold;

    void add(bool certain, std::string text, const char* what, uint64_t first, uint64_t end) {
        (certain ? holds : may_hold).push_back(std::move(text));
        claim.ranges.push_back({what, first, end, certain});
    }
};

void word_zeros(const TargetLedger& ledger, Words& words) {
    const uint64_t accepted = ledger.zeros_end(View::accepted, 0);
    const uint64_t flushed = ledger.zeros_end(View::flushed, 0);
    if (ledger.zero_bytes == 0 || accepted < ledger.sector_size()) {
        return;
    }
    const std::vector<std::pair<uint64_t, uint64_t>> bad = ledger.unknown_ranges(0, accepted);
    const std::string but = bad.empty()
                                ? ""
                                : " but for " + std::to_string(bad.size()) + " sector range" +
                                      (bad.size() == 1 ? "" : "s") + " that could not be written";
    if (flushed == 0) {
        words.add(false,
                  "zeros up to byte " + std::to_string(accepted) + but +
                      " (written, but no flush confirmed them)",
                  "zeros", 0, accepted);
    } else {
        // Both views hold zeros up to the nearer end; in the accepted view the zeros may go on
        // past the flushed ones, or other bytes may have been written over the flushed ones.
        const uint64_t certain = std::min(accepted, flushed);
        std::string text = certain >= ledger.size_bytes()
                               ? "zeros" + but
                               : "zeros up to byte " + std::to_string(certain) + but;
        if (accepted > flushed) {
            text += " (what was written after that, up to byte " + std::to_string(accepted) +
                    ", is unknown)";
        }
        words.add(true, text, "zeros", 0, certain);
        if (accepted > flushed) {
            words.claim.ranges.push_back({"zeros", flushed, accepted, false});
        }
    }
    for (const auto& range : bad) {
        words.claim.ranges.push_back({"unwritten_sectors", range.first, range.second, true});
    }
}

std::string table_text(Table table, bool verified) {
    switch (table) {
        case Table::old:
            return "its old partition table";
        case Table::old_backup:
            return "the backup of its old GPT at its end (a repair tool can bring the table back "
                   "from it)";
        case Table::empty:
            return "the empty partition table of its re-initialisation";
        case Table::fresh:
            return verified ? "its new partition table, read back as written"
                            : "its new partition table";
        case Table::unknown:
            return "an unknown first sector (a write over it failed; its old partition table may "
                   "remain)";
        default:
            return "no partition table";
    }
}

const char* table_word(Table table) {
    switch (table) {
        case Table::old:
            return "old_table";
        case Table::old_backup:
            return "old_table_backup";
        case Table::empty:
            return "empty_table";
        case Table::fresh:
            return "new_table";
        case Table::unknown:
            return "unknown";
        default:
            return "no_table";
    }
}

void word_table(const TargetLedger& ledger, Words& words, std::array<Table, 2>& tables) {
    tables = {table_in(ledger, View::accepted), table_in(ledger, View::flushed)};
    if (!ledger.whole_disk && tables[0] == Table::none && tables[1] == Table::none) {
        return;  // a volume's target: a table is worth a word only where one may remain
    }
    const uint64_t sector = ledger.sector_size();
    if (tables[0] == tables[1]) {
        words.add(true, table_text(tables[0], ledger.table_verified()), table_word(tables[0]), 0,
                  sector);
        return;
    }
    // One view holds one table, the other another: both are named as what it may hold.
    words.may_hold.push_back(table_text(tables[0], false) + " or " + table_text(tables[1], false));
    for (const Table table : tables) {
        words.claim.ranges.push_back({table_word(table), 0, sector, false});
    }
}

// Whether a volume that one view holds would be pointed at by the table that view holds.
bool pointed_at_in_both(const std::array<Table, 2>& tables, const bool held[2]) {
    for (size_t i = 0; i < 2; ++i) {
        if (held[i] && tables[i] != Table::fresh) {
            return false;
        }
    }
    return true;
}

// Returns whether any view may hold a volume.
bool word_volumes(const TargetLedger& ledger, Words& words, const std::array<Table, 2>& tables) {
    bool any = false;
    const uint64_t sector = ledger.sector_size();
    for (const PriorVolume& prior : ledger.prior_volumes()) {
        const Site sites[2] = {prior_site_in(ledger, prior, View::accepted),
                               prior_site_in(ledger, prior, View::flushed)};
        const uint64_t end = prior.offset + prior.bytes;
        if (sites[0] == Site::present || sites[1] == Site::present) {
            words.add(false, "its old volume " + at_byte(prior.offset), "old_volume", prior.offset,
                      end);
        } else if (sites[0] == Site::backup_only || sites[1] == Site::backup_only) {
            words.add(false,
                      "the backup boot sector of its old volume " + at_byte(prior.offset) +
                          ", in its last sector (ntfsfix can bring such a volume back)",
                      "old_volume_backup_boot_sector", end - sector, end);
        } else if (sites[0] == Site::unknown || sites[1] == Site::unknown) {
            words.add(false,
                      "part of its old volume " + at_byte(prior.offset) +
                          " (a write over its boot sectors failed)",
                      "unknown", prior.offset, end);
        } else {
            continue;
        }
        any = true;
    }
    if (ledger.volume_bytes == 0) {
        return any;
    }
    const Site sites[2] = {new_site_in(ledger, View::accepted), new_site_in(ledger, View::flushed)};
    const uint64_t first = ledger.volume_offset;
    const uint64_t end = first + ledger.volume_bytes;
    const bool held[2] = {sites[0] == Site::present, sites[1] == Site::present};
    if (held[0] || held[1]) {
        std::string text = "a new volume " + at_byte(first);
        if (held[0] && held[1] && ledger.volume_verified()) {
            text += " that read back as written";
        }
        if (ledger.whole_disk && !pointed_at_in_both(tables, held)) {
            text += ", with no partition table pointing to it";
        }
        words.add(held[0] && held[1], text, "new_volume", first, end);
    } else if (sites[0] == Site::backup_only || sites[1] == Site::backup_only) {
        words.add(false,
                  "a new volume " + at_byte(first) +
                      " whose boot sector is zeros but whose backup in its last sector is "
                      "written (ntfsfix can bring such a volume back)",
                  "new_volume_backup_boot_sector", end - sector, end);
    } else if (sites[0] == Site::unknown || sites[1] == Site::unknown) {
        words.add(false,
                  "a new volume " + at_byte(first) + " (a write over its boot sectors failed)",
                  "unknown", first, end);
    } else {
        return any;
    }
    return true;
}

}  // namespace

TargetClaim claim_target(const TargetLedger& ledger, const std::string& subject) {
    TargetClaim claim;
    if (ledger.writes_tried() == 0) {
        claim.nothing_written = true;
        claim.words = "nothing was written to " + subject;
        return claim;
    }
    if (ledger.writes_accepted() == 0) {
        // Only failed requests: they may have changed the sectors they were for, nothing else.
        claim.nothing_accepted = true;
        claim.words = "no write to " + subject + " was accepted";
        const auto failed = ledger.unknown_ranges(0, ledger.size_bytes());
        for (size_t i = 0; i < failed.size(); ++i) {
            claim.words += (i == 0 ? "; the one that failed may have changed bytes " : ", and ") +
                           std::to_string(failed[i].first) + " to " +
                           std::to_string(failed[i].second);
            claim.ranges.push_back({"unknown", failed[i].first, failed[i].second, false});
        }
        return claim;
    }
    Words words{claim, {}, {}};
    word_zeros(ledger, words);
    std::array<Table, 2> tables{};
    word_table(ledger, words, tables);
    if (!word_volumes(ledger, words, tables)) {
        claim.no_valid_volume = true;
        words.add(true, "no valid volume", "no_valid_volume", 0, 0);
        claim.ranges.pop_back();
    }
    if (words.holds.empty()) {
        claim.words = subject + " may hold " + joined(words.may_hold, " or ");
    } else {
        claim.words = subject + " holds " + joined(words.holds, " and ");
        if (!words.may_hold.empty()) {
            claim.words += "; it may also hold " + joined(words.may_hold, " and ");
        }
    }
    return claim;
}

}  // namespace lintora
