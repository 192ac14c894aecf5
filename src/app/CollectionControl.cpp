#include "app/CollectionControl.h"

#include "config/RulesFile.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTimer>

#include <cmath>
#include <limits>

namespace gleaner {
namespace {

constexpr double MillisecondsPerHour = 3'600'000.0;

} // namespace

MonitorTimer::MonitorTimer(QTimer& timer) : timer_(timer) { timer_.setSingleShot(false); }

std::int32_t MonitorTimer::PeriodForHours(std::int32_t hours) {
    // Below 0 the low 32 bits of the product would wrap round to a positive period for large
    // magnitudes; a negative count of hours means "no monitoring" whatever its size.
    if (hours <= 0)
        return 0;
    const double product = static_cast<double>(hours) * MillisecondsPerHour;
    if (product > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(static_cast<std::int64_t>(std::trunc(product)));
}

bool MonitorTimer::SetPeriod(std::int32_t milliseconds) {
    if (milliseconds < 0)
        milliseconds = 0;
    if (milliseconds == period_)
        return false;
    period_ = milliseconds;
    timer_.stop();
    if (period_ > 0) {
        timer_.setInterval(period_);
        timer_.start();
    }
    return true;
}

CollectionControl::CollectionControl(RunContext context, QTimer& timer)
    : context_(std::move(context)), monitor_(timer), starter_(&StartRun) {}

void CollectionControl::Click(QAbstractButton& button, QLabel& status, bool monitorTicked) {
    CollectionSettings& settings = *context_.settings;
    settings.SetStopFlag("开"_t);
    if (button.text() == QStringLiteral("开启采集")) {
        button.setText(QStringLiteral("停止采集"));
        status.setText(QStringLiteral("正在采集中，请等待……"));
    } else {
        settings.SetStopFlag("关"_t);
    }

    const RulesFile rules(context_.programDir);
    const std::int32_t twoLevel = rules.ReadRuleInt("采集二级页面"_t);
    settings.Modify([&](CollectionValues& v) { v.TwoLevel = twoLevel; });
    const std::int32_t repeatHours = rules.ReadRuleInt("定时时间"_t);
    settings.Modify([&](CollectionValues& v) { v.RepeatHours = repeatHours; });

    Start(twoLevel == 1);

    if (monitorTicked)
        monitor_.SetPeriod(MonitorTimer::PeriodForHours(repeatHours));
}

void CollectionControl::Tick() { Start(context_.settings->Get().TwoLevel == 1); }

void CollectionControl::Start(bool twoLevel) {
    if (starter_)
        starter_(twoLevel, context_);
}

} // namespace gleaner
