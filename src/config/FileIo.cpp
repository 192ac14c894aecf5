// Whole-file reads and atomic whole-file writes on POSIX descriptors.

#include "config/FileIo.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gleaner {
namespace {

std::atomic<unsigned> tempCounter{0};

bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A fresh sibling of `path` (same folder, so the rename stays on one file system).
int CreateSibling(const std::string& path, std::string& tempPath) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "." + name + ".tmp" + std::to_string(::getpid()) + "_" +
                   std::to_string(tempCounter.fetch_add(1));
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

bool ReadWholeFile(const std::string& path, Bytes& out) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        out.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            out.clear();
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

Text ReadTextFile(const std::string& path) {
    Bytes bytes;
    if (!ReadWholeFile(path, bytes))
        return {};
    return CutAtZero(bytes);
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
    if (path.empty())
        return false;
    std::string tempPath;
    const int fd = CreateSibling(path, tempPath);
    if (fd < 0)
        return false;
    // Keep the mode of the file being replaced.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd, st.st_mode & 07777);
    bool ok = WriteAll(fd, bytes);
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(tempPath.c_str());
    return ok;
}

bool CopyWholeFile(const std::string& from, const std::string& to) {
    Bytes bytes;
    if (!ReadWholeFile(from, bytes))
        return false;
    return WriteWholeFile(to, bytes);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

} // namespace gleaner
