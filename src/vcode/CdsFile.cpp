#include "vcode/CdsFile.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <optional>

namespace gleaner::vcode {
namespace {

// Converts with iconv, skipping input that does not convert byte by byte.
std::string Convert(std::string_view in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    std::string out;
    char buffer[1024];
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ++src; // an invalid or cut sequence: drop one byte and go on
            --left;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

std::string_view TrimWhite(std::string_view s) {
    const auto white = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && white(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && white(s.back()))
        s.remove_suffix(1);
    return s;
}

// The value between "[key]" and the next "[/key]"; nullopt when either is missing.
std::optional<std::string_view> Field(std::string_view text, const std::string& key) {
    const std::string open = "[" + key + "]";
    const std::string close = "[/" + key + "]";
    const std::size_t start = text.find(open);
    if (start == std::string_view::npos)
        return std::nullopt;
    const std::size_t valueStart = start + open.size();
    const std::size_t end = text.find(close, valueStart);
    if (end == std::string_view::npos)
        return std::nullopt;
    return text.substr(valueStart, end - valueStart);
}

// An optional whole number within [low, high]; an absent or blank field gives `fallback`.
bool Number(std::optional<std::string_view> field, int low, int high, int fallback, int& out) {
    out = fallback;
    if (!field)
        return true;
    const std::string_view s = TrimWhite(*field);
    if (s.empty())
        return true;
    int value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || value < low || value > high)
        return false;
    out = value;
    return true;
}

bool ValidLanguage(std::string_view s) {
    if (s.empty() || s.size() > 200)
        return false;
    for (const char c : s) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '+' || c == '-';
        if (!ok)
            return false;
    }
    return s.front() != '+' && s.back() != '+';
}

} // namespace

std::string Utf8ToCodepage(std::string_view utf8) { return Convert(utf8, "GB18030", "UTF-8"); }
std::string CodepageToUtf8(std::string_view text) { return Convert(text, "UTF-8", "GB18030"); }

bool ParseCds(std::string_view bytes, CdsSettings& out) {
    static const std::string_view bom = "\xEF\xBB\xBF";
    bool utf8 = false;
    if (bytes.substr(0, bom.size()) == bom) {
        bytes.remove_prefix(bom.size());
        utf8 = true;
    } else if (bytes.find("[语言]") != std::string_view::npos) {
        utf8 = true;
    }
    const auto key = [utf8](const char* name) { return utf8 ? std::string(name) : Utf8ToCodepage(name); };
    const auto toUtf8 = [utf8](std::string_view s) { return utf8 ? std::string(s) : CodepageToUtf8(s); };

    CdsSettings s;
    const auto language = Field(bytes, key("语言"));
    if (!language)
        return false;
    s.language = std::string(TrimWhite(*language));
    if (!ValidLanguage(s.language))
        return false;

    if (const auto allowed = Field(bytes, key("字符"))) {
        for (const char c : toUtf8(*allowed))
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                s.allowedUtf8.push_back(c);
    }
    if (!Number(Field(bytes, key("模式")), 1, 13, 7, s.pageMode) || s.pageMode == 2)
        return false; // 0 and 2 only analyse the layout and never give text
    if (const auto password = Field(bytes, key("密码")))
        s.password = std::string(*password);
    if (!Number(Field(bytes, key("放大")), 0, 8, 0, s.scale))
        return false;
    if (!Number(Field(bytes, key("阈值")), -1, 255, 0, s.threshold))
        return false;
    out = std::move(s);
    return true;
}

} // namespace gleaner::vcode
