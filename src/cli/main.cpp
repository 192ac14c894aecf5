// gleaner-cli: the collection engine without a window.

#include "cli/CliSupport.h"
#include "cli/Commands.h"

#include "app/OffscreenBrowser.h"
#include "http/CurlHandle.h"

#include <algorithm>

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
        // Publishing logs in through a browser: the pass then runs beside a hidden one.
        if (std::find(args.begin(), args.end(), "--publish") != args.end())
            return gleaner::RunWithOffscreenBrowser(argc, argv,
                                                    [&](gleaner::BrowserPane& pane) { return RunCommand(args, &pane); });
        return RunCommand(args, nullptr); // no browser pane in this build
    }
    if (command == "match")
        return MatchCommand(args);
    if (command == "get")
        return GetCommand(args);
    Complain("unknown command '" + command + "'");
    std::fputs(kHelp, stderr);
    return kExitUsage;
}
