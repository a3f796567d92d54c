// The child process of the crash tests: records from the simulator into the
// journal of a data directory until it is killed, and reports on standard
// output, after each operation has returned, the record count it left:
//   "A <count>" after an append, "d <count>" before a deletion (a rewrite)
//   and "D <count>" after it.
// A journal left by an earlier run is adopted first, as the application does
// when the user chooses to restore.
//
// Usage: crash_child DATA_DIR append|rewrite

#include "meter/simulator.h"
#include "session/dmm_session.h"
#include "session/sample_scheduler.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <unistd.h>

using namespace zelmar;

namespace {

void report(char kind, int count)
{
    char line[32];
    const int n = std::snprintf(line, sizeof line, "%c %d\n", kind, count);
    (void)!::write(STDOUT_FILENO, line, static_cast<std::size_t>(n));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const std::filesystem::path data = argv[1];
    const bool rewrite = std::strcmp(argv[2], "rewrite") == 0;

    auto recovery = DMMSession::pendingRecovery(data);
    auto sim = std::make_unique<MeterSimulator>(SimScenario::steadyDc);
    DMMSession session(
        std::make_unique<HIDDevicePort>(std::move(sim)), data, 5, 600'000, PollingTiming { 20, 50, 5, 3, 5 });
    if (recovery)
        session.adoptRecovery(std::move(*recovery));
    if (rewrite && session.recordCount() == 0) {
        // A big journal makes every rewrite take long enough to be hit.
        std::vector<Reading> seed;
        for (int i = 0; i < 20'000; ++i)
            seed.emplace_back(1.7e9 + i, 2, 1, "12.345", DmmFlags {}, 0);
        session.loadRecords(std::move(seed), 0);
    }
    report('S', session.recordCount());

    if (!session.start())
        return 3;
    while (!session.latestReading(PollingEngine::now()))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The first sample is taken at the start; it is reported like the rest.
    if (const SampleOutcome first = session.startRecording(PollingEngine::now());
        first.kind == SampleOutcome::Kind::appended)
        report('A', first.totalCount);
    SampleScheduler scheduler(0.002, PollingEngine::now());
    for (int i = 0;; ++i) {
        if (rewrite && i % 4 == 3) {
            const int index = 0;
            report('d', session.recordCount()); // a rewrite begins
            session.deleteRecords(std::span(&index, 1));
            report('D', session.recordCount());
            continue;
        }
        while (!scheduler.consumeIfDue(PollingEngine::now()))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const SampleOutcome outcome = session.sample(PollingEngine::now());
        if (outcome.kind == SampleOutcome::Kind::appended)
            report('A', outcome.totalCount);
    }
}
