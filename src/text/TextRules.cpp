// The program's ordinary text operations on code-page bytes.

#include "text/Text.h"

namespace gleaner {
namespace {

inline unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

bool EqualAt(std::string_view text, std::size_t at, std::string_view what, bool ignoreCase) {
    if (!ignoreCase)
        return text.compare(at, what.size(), what) == 0;
    for (std::size_t k = 0; k < what.size(); ++k) {
        if (FoldAscii(static_cast<unsigned char>(text[at + k])) != FoldAscii(static_cast<unsigned char>(what[k])))
            return false;
    }
    return true;
}

bool IsBlankAt(std::string_view s, std::size_t i, std::size_t& len) {
    if (s[i] == ' ') {
        len = 1;
        return true;
    }
    if (static_cast<unsigned char>(s[i]) == 0xA1 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xA1) {
        len = 2;
        return true;
    }
    return false;
}

} // namespace

int Find(std::string_view text, std::string_view what, int startPosition, bool ignoreCase) {
    std::size_t i = startPosition < 2 ? 0 : static_cast<std::size_t>(startPosition - 1);
    if (i >= text.size())
        return -1;
    // Step from the start so a start position inside a character still lands on a boundary.
    std::size_t pos = 0;
    while (pos < i)
        pos += StepAt(text, pos);
    for (; pos < text.size(); pos += StepAt(text, pos)) {
        if (what.size() > text.size() - pos)
            return -1;
        if (EqualAt(text, pos, what, ignoreCase))
            return static_cast<int>(pos + 1);
    }
    return -1;
}

int FindLast(std::string_view text, std::string_view what) {
    int last = -1;
    for (std::size_t pos = 0; pos < text.size() && what.size() <= text.size() - pos; pos += StepAt(text, pos)) {
        if (EqualAt(text, pos, what, false))
            last = static_cast<int>(pos + 1);
    }
    return last;
}

bool Contains(std::string_view text, std::string_view what) { return what.empty() || Find(text, what) > 0; }

Text ToLowerAscii(std::string_view text) {
    // Only whole characters: a second byte in 0x41..0x5A belongs to a Chinese character.
    Text out(text);
    for (std::size_t pos = 0; pos < out.size(); pos += StepAt(out, pos))
        out[pos] = static_cast<char>(FoldAscii(static_cast<unsigned char>(out[pos])));
    return out;
}

Text Trim(std::string_view text) {
    std::size_t begin = 0, len = 0;
    while (begin < text.size() && IsBlankAt(text, begin, len))
        begin += len;
    // The end of the text is found by stepping forward: a trailing A1 A1 pair counts only on a boundary.
    std::size_t end = begin, pos = begin;
    while (pos < text.size()) {
        if (IsBlankAt(text, pos, len)) {
            pos += len;
        } else {
            pos += StepAt(text, pos);
            end = pos;
        }
    }
    return Text(text.substr(begin, end - begin));
}

Text RemoveSpaces(std::string_view text) {
    Text out;
    out.reserve(text.size());
    std::size_t len = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        if (IsBlankAt(text, pos, len)) {
            pos += len;
            continue;
        }
        std::size_t step = StepAt(text, pos);
        out.append(text.substr(pos, step));
        pos += step;
    }
    return out;
}

std::vector<Text> Split(std::string_view text, std::string_view separator) {
    std::vector<Text> parts;
    if (text.empty())
        return parts;
    if (separator.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    // One forward scan: the search resumes behind each separator (a Find per entry would step
    // from the start every time, quadratic on a long page).
    std::size_t from = 0, pos = 0;
    while (pos < text.size() && separator.size() <= text.size() - pos) {
        if (text.compare(pos, separator.size(), separator) == 0) {
            parts.emplace_back(text.substr(from, pos - from));
            pos += separator.size();
            from = pos;
        } else {
            pos += StepAt(text, pos);
        }
    }
    if (from < text.size())
        parts.emplace_back(text.substr(from));
    return parts;
}

Text Join(const std::vector<Text>& parts, std::string_view separator) {
    Text out;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k)
            out.append(separator);
        out.append(parts[k]);
    }
    return out;
}

Text Left(std::string_view text, int n) {
    if (n <= 0)
        return {};
    const std::size_t limit = static_cast<std::size_t>(n);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t step = StepAt(text, pos);
        if (pos + step > limit)
            break;
        pos += step;
    }
    return Text(text.substr(0, pos));
}

Text Right(std::string_view text, int n) {
    if (n <= 0)
        return {};
    const std::size_t limit = static_cast<std::size_t>(n);
    if (limit >= text.size())
        return Text(text);
    const std::size_t from = text.size() - limit;
    std::size_t pos = 0;
    while (pos < from)
        pos += StepAt(text, pos);
    return Text(text.substr(pos));
}

Text CutAtZero(std::string_view bytes) {
    std::size_t z = bytes.find('\0');
    return Text(z == std::string_view::npos ? bytes : bytes.substr(0, z));
}

Text NumberText(long long n) { return std::to_string(n); }

} // namespace gleaner
