#include "collect/RecognitionLibrary.h"

#include <dlfcn.h>

namespace gleaner {

std::vector<std::string> RecognitionLibrary::DefaultCandidates(const std::string& programDir) {
    std::vector<std::string> candidates;
    if (!programDir.empty())
        candidates.push_back(programDir + (programDir.back() == '/' ? "" : "/") + "libvcode.so");
    candidates.push_back("libvcode.so");
    return candidates;
}

RecognitionLibrary::RecognitionLibrary(std::vector<std::string> candidates) : candidates_(std::move(candidates)) {}

bool RecognitionLibrary::Load() {
    std::call_once(once_, [this] { LoadNow(); });
    return loaded_;
}

void RecognitionLibrary::LoadNow() {
    std::string tried;
    for (const std::string& candidate : candidates_) {
        dlerror();
        // Never closed: handles the library gave out stay usable for the life of the process.
        void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (library == nullptr) {
            const char* why = dlerror();
            tried += "\n" + std::string(why != nullptr ? why : candidate);
            continue;
        }
        loadCds_ = reinterpret_cast<LoadCdsFunction>(dlsym(library, "LoadCdsFromFile"));
        read_ = reinterpret_cast<ReadFunction>(dlsym(library, "GetVcodeFromBuffer"));
        if (loadCds_ != nullptr && read_ != nullptr) {
            loaded_ = true;
            return;
        }
        const char* missing = loadCds_ == nullptr ? "LoadCdsFromFile" : "GetVcodeFromBuffer";
        loadCds_ = nullptr;
        read_ = nullptr;
        failure_ = "识别库缺少函数 "_t + missing + "："_t + FromUtf8(candidate);
        return;
    }
    failure_ = "找不到识别库 libvcode.so"_t + FromUtf8(tried);
}

} // namespace gleaner
