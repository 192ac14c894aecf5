#include "text/Charset.h"

#include <iconv.h>

#include <cerrno>

namespace gleaner {

bool ConvertCharset(const std::string& fromCharset, const std::string& toCharset, std::string_view in,
                    std::string& out) {
    out.clear();
    iconv_t cd = iconv_open(toCharset.c_str(), fromCharset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    char* ip = const_cast<char*>(in.data());
    std::size_t il = in.size();
    bool ok = true;
    while (il > 0) {
        char buffer[4096];
        char* op = buffer;
        std::size_t ol = sizeof buffer;
        const std::size_t r = iconv(cd, &ip, &il, &op, &ol);
        out.append(buffer, sizeof buffer - ol);
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    return ok;
}

} // namespace gleaner
