// The compound document container through libgsf, on a temporary sibling of the target file.

#include "output/OleFile.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace gleaner {
namespace {

std::atomic<unsigned> tempCounter{0};

Text Reason(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return "文件夹不存在"_t;
    case EACCES:
    case EPERM:
        return "没有写入权限"_t;
    case EROFS:
        return "文件系统只读"_t;
    case ENOSPC:
    case EDQUOT:
        return "磁盘空间不足"_t;
    case EISDIR:
        return "同名的文件夹已存在"_t;
    default:
        return FromUtf8(std::strerror(err));
    }
}

Text CannotWrite(const std::string& path, const Text& reason) {
    return "无法写入文件 "_t + FromUtf8(path) + "："_t + reason;
}

// The last error of a gsf output, or the errno seen when it failed.
Text GsfReason(GsfOutput* output, int savedErrno) {
    if (savedErrno != 0)
        return Reason(savedErrno);
    const GError* e = output ? gsf_output_error(output) : nullptr;
    return e && e->message ? FromUtf8(e->message) : "写入失败"_t;
}

void InitGsfOnce() {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

// Owns one reference to a GObject.
template <typename T> struct GRef {
    T* p = nullptr;
    GRef() = default;
    explicit GRef(T* q) : p(q) {}
    ~GRef() {
        if (p)
            g_object_unref(p);
    }
    GRef(const GRef&) = delete;
    GRef& operator=(const GRef&) = delete;
};

} // namespace

bool WriteOleFile(const std::string& path, const char* streamName,
                  const std::function<bool(const OleStreamSink&)>& fill, Text& error) {
    error.clear();
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        error = path.empty() ? "没有指定文件名"_t : CannotWrite(path, "没有文件名"_t);
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error = CannotWrite(path, Reason(EISDIR));
        return false;
    }

    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp =
            folder + "." + name + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(tempCounter.fetch_add(1));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        error = CannotWrite(path, Reason(errno));
        return false;
    }
    FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        error = CannotWrite(path, Reason(err));
        return false;
    }

    InitGsfOnce();
    bool ok = true;
    int failErrno = 0;
    Text failReason;
    {
        GRef<GsfOutput> sink(gsf_output_stdio_new_FILE(temp.c_str(), file, TRUE));
        if (!sink.p) {
            failReason = "写入失败"_t;
            ok = false;
        }
        if (ok) {
            GRef<GsfOutfile> ole(gsf_outfile_msole_new(sink.p));
            GRef<GsfOutput> stream(ole.p ? gsf_outfile_new_child(ole.p, streamName, FALSE) : nullptr);
            if (!stream.p) {
                failReason = GsfReason(ole.p ? GSF_OUTPUT(ole.p) : sink.p, 0);
                ok = false;
            } else {
                const OleStreamSink write = [&](std::string_view bytes) {
                    errno = 0;
                    if (bytes.empty() ||
                        gsf_output_write(stream.p, bytes.size(), reinterpret_cast<const guint8*>(bytes.data())))
                        return true;
                    failErrno = errno;
                    failReason = GsfReason(stream.p, failErrno);
                    return false;
                };
                ok = fill(write);
                // Closing the stream and the container writes the directory and allocation tables.
                errno = 0;
                if (!gsf_output_close(stream.p) && ok) {
                    failReason = GsfReason(stream.p, errno);
                    ok = false;
                }
                errno = 0;
                if (!gsf_output_close(GSF_OUTPUT(ole.p)) && ok) {
                    failReason = GsfReason(GSF_OUTPUT(ole.p), errno);
                    ok = false;
                }
            }
            errno = 0;
            if (!gsf_output_is_closed(sink.p) && !gsf_output_close(sink.p) && ok) {
                failReason = GsfReason(sink.p, errno);
                ok = false;
            }
        }
    }
    // The container is complete only once it is on the disk; then it may replace the target.
    if (ok && (std::fflush(file) != 0 || ::fsync(::fileno(file)) != 0)) {
        failReason = Reason(errno);
        ok = false;
    }
    if (std::fclose(file) != 0 && ok) {
        failReason = Reason(errno);
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        failReason = Reason(errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        error = CannotWrite(path, failReason.empty() ? "写入失败"_t : failReason);
    }
    return ok;
}

} // namespace gleaner
