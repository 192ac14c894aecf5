// The tagged text convention: cutting one value out of a settings text, reading numbers, writing
// a whole settings file.

#include "config/TaggedText.h"

#include "config/FileIo.h"

#include <cstdint>
#include <limits>

namespace gleaner {
namespace {

// "#引号" in the code page: callers write it inside markers for a double quote.
constexpr std::string_view kQuoteMarker = "#\xD2\xFD\xBA\xC5";

Text ReplaceQuoteMarker(std::string_view marker) {
    Text out;
    out.reserve(marker.size());
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = marker.find(kQuoteMarker, from);
        if (at == std::string_view::npos)
            break;
        out.append(marker.substr(from, at - from));
        out.push_back('"');
        from = at + kQuoteMarker.size();
    }
    out.append(marker.substr(from));
    return out;
}

inline unsigned char Fold(unsigned char c, bool caseSensitive) {
    return (!caseSensitive && c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// 0-based index of the first occurrence of `what` at or after byte `from`, stepping over two-byte
// characters from there; npos when not found. An empty `what` is found at the very start whenever
// the searched part is not empty.
std::size_t SearchFrom(std::string_view text, std::string_view what, std::size_t from, bool caseSensitive) {
    if (from >= text.size())
        return std::string_view::npos;
    if (what.empty())
        return 0;
    for (std::size_t pos = from; pos < text.size(); pos += StepAt(text, pos)) {
        if (what.size() > text.size() - pos)
            return std::string_view::npos;
        std::size_t k = 0;
        while (k < what.size() && Fold(static_cast<unsigned char>(text[pos + k]), caseSensitive) ==
                                      Fold(static_cast<unsigned char>(what[k]), caseSensitive))
            ++k;
        if (k == what.size())
            return pos;
    }
    return std::string_view::npos;
}

// The ASCII counterpart of a two-byte full-width form (U+FF01..U+FF5E, U+3000), or 0.
char FullWidthToAscii(unsigned char lead, unsigned char trail) {
    if (lead == 0xA1 && trail == 0xA1)
        return ' ';
    if (lead < 0x81 || trail < 0x40)
        return 0;
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    const std::u16string u = ToUtf16(std::string_view(pair, 2));
    if (u.size() == 1 && u[0] >= 0xFF01 && u[0] <= 0xFF5E)
        return static_cast<char>(u[0] - 0xFEE0);
    if (u.size() == 1 && u[0] == 0x3000)
        return ' ';
    return 0;
}

inline bool IsWhite(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

} // namespace

Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker, int startPosition,
                 bool caseSensitive) {
    const Text start = ReplaceQuoteMarker(startMarker);
    const Text end = ReplaceQuoteMarker(endMarker);
    const std::size_t from = startPosition < 2 ? 0 : static_cast<std::size_t>(startPosition) - 1;
    const std::size_t s = SearchFrom(text, start, from, caseSensitive);
    if (s == std::string_view::npos)
        return {};
    const std::size_t p = s + start.size();
    const std::size_t e = SearchFrom(text, end, p, caseSensitive);
    // An empty end marker is "found" at the very start, before p: nothing lies between.
    if (e == std::string_view::npos || e < p)
        return {};
    return Text(text.substr(p, e - p));
}

std::int32_t TextToInt(std::string_view text) {
    // Each character is mapped on the fly to its ASCII form; the scan stops at the first character
    // that ends the number, so a long text costs nothing beyond its leading part.
    enum class Stage { White, Digits };
    Stage stage = Stage::White;
    bool negative = false, any = false;
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t step = StepAt(text, i);
        char c = text[i];
        if (step == 2)
            c = FullWidthToAscii(static_cast<unsigned char>(text[i]), static_cast<unsigned char>(text[i + 1]));
        else if (static_cast<unsigned char>(c) >= 0x80)
            c = 0;
        i += step;
        if (stage == Stage::White) {
            if (IsWhite(c))
                continue;
            stage = Stage::Digits;
            if (c == '+' || c == '-') {
                negative = c == '-';
                continue;
            }
        }
        if (c < '0' || c > '9')
            break;
        any = true;
        value = value * 10 + (c - '0');
        if (value > kLimit)
            value = kLimit; // saturate; further digits cannot bring it back
    }
    if (!any)
        return 0;
    if (negative)
        return static_cast<std::int32_t>(-value);
    return value > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                             : static_cast<std::int32_t>(value);
}

Text TaggedField(std::string_view text, std::string_view key) {
    Text start = "[";
    start.append(key).append("]");
    Text end = "[/";
    end.append(key).append("]");
    return TextBetween(text, start, end);
}

Text ReadTaggedField(const std::string& path, std::string_view key) { return TaggedField(ReadTextFile(path), key); }

bool WriteTaggedText(const std::string& path, const std::vector<std::pair<Text, Text>>& fields) {
    Text whole;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k)
            whole.append("\r\n");
        whole.append("[").append(fields[k].first).append("]");
        whole.append(fields[k].second);
        whole.append("[/").append(fields[k].first).append("]");
    }
    return WriteWholeFile(path, whole);
}

} // namespace gleaner
