#include "collect/Clock.h"

#include <atomic>
#include <ctime>

namespace gleaner {

LocalTime SystemClock::Now() const {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

namespace {
const SystemClock kSystemClock;
std::atomic<const Clock*> gClock{nullptr};
} // namespace

const Clock& CurrentClock() {
    const Clock* c = gClock.load();
    return c ? *c : kSystemClock;
}

void SetCurrentClock(const Clock* clock) { gClock.store(clock); }

} // namespace gleaner
