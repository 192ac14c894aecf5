#pragma once
// Finds and loads the recognition library libvcode.so and its two entry points.

#include "text/Text.h"

#include <mutex>
#include <string>
#include <vector>

namespace gleaner {

class RecognitionLibrary {
public:
    using LoadCdsFunction = int (*)(const char* path, const char* password);
    using ReadFunction = int (*)(int handle, const unsigned char* bytes, int count, char* result);

    /// The program folder's "libvcode.so" first, then the bare name for the system's search order.
    static std::vector<std::string> DefaultCandidates(const std::string& programDir);

    /// `candidates`: UTF-8 paths tried in order; a name without a slash goes through the system's search.
    explicit RecognitionLibrary(std::vector<std::string> candidates);
    RecognitionLibrary(const RecognitionLibrary&) = delete;
    RecognitionLibrary& operator=(const RecognitionLibrary&) = delete;

    /// Loads the library at the first call (once, safe from several threads); true when both
    /// entry points were found. A library once loaded stays loaded until the process ends.
    bool Load();
    /// After a failed Load: why, in the program's code page (which files were tried, which entry
    /// point is missing). Empty after a successful one.
    const Text& Failure() const { return failure_; }

    LoadCdsFunction LoadCds() const { return loadCds_; }
    ReadFunction Read() const { return read_; }

private:
    void LoadNow();

    std::vector<std::string> candidates_;
    std::once_flag once_;
    bool loaded_ = false;
    Text failure_;
    LoadCdsFunction loadCds_ = nullptr;
    ReadFunction read_ = nullptr;
};

} // namespace gleaner
