#include "cli/CliSupport.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace gleaner::cli {

std::optional<std::string> OptionValue(const Args& args, std::size_t& i, const std::string& name, bool& missing) {
    const std::string& arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size()) {
            missing = true;
            ++i;
            return std::string();
        }
        i += 2;
        return args[i - 1];
    }
    if (arg.rfind(name + "=", 0) == 0) {
        ++i;
        return arg.substr(name.size() + 1);
    }
    return std::nullopt;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

void Complain(const std::string& message) {
    std::fprintf(stderr, "gleaner-cli: %s\n", message.c_str());
    std::fflush(stderr);
}

int UsageError(const std::string& message, const char* subcommand) {
    Complain(message);
    std::fprintf(stderr, "Try 'gleaner-cli %s --help'.\n", subcommand);
    return kExitUsage;
}

std::string ExecutableFolder() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace gleaner::cli
