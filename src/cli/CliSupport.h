#pragma once
// What the subcommands share: option parsing and messages on stderr.

#include "cli/Commands.h"

#include <optional>
#include <string>

namespace gleaner::cli {

/// Reads "--name VALUE" or "--name=VALUE" at args[i]; advances i past what it took. nullopt
/// when args[i] is not that option; an option without its value sets `missing`.
std::optional<std::string> OptionValue(const Args& args, std::size_t& i, const std::string& name, bool& missing);
bool IsHelp(const std::string& arg);
/// "gleaner-cli: " + message, one line on stderr.
void Complain(const std::string& message);
/// A usage error: the message, then a pointer to the subcommand's help; returns kExitUsage.
int UsageError(const std::string& message, const char* subcommand);
/// The folder of the running executable (UTF-8); empty when unknown.
std::string ExecutableFolder();
bool IsFolder(const std::string& path);

} // namespace gleaner::cli
