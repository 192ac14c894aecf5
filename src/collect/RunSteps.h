#pragma once
// What both runs share: resolving the context, loading the rules, the status texts, taking a page
// through the browser pane, the row of one match. Internal to src/collect.

#include "collect/Runs.h"
#include "collect/SavedFiles.h"
#include "config/RulesFile.h"
#include "page/RegexObject.h"

#include <vector>

namespace gleaner::detail {

/// The browse modes of [模拟人工].
enum class BrowseMode { Direct, ViaBrowser, ClickNext };
BrowseMode ModeOf(std::int32_t value);

class RunEnv {
public:
    explicit RunEnv(const RunContext& context);

    const RunContext& context;
    CollectionSettings& settings;
    PageAutomation& automation;
    const Clock& clock;
    const RulesFile rules;
    /// The values this run loaded; the shared record may be changed by another run meanwhile.
    CollectionValues loaded;

    // Each load is one read of the rules file, stored in the run's copy and in the shared record.
    std::int32_t LoadInt(std::int32_t CollectionValues::*field, const char* keyUtf8);
    Text LoadText(Text CollectionValues::*field, const char* keyUtf8);
    std::int32_t ReadInt(const char* keyUtf8) const;
    Text ReadText(const char* keyUtf8) const;

    void Status(const Text& status) const;
    /// Status text and the button caption back to "开启采集".
    void End(const Text& status) const;
    /// The unsafe-[目录名] end.
    RunOutcome Refuse() const;
    void Navigate(const Text& address) const;
    /// Wait, bind to the pane, download the address the shown document has.
    Text TakeShown(std::int64_t waitMs) const;
    /// Navigate, then TakeShown.
    Text TakeViaBrowser(const Text& address, std::int64_t waitMs) const;

private:
    RunView* view_;
};

/// FindAll with the runs' defaults; the number of matches. An empty rule matches nothing (it would
/// otherwise match at every position of the page).
int ApplyRule(RegexObject& matcher, const Text& rule, const Text& subject);
/// Groups 1 .. 15 of match n (empty for groups that do not exist or did not take part).
std::vector<Text> MatchGroups(const RegexObject& matcher, int n);

Text PageCountStatus(const Text& page, int count);
Text ContentMismatchStatus(const Text& page);
Text ListMismatchStatus(const Text& page);

} // namespace gleaner::detail
