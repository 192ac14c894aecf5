#pragma once
// The four texts the main window is built with, and the addresses the menus open.

#include <QString>

namespace gleaner {

inline QString ProgramTitle() { return QStringLiteral("网页采集器"); }
inline QString VersionText() { return QStringLiteral(GLEANER_VERSION_TEXT); }
inline QString PaneStartAddress() { return QStringLiteral("about:blank"); }
/// Pages of the project's own web site, only ever opened by the user from the menus.
inline QString UpdateLogAddress() { return QStringLiteral("https://gleaner.example.org/changelog.html"); }
inline QString RuleSharingAddress() { return QStringLiteral("https://gleaner.example.org/rules/"); }

} // namespace gleaner
