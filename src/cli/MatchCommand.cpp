// `gleaner-cli match`: a rule or a pattern applied to a saved page, as the runs apply it.

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/Json.h"

#include "config/FileIo.h"
#include "config/RulesFile.h"
#include "page/RegexObject.h"

#include <cstdio>

namespace gleaner::cli {

const char* const kMatchHelp =
    "Usage: gleaner-cli match [--dir DIR] (--rule KEY | --pattern P) PAGE_FILE\n"
    "\n"
    "Applies a regular expression to a saved page (its bytes up to the first zero byte, as downloaded)\n"
    "with the options the runs use (ignore case, multi-line, every match). The expression is the value\n"
    "of the key KEY (e.g. 内容页面规则) in DIR/采集配置.txt (DIR: default the current directory), or the\n"
    "pattern P given on the command line (UTF-8).\n"
    "\n"
    "Prints one JSON array per match: the whole match, then groups 1 .. n (n: the pattern's group\n"
    "count; \"\" for a group that did not take part).\n"
    "\n"
    "Exit status: 0 the expression was applied (also with no match), 1 the page could not be read,\n"
    "the rule is missing or empty, or the expression does not compile; 2 bad usage.\n";

int MatchCommand(const Args& args) {
    std::string dir = ".";
    std::optional<std::string> rule, pattern, pageFile;
    for (std::size_t i = 0; i < args.size();) {
        if (IsHelp(args[i])) {
            std::fputs(kMatchHelp, stdout);
            return kExitOk;
        }
        bool missing = false;
        if (auto value = OptionValue(args, i, "--dir", missing)) {
            if (missing || value->empty())
                return UsageError("--dir needs a folder", "match");
            dir = *value;
        } else if (auto value = OptionValue(args, i, "--rule", missing)) {
            if (missing || value->empty())
                return UsageError("--rule needs a key", "match");
            rule = *value;
        } else if (auto value = OptionValue(args, i, "--pattern", missing)) {
            if (missing)
                return UsageError("--pattern needs a pattern", "match");
            pattern = *value;
        } else if (args[i].size() > 1 && args[i][0] == '-' && !pageFile) {
            return UsageError("unknown option '" + args[i] + "'", "match");
        } else if (!pageFile) {
            pageFile = args[i++];
        } else {
            return UsageError("unexpected argument '" + args[i] + "'", "match");
        }
    }
    if (rule.has_value() == pattern.has_value())
        return UsageError("give exactly one of --rule KEY and --pattern P", "match");
    if (!pageFile)
        return UsageError("no PAGE_FILE given", "match");

    Text expression;
    if (rule) {
        const RulesFile rules(dir);
        expression = rules.ReadRuleText(FromUtf8(*rule));
        if (expression.empty()) {
            Complain("no rule [" + *rule + "] in " + rules.Path());
            return kExitFailed;
        }
    } else {
        expression = FromUtf8(*pattern);
        if (expression.empty()) {
            Complain("an empty pattern matches nothing in a run");
            return kExitFailed;
        }
    }

    Bytes bytes;
    if (!ReadWholeFile(*pageFile, bytes)) {
        Complain("cannot read " + *pageFile);
        return kExitFailed;
    }

    RegexObject matcher;
    if (!matcher.FindAll(expression, CutAtZero(bytes))) {
        Complain("the expression gives no match set: " + ToUtf8(matcher.ErrorText()));
        return kExitFailed;
    }
    const int groups = matcher.SubMatchCount();
    for (int n = 1; n <= matcher.MatchCount(); ++n) {
        std::vector<Text> cells{matcher.GetMatch(n)};
        for (int m = 1; m <= groups; ++m)
            cells.push_back(matcher.GetSubMatch(n, m));
        const std::string line = JsonArray(cells) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    std::fflush(stdout);
    return kExitOk;
}

} // namespace gleaner::cli
