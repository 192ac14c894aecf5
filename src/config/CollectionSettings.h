#pragma once
// CollectionSettings: the process-wide rules record. Shared by the UI thread and every run, so
// every access goes through the mutex; StopFlag is read at each page step.

#include "text/Text.h"

#include <cstdint>
#include <mutex>

namespace gleaner {

struct CollectionValues {
    std::int32_t TwoLevel = 0;
    std::int32_t StartPage = 0;
    std::int32_t EndPage = 0;
    Text UrlSuffix;
    Text UrlPrefix;
    Text ListRule;
    Text ContentRule;
    Text FolderName;
    std::int32_t DelaySeconds = 0;
    std::int32_t BrowseMode = 0;
    std::int32_t ReadPictures = 0;
    Text StopFlag; // empty until the first click, then "开" or "关"
    std::int32_t RepeatHours = 0;
};

class CollectionSettings {
public:
    /// A copy of every field.
    CollectionValues Get() const;
    /// Changes fields under the lock: settings.Modify([&](CollectionValues& v) { v.StartPage = 3; });
    template <class F> void Modify(F&& change) {
        std::lock_guard<std::mutex> lock(mutex_);
        change(values_);
    }
    Text StopFlag() const;
    void SetStopFlag(const Text& flag);
    /// True when StopFlag equals "关".
    bool StopRequested() const;
    /// Back to all zero / empty.
    void Reset();

private:
    mutable std::mutex mutex_;
    CollectionValues values_;
};

/// The one process-wide record.
CollectionSettings& ProcessSettings();

} // namespace gleaner
