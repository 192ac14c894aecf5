#pragma once
// The collection rules file "采集配置.txt" in the program folder, read afresh key by key.

#include "text/Text.h"

#include <cstdint>
#include <string>

namespace gleaner {

class RulesFile {
public:
    /// programDir: the program folder (UTF-8 path).
    explicit RulesFile(std::string programDir);
    /// The file's path: programDir + "/采集配置.txt".
    const std::string& Path() const { return path_; }
    /// The value of a key (code-page text, e.g. "起始页"_t); empty when missing.
    Text ReadRuleText(std::string_view key) const;
    /// TextToInt of ReadRuleText.
    std::int32_t ReadRuleInt(std::string_view key) const;

private:
    std::string path_;
};

// Derived values the runs use.
/// EndPage - StartPage without overflow; below 1 means no page step.
std::int64_t PageStepCount(std::int32_t startPage, std::int32_t endPage);
/// The decimal page number of 1-based step i.
Text PageNumberText(std::int32_t startPage, std::int64_t step);
/// DelaySeconds x 1000 ms (0 or less: no wait).
std::int64_t WaitMilliseconds(std::int32_t delaySeconds);

} // namespace gleaner
