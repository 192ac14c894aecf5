// StartRun: a run on a thread of its own, started and forgotten.

#include "collect/Runs.h"

#include <system_error>
#include <thread>

namespace gleaner {

void StartRun(bool twoLevel, RunContext context) {
    // The context holds pointers to process-lived objects and copies of the paths.
    try {
        std::thread([twoLevel, context = std::move(context)] {
            if (twoLevel)
                RunTwoLevel(context);
            else
                RunSingleLevel(context);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: nothing starts, as a click that started nothing.
    }
}

} // namespace gleaner
