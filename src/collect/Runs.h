#pragma once
// The two collection runs and StartRun. A run talks to the outside only through these ports.

#include "collect/Clock.h"
#include "collect/PictureReader.h"
#include "collect/ResultList.h"
#include "collect/RunView.h"
#include "config/CollectionSettings.h"
#include "page/BrowserPane.h"
#include "page/PageAutomation.h"

#include <cstdint>
#include <string>

namespace gleaner {

struct RunContext {
    std::string programDir;            // UTF-8 path: the rules file and every written file go through it
    std::string workingDir;            // where folders are created; empty: the process's current directory
    CollectionSettings* settings = nullptr; // null: ProcessSettings()
    ResultList* results = nullptr;     // required: a run without a list does nothing
    RunView* view = nullptr;           // null: nothing is shown
    BrowserPane* pane = nullptr;       // may be null in Direct mode
    PageAutomation* automation = nullptr; // null: ProcessPageAutomation()
    PictureReader* pictures = nullptr; // null: no reader available (each picture shows "识别库加载失败")
    const Clock* clock = nullptr;      // null: CurrentClock()
};

/// How a run ended.
enum class RunOutcome {
    Completed, // all page steps done, end backup made, "采集保存完毕"
    Stopped,   // StopFlag "关" seen at a page step, "采集已停止"
    Refused,   // nothing collected: an unsafe [目录名], or no result list
};

/// The single-level run on the calling thread: each list page's ContentRule matches become rows.
RunOutcome RunSingleLevel(const RunContext& context);
/// The two-level run on the calling thread: ListRule group 1 on each list page names content pages,
/// whose ContentRule matches become rows.
RunOutcome RunTwoLevel(const RunContext& context);
/// Starts RunTwoLevel (twoLevel) or RunSingleLevel on a new detached thread and returns at once.
void StartRun(bool twoLevel, RunContext context);

/// The runs' fixed wait. A worker thread has no messages to pump, so this sleeps in short slices
/// until the time is up; 0 or less returns at once.
void WaitPumping(std::int64_t milliseconds);

} // namespace gleaner
