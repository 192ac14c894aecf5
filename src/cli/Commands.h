#pragma once
// The subcommands of gleaner-cli. Each takes the arguments after its name and returns the exit status.

#include <string>
#include <vector>

namespace gleaner {

class BrowserPane;

namespace cli {

using Args = std::vector<std::string>;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // the run stopped or was refused, a rule did not compile, nothing received
inline constexpr int kExitUsage = 2;  // bad usage, or a mode this program cannot serve

/// `run [--dir DIR]`. pane: the browser for the browser modes; null when this program has none.
int RunCommand(const Args& args, BrowserPane* pane);
/// True when `run` with these arguments needs the hidden browser: --publish, or [模拟人工] 1 or 2.
bool RunNeedsBrowser(const Args& args);
/// `match [--dir DIR] (--rule KEY | --pattern P) PAGE_FILE`.
int MatchCommand(const Args& args);
/// `get URL`.
int GetCommand(const Args& args);

extern const char* const kRunHelp;
extern const char* const kMatchHelp;
extern const char* const kGetHelp;

} // namespace cli
} // namespace gleaner
