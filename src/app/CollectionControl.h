#pragma once
// Collection control: the click of the start/stop button "采集" and the monitoring timer "时钟1".

#include "collect/Runs.h"
#include "config/CollectionSettings.h"

#include <cstdint>
#include <functional>
#include <string>

class QAbstractButton;
class QLabel;
class QTimer;

namespace gleaner {

/// The period rules of the monitoring timer over a QTimer. The period is in milliseconds, 0 means
/// stopped; it starts at 0.
class MonitorTimer {
public:
    explicit MonitorTimer(QTimer& timer);
    /// RepeatHours x 3,600,000 ms. Hours of 597 or more do not fit a 32-bit count and give the longest
    /// period that does (INT32_MAX); zero or negative hours give 0.
    static std::int32_t PeriodForHours(std::int32_t hours);
    /// A negative period counts as 0. An equal period changes nothing (the countdown keeps its phase)
    /// and gives false; any other period cancels the countdown, starts a new one when above 0, and
    /// gives true.
    bool SetPeriod(std::int32_t milliseconds);
    std::int32_t Period() const { return period_; }

private:
    QTimer& timer_;
    std::int32_t period_ = 0;
};

/// Starts a run of the chosen kind and returns at once (StartRun, or a test's recorder).
using RunStarter = std::function<void(bool twoLevel, RunContext context)>;

class CollectionControl {
public:
    /// context: what every run gets (program folder, settings, results, view, pane, ...).
    CollectionControl(RunContext context, QTimer& timer);

    /// The click of "采集": StopFlag, caption and status, the two keys of the rules file, a run,
    /// and with the monitoring box ticked the timer's period.
    void Click(QAbstractButton& button, QLabel& status, bool monitorTicked);
    /// The timer's tick: a run of the kind of the last click; reads nothing, changes nothing.
    void Tick();

    void SetRunStarter(RunStarter starter) { starter_ = std::move(starter); }
    RunContext& Context() { return context_; }
    MonitorTimer& Monitor() { return monitor_; }

private:
    void Start(bool twoLevel);

    RunContext context_;
    MonitorTimer monitor_;
    RunStarter starter_;
};

} // namespace gleaner
