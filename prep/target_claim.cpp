#include "prep/target_claim.h"

#include <algorithm>

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
    return backup == Found::data ? Site::backup_only : Site::gone;
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
    // Zeros a medium that loses what it accepts may not hold are claimed of neither view.
    const uint64_t flushed = ledger.read_back_failed() ? 0 : ledger.zeros_end(View::flushed, 0);
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

// The views a claim must hold in: both of the ledger's, and where a read-back found that the
// medium does not keep what it accepted, the target as it was before the run as well.
std::vector<View> views_of(const TargetLedger& ledger) {
    std::vector<View> views = {View::accepted, View::flushed};
    if (ledger.read_back_failed()) {
        views.push_back(View::before);
    }
    return views;
}

template <typename T>
bool any_is(const std::vector<T>& values, T value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}
template <typename T>
bool all_are(const std::vector<T>& values, T value) {
    return std::all_of(values.begin(), values.end(), [&](T each) { return each == value; });
}

void word_table(const TargetLedger& ledger, Words& words, const std::vector<View>& views,
                std::vector<Table>& tables) {
    for (const View view : views) {
        tables.push_back(table_in(ledger, view));
    }
    if (!ledger.whole_disk && all_are(tables, Table::none)) {
        return;  // a volume's target: a table is worth a word only where one may remain
    }
    const uint64_t sector = ledger.sector_size();
    if (all_are(tables, tables[0])) {
        words.add(true, table_text(tables[0], ledger.table_verified()), table_word(tables[0]), 0,
                  sector);
        return;
    }
    // The views hold different tables: each is named as what the target may hold.
    std::vector<Table> distinct;
    std::string text;
    for (const Table table : tables) {
        if (!any_is(distinct, table)) {
            text += (distinct.empty() ? "" : " or ") + table_text(table, false);
            distinct.push_back(table);
            words.claim.ranges.push_back({table_word(table), 0, sector, false});
        }
    }
    words.may_hold.push_back(text);
}

// Returns whether any view may hold a volume.
bool word_volumes(const TargetLedger& ledger, Words& words, const std::vector<View>& views,
                  const std::vector<Table>& tables) {
    bool any = false;
    const uint64_t sector = ledger.sector_size();
    for (const PriorVolume& prior : ledger.prior_volumes()) {
        std::vector<Site> sites;
        for (const View view : views) {
            sites.push_back(prior_site_in(ledger, prior, view));
        }
        const uint64_t end = prior.offset + prior.bytes;
        if (any_is(sites, Site::present)) {
            words.add(false, "its old volume " + at_byte(prior.offset), "old_volume", prior.offset,
                      end);
        } else if (any_is(sites, Site::backup_only)) {
            words.add(false,
                      "the backup boot sector of its old volume " + at_byte(prior.offset) +
                          ", in its last sector (ntfsfix can bring such a volume back)",
                      "old_volume_backup_boot_sector", end - sector, end);
        } else if (any_is(sites, Site::unknown)) {
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
    std::vector<Site> sites;
    bool pointed_at = true;  // by the table of each view that holds the volume
    for (size_t i = 0; i < views.size(); ++i) {
        sites.push_back(new_site_in(ledger, views[i]));
        pointed_at = pointed_at &&
                     (sites[i] != Site::present || tables.empty() || tables[i] == Table::fresh);
    }
    const uint64_t first = ledger.volume_offset;
    const uint64_t end = first + ledger.volume_bytes;
    if (any_is(sites, Site::present)) {
        const bool certain = all_are(sites, Site::present);
        std::string text = "a new volume " + at_byte(first);
        if (certain && ledger.volume_verified()) {
            text += " that read back as written";
        }
        if (ledger.whole_disk && !pointed_at) {
            text += ", with no partition table pointing to it";
        }
        words.add(certain, text, "new_volume", first, end);
    } else if (any_is(sites, Site::backup_only)) {
        words.add(false,
                  "a new volume " + at_byte(first) +
                      " whose boot sector is zeros but whose backup in its last sector is "
                      "written (ntfsfix can bring such a volume back)",
                  "new_volume_backup_boot_sector", end - sector, end);
    } else if (any_is(sites, Site::unknown)) {
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
    const std::vector<View> views = views_of(ledger);
    std::vector<Table> tables;
    word_table(ledger, words, views, tables);
    if (!word_volumes(ledger, words, views, tables)) {
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
