#pragma once
// The two collection runs and StartRun. A run talks to the outside only through these ports.

#include "collect/Clock.h"
#include "collect/PictureReader.h"
#include "collect/ResultList.h"
#include "collect/RunView.h"
#include "config/CollectionSettings.h"
#include "page/BrowserPane.h"
#include "page/PageAutomation.h"

#include <string>

namespace gleaner {

struct RunContext {
    std::string programDir;            // UTF-8 path: the rules file and every written file go through it
    std::string workingDir;            // where folders are created; empty: the process's current directory
    CollectionSettings* settings = nullptr;
    ResultList* results = nullptr;
    RunView* view = nullptr;
    BrowserPane* pane = nullptr;       // may be null in Direct mode
    PageAutomation* automation = nullptr;
    PictureReader* pictures = nullptr; // may be null when no picture reading is possible
    const Clock* clock = nullptr;      // null: CurrentClock()
};

void RunSingleLevel(const RunContext& context);
void RunTwoLevel(const RunContext& context);
/// Starts RunTwoLevel (twoLevel) or RunSingleLevel on a new detached thread and returns at once.
void StartRun(bool twoLevel, RunContext context);

} // namespace gleaner
