// The exported entry points and the registry of loaded recognition files.

#include "vcode/VcodeApi.h"

#include "vcode/CdsFile.h"
#include "vcode/Recognizer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

namespace gleaner::vcode {
namespace {

constexpr off_t kMaxCdsBytes = 1 << 20;

// A file is "the same" while its path, size, modification time and the password stay the same;
// loading Tesseract again for every picture would exhaust memory.
using FileKey = std::tuple<std::string, dev_t, ino_t, off_t, long long, long long, std::string>;

struct Registry {
    std::mutex mutex;
    std::vector<std::unique_ptr<Recognizer>> recognizers; // handle h is recognizers[h - 1]; never removed
    std::map<FileKey, int> handles;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry; // never destroyed: other threads may still read at exit
    return *registry;
}

// The engines live as long as the process (their handles stay valid); at exit Tesseract's caches
// would report them as leaks on stderr.
void QuietAtExit() {
    Registry& registry = TheRegistry();
    std::unique_lock lock(registry.mutex, std::try_to_lock); // a load still going at exit keeps its lock
    if (lock.owns_lock() && !registry.recognizers.empty())
        registry.recognizers.front()->QuietTesseract();
}

bool ReadAll(int fd, off_t size, std::string& out) {
    out.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int Load(const char* path, const char* password) {
    if (path == nullptr || *path == '\0')
        return -1;
    const std::string given = password != nullptr ? password : "";
    char canonical[PATH_MAX];
    if (::realpath(path, canonical) == nullptr)
        return -1;
    const int fd = ::open(canonical, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    std::string bytes;
    const bool read = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
                      st.st_size <= kMaxCdsBytes && ReadAll(fd, st.st_size, bytes);
    ::close(fd);
    if (!read)
        return -1;

    const FileKey key{canonical, st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec, given};
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (const auto found = registry.handles.find(key); found != registry.handles.end())
        return found->second;

    CdsSettings settings;
    if (!ParseCds(bytes, settings) || settings.password != given)
        return -1;
    auto recognizer = std::make_unique<Recognizer>();
    if (!recognizer->Start(settings))
        return -1;
    if (registry.recognizers.empty())
        std::atexit(QuietAtExit); // registered after Tesseract's caches, so it runs before they go
    registry.recognizers.push_back(std::move(recognizer));
    const int handle = static_cast<int>(registry.recognizers.size());
    registry.handles.emplace(key, handle);
    return handle;
}

Recognizer* Find(int handle) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (handle < 1 || static_cast<std::size_t>(handle) > registry.recognizers.size())
        return nullptr;
    return registry.recognizers[static_cast<std::size_t>(handle) - 1].get();
}

} // namespace
} // namespace gleaner::vcode

extern "C" int LoadCdsFromFile(const char* path, const char* password) {
    try {
        return gleaner::vcode::Load(path, password);
    } catch (...) {
        return -1; // nothing may unwind into a C caller
    }
}

extern "C" int GetVcodeFromBuffer(int handle, const unsigned char* bytes, int count, char* result) {
    try {
        if (result == nullptr || count <= 0 || bytes == nullptr)
            return -1;
        gleaner::vcode::Recognizer* recognizer = gleaner::vcode::Find(handle);
        if (recognizer == nullptr)
            return -1;
        const std::string text = recognizer->Read(bytes, static_cast<std::size_t>(count));
        if (text.empty())
            return 0; // nothing recognised: the caller's buffer stays as it was
        std::memcpy(result, text.data(), text.size());
        result[text.size()] = '\0';
        return static_cast<int>(text.size());
    } catch (...) {
        return -1;
    }
}
