#pragma once
// Local time, injectable so tests can fix "now".

namespace gleaner {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime Now() const = 0;
};

/// The system's local time.
class SystemClock final : public Clock {
public:
    LocalTime Now() const override;
};

/// The process-wide clock (the system clock unless a test installed another).
const Clock& CurrentClock();
void SetCurrentClock(const Clock* clock); // null restores the system clock

} // namespace gleaner
