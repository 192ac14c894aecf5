// The collection rules file, read afresh for every key so a saved edit reaches the next read.

#include "config/RulesFile.h"

#include "config/FileIo.h"
#include "config/TaggedText.h"

namespace gleaner {

RulesFile::RulesFile(std::string programDir) : path_(JoinPath(programDir, "采集配置.txt")) {}

Text RulesFile::ReadRuleText(std::string_view key) const { return ReadTaggedField(path_, key); }

std::int32_t RulesFile::ReadRuleInt(std::string_view key) const { return TextToInt(ReadRuleText(key)); }

std::int64_t PageStepCount(std::int32_t startPage, std::int32_t endPage) {
    return static_cast<std::int64_t>(endPage) - static_cast<std::int64_t>(startPage);
}

Text PageNumberText(std::int32_t startPage, std::int64_t step) {
    return NumberText(static_cast<long long>(startPage) + static_cast<long long>(step) - 1);
}

std::int64_t WaitMilliseconds(std::int32_t delaySeconds) {
    return delaySeconds <= 0 ? 0 : static_cast<std::int64_t>(delaySeconds) * 1000;
}

} // namespace gleaner
