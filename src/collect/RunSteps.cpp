// The steps both collection runs share.

#include "collect/RunSteps.h"

#include "http/HttpRequest.h"

#include <chrono>
#include <thread>

namespace gleaner {

void WaitPumping(std::int64_t milliseconds) {
    if (milliseconds <= 0)
        return;
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto now = steady_clock::now();
        if (now >= deadline)
            return;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(deadline - now, std::chrono::milliseconds(50)));
    }
}

namespace detail {

BrowseMode ModeOf(std::int32_t value) {
    if (value == 1)
        return BrowseMode::ViaBrowser;
    if (value == 2)
        return BrowseMode::ClickNext;
    return BrowseMode::Direct;
}

RunEnv::RunEnv(const RunContext& c)
    : context(c), settings(c.settings ? *c.settings : ProcessSettings()),
      automation(c.automation ? *c.automation : ProcessPageAutomation()),
      clock(c.clock ? *c.clock : CurrentClock()), rules(c.programDir), view_(c.view) {}

std::int32_t RunEnv::LoadInt(std::int32_t CollectionValues::*field, const char* keyUtf8) {
    const std::int32_t value = ReadInt(keyUtf8);
    loaded.*field = value;
    settings.Modify([&](CollectionValues& v) { v.*field = value; });
    return value;
}

Text RunEnv::LoadText(Text CollectionValues::*field, const char* keyUtf8) {
    const Text value = ReadText(keyUtf8);
    loaded.*field = value;
    settings.Modify([&](CollectionValues& v) { v.*field = value; });
    return value;
}

std::int32_t RunEnv::ReadInt(const char* keyUtf8) const { return rules.ReadRuleInt(FromUtf8(keyUtf8)); }
Text RunEnv::ReadText(const char* keyUtf8) const { return rules.ReadRuleText(FromUtf8(keyUtf8)); }

void RunEnv::Status(const Text& status) const {
    if (view_)
        view_->SetStatus(status);
}

void RunEnv::End(const Text& status) const {
    Status(status);
    if (view_)
        view_->SetButtonCaption("开启采集"_t);
}

RunOutcome RunEnv::Refuse() const {
    End("目录名不合法，采集已停止"_t);
    return RunOutcome::Refused;
}

void RunEnv::Navigate(const Text& address) const {
    if (context.pane)
        context.pane->Navigate(address);
}

Text RunEnv::TakeShown(std::int64_t waitMs) const {
    WaitPumping(waitMs);
    automation.BindToWindow(context.pane);
    return HttpGetText(automation.GetLocation());
}

Text RunEnv::TakeViaBrowser(const Text& address, std::int64_t waitMs) const {
    Navigate(address);
    return TakeShown(waitMs);
}

int ApplyRule(RegexObject& matcher, const Text& rule, const Text& subject) {
    if (rule.empty())
        return 0;
    matcher.FindAll(rule, subject);
    return matcher.MatchCount();
}

std::vector<Text> MatchGroups(const RegexObject& matcher, int n) {
    std::vector<Text> groups;
    groups.reserve(ResultList::ColumnCount - 1);
    for (int c = 1; c < ResultList::ColumnCount; ++c)
        groups.push_back(matcher.GetSubMatch(n, c));
    return groups;
}

Text PageCountStatus(const Text& page, int count) {
    return "当前页"_t + page + "采集内容数量"_t + NumberText(count);
}
Text ContentMismatchStatus(const Text& page) { return "当前页"_t + page + "正则内容页匹配错误,请重新匹配"_t; }
Text ListMismatchStatus(const Text& page) { return "当前页"_t + page + "正则列表页匹配错误,请重新匹配"_t; }

} // namespace detail
} // namespace gleaner
