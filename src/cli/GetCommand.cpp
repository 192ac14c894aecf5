// `gleaner-cli get`: one page as the runs download it.

#include "cli/CliSupport.h"
#include "cli/Commands.h"

#include "http/HttpRequest.h"

#include <cstdio>

namespace gleaner::cli {

const char* const kGetHelp =
    "Usage: gleaner-cli get URL\n"
    "\n"
    "Downloads URL as the runs do (GET through the cookie store, redirects followed) and writes the\n"
    "body to stdout as received, up to its first zero byte.\n"
    "\n"
    "Exit status: 0 a body was received, 1 nothing was (any failure gives an empty body), 2 bad usage.\n";

int GetCommand(const Args& args) {
    if (args.size() == 1 && IsHelp(args[0])) {
        std::fputs(kGetHelp, stdout);
        return kExitOk;
    }
    if (args.size() != 1 || args[0].empty())
        return UsageError("give exactly one URL", "get");
    const Text body = HttpGetText(FromUtf8(args[0]));
    if (body.empty()) {
        Complain("nothing received from " + args[0]);
        return kExitFailed;
    }
    std::fwrite(body.data(), 1, body.size(), stdout);
    std::fflush(stdout);
    return kExitOk;
}

} // namespace gleaner::cli
