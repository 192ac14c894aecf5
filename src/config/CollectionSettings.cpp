#include "config/CollectionSettings.h"

namespace gleaner {

CollectionValues CollectionSettings::Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_;
}

Text CollectionSettings::StopFlag() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_.StopFlag;
}

void CollectionSettings::SetStopFlag(const Text& flag) {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.StopFlag = flag;
}

bool CollectionSettings::StopRequested() const {
    static const Text stop = "关"_t;
    std::lock_guard<std::mutex> lock(mutex_);
    return values_.StopFlag == stop;
}

void CollectionSettings::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    values_ = CollectionValues{};
}

CollectionSettings& ProcessSettings() {
    static CollectionSettings settings;
    return settings;
}

} // namespace gleaner
