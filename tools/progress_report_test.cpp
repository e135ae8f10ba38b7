#include "tools/progress_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/human_units.h"
#include "tools/run_summary.h"

namespace lintora {

namespace {

constexpr uint64_t kMiB = 1ull << 20;

// A report into a temporary file, on a clock the test moves.
struct Harness {
    double now = 0;
    int columns = 80;
    std::FILE* stream = std::tmpfile();
    ProgressReport report;

    explicit Harness(ProgressMode mode)
        : report(
              stream, mode, [this] { return now; }, [this] { return columns; }) {}
    ~Harness() {
        report.finish();  // before the stream goes: the report's own destructor then writes nothing
        std::fclose(stream);
    }
    // `bytes` of the phase done `seconds` from now.
    void at(double seconds, RunPhase phase, uint64_t bytes, uint64_t total, uint64_t after = 0) {
        now = seconds;
        ProgressReport::pass(phase, bytes, total, after, &report);
    }
    std::string text() {
        std::fflush(stream);
        const long end = std::ftell(stream);
        std::string all(static_cast<size_t>(end), '\0');
        std::rewind(stream);
        const size_t read = std::fread(all.data(), 1, all.size(), stream);
        std::fseek(stream, 0, SEEK_END);
        all.resize(read);
        return all;
    }
    // What the terminal shows: the text after the last carriage return of the last line.
    std::string screen_line() {
        const std::string all = text();
        return all.substr(all.rfind('\r') + 1);
    }
};

TEST(HumanUnits, BinarySizesAndClockTimes) {
    EXPECT_EQ(binary_size(512), "512 B");
    EXPECT_EQ(binary_size(1536), "1.5 KiB");
    EXPECT_EQ(binary_size(1979120929996ull), "1.8 TiB");
    EXPECT_EQ(binary_size((1ull << 30) - 1), "1.0 GiB");  // never "1024.0 MiB"
    EXPECT_EQ(clock_text(3723.4), "1:02:03");
    EXPECT_EQ(clock_text(90000), "25:00:00");
    EXPECT_EQ(clock_text(-1), "--");
}

// The rate follows the last seconds, the time left comes from the phase's own rate, and a new
// phase starts its rate afresh ("--" until it is known).
TEST(ProgressReport, RateAndTimeLeftFollowEachPhase) {
    Harness h(ProgressMode::bar);
    h.at(0, RunPhase::zeroing, 0, 1000 * kMiB, 100 * kMiB);
    for (int s = 1; s <= 10; ++s) {
        h.at(s, RunPhase::zeroing, static_cast<uint64_t>(s) * 50 * kMiB, 1000 * kMiB, 100 * kMiB);
    }
    std::string line = h.screen_line();
    EXPECT_NE(line.find("zeroing"), std::string::npos) << line;
    EXPECT_NE(line.find("50.0 MiB/s"), std::string::npos) << line;
    EXPECT_NE(line.find("left 0:00:10 all 0:00:12"), std::string::npos) << line;
    // The rate falls: over the last ten seconds it is the new pace, not the old average.
    for (int s = 11; s <= 30; ++s) {
        h.at(s, RunPhase::zeroing, 500 * kMiB + static_cast<uint64_t>(s - 10) * 10 * kMiB,
             1000 * kMiB, 100 * kMiB);
    }
    line = h.screen_line();
    EXPECT_NE(line.find("10.0 MiB/s"), std::string::npos) << line;
    EXPECT_NE(line.find("left 0:00:30"), std::string::npos) << line;
    h.at(30.5, RunPhase::writing, 0, 100 * kMiB);
    line = h.screen_line();
    EXPECT_NE(line.find("writing"), std::string::npos) << line;
    EXPECT_NE(line.find("--/s left --"), std::string::npos) << line;
}

// A terminal narrower than the line gets a shorter form, and a shorter line is drawn over the
// longer one without leaving its end behind.
TEST(ProgressReport, TheBarFitsItsTerminalAndLeavesNothingBehind) {
    Harness h(ProgressMode::bar);
    h.at(2, RunPhase::writing, 10 * kMiB, 100 * kMiB);
    h.at(3, RunPhase::writing, 20 * kMiB, 100 * kMiB);
    const std::string wide = h.screen_line();
    EXPECT_LE(wide.size(), 79u);
    h.columns = 30;
    h.at(4, RunPhase::writing, 30 * kMiB, 100 * kMiB);
    const std::string all = h.text();
    EXPECT_LE(h.screen_line().size(), 29u) << h.screen_line();
    EXPECT_NE(h.screen_line().find("writing    30%"), std::string::npos) << h.screen_line();
    // The blanks that cleared the longer line came before the last redraw.
    const std::string before_last = all.substr(0, all.rfind('\r'));
    EXPECT_NE(before_last.find(std::string(wide.size() - h.screen_line().size(), ' ')),
              std::string::npos);
}

// In a log: a line when each phase starts, then one a minute and one at each further 10 %;
// a run that ends within its first second says nothing at all.
TEST(ProgressReport, LinesAtPhaseStartsEachMinuteAndEachTenPercent) {
    {
        Harness quick(ProgressMode::lines);
        quick.at(0, RunPhase::writing, 0, 100 * kMiB);
        quick.at(0.5, RunPhase::writing, 100 * kMiB, 100 * kMiB);
        EXPECT_EQ(quick.text(), "");
    }
    Harness h(ProgressMode::lines);
    const uint64_t total = 6000 * kMiB;
    for (int s = 0; s <= 130; ++s) {  // 1 MiB a second: 130 s is 2 %
        h.at(s, RunPhase::zeroing, static_cast<uint64_t>(s) * kMiB, total);
    }
    std::string log = h.text();
    EXPECT_EQ(log.rfind("zeroing: 5.9 GiB\n", 0), 0u) << log;
    // The start line once the first second is over, then one at 61 s and at 121 s.
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
    h.at(131, RunPhase::zeroing, total / 10 + kMiB, total);  // past 10 %
    log = h.text();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
    EXPECT_NE(log.find("(10%)"), std::string::npos) << log;
    EXPECT_EQ(log.find('\r'), std::string::npos);
    h.at(132, RunPhase::verifying, 0, total);
    EXPECT_NE(h.text().find("verifying: 5.9 GiB\n"), std::string::npos);
    // A late phase over within half a second still ends with its 100 % line.
    h.at(133, RunPhase::writing, 0, 100 * kMiB);
    h.at(133.2, RunPhase::writing, 50 * kMiB, 100 * kMiB);
    h.at(133.4, RunPhase::writing, 100 * kMiB, 100 * kMiB);
    log = h.text();
    EXPECT_NE(log.find("writing: 100.0 MiB of 100.0 MiB (100%)"), std::string::npos) << log;
    EXPECT_EQ(log.find("(50%)", log.find("writing:")), std::string::npos) << log;
}

// The run's last line: what a clean full format found, the bad clusters a damaged disk gave,
// and what was read back.
TEST(RunSummary, NamesTheBadClustersTheReadBackAndTheTime) {
    JobSummary summary;
    summary.cluster_size = 4096;
    summary.clusters = 1048575;
    JobOptions quick;
    EXPECT_EQ(run_summary(4ull << 30, summary, quick, 3.2),
              ", 4.0 GiB in 1048575 clusters of 4096 bytes, in 0:00:03");
    JobOptions full;
    full.full = true;
    EXPECT_EQ(run_summary(4ull << 30, summary, full, 61),
              ", 4.0 GiB in 1048575 clusters of 4096 bytes, no bad sectors, in 0:01:01");
    summary.bad_clusters = {300, 301, 9000};
    full.verify = true;
    summary.verified_bytes = (4ull << 30) + 23 * kMiB;
    EXPECT_EQ(run_summary(4ull << 30, summary, full, 3600),
              ", 4.0 GiB in 1048575 clusters of 4096 bytes, 3 bad clusters mapped (12.0 KiB), "
              "4.0 GiB read back and compared, in 1:00:00");
}

TEST(ProgressReport, ModesFromTheCommandLine) {
    EXPECT_EQ(parse_progress_mode("auto", true), ProgressMode::bar);
    EXPECT_EQ(parse_progress_mode("auto", false), ProgressMode::lines);
    EXPECT_EQ(parse_progress_mode("none", true), ProgressMode::none);
    EXPECT_FALSE(parse_progress_mode("quiet", true).has_value());
}

}  // namespace

}  // namespace lintora
