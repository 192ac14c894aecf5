// gleaner-cli: the collection engine without a window.

#include "cli/CliSupport.h"
#include "cli/Commands.h"

#include "app/OffscreenBrowser.h"
#include "http/CurlHandle.h"

#include <algorithm>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

const char* const kHelp =
    "Usage: gleaner-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  run [--dir DIR] [--publish]                      collect once with DIR/采集配置.txt\n"
    "  match [--dir DIR] (--rule KEY | --pattern P) PAGE_FILE\n"
    "                                                   apply a rule to a saved page\n"
    "  get URL                                          download a page to stdout\n"
    "\n"
    "'gleaner-cli COMMAND --help' describes one command.\n";

} // namespace

int main(int argc, char** argv) {
    using namespace gleaner::cli;
    // Before any thread starts.
    gleaner::InitCurl();

    if (argc < 2)
        return std::fputs(kHelp, stderr), kExitUsage;
    const std::string command = argv[1];
    const Args args(argv + 2, argv + argc);
    if (IsHelp(command))
        return std::fputs(kHelp, stdout), kExitOk;
    if (command == "run") {
        // Ctrl-C is taken by the run's own watcher thread: block it in every thread, the browser's too,
        // before any of them starts.
        sigset_t interrupts;
        sigemptyset(&interrupts);
        sigaddset(&interrupts, SIGINT);
        sigaddset(&interrupts, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &interrupts, nullptr);
        // The browser modes and publishing take pages through a hidden browser beside the run.
        if (!std::any_of(args.begin(), args.end(), IsHelp) && RunNeedsBrowser(args))
            return gleaner::RunWithOffscreenBrowser(argc, argv,
                                                    [&](gleaner::BrowserPane& pane) { return RunCommand(args, &pane); });
        return RunCommand(args, nullptr);
    }
    if (command == "match")
        return MatchCommand(args);
    if (command == "get")
        return GetCommand(args);
    Complain("unknown command '" + command + "'");
    std::fputs(kHelp, stderr);
    return kExitUsage;
}
