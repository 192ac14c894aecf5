// Address and cookie helpers, on the program's text rules (1-based positions, two-byte steps).

#include "http/UrlHelpers.h"

#include "config/TaggedText.h"

namespace gleaner {

Text TextAfterColon(std::string_view text) {
    const int colon = Find(text, ":");
    if (colon < 0)
        return {};
    return Trim(text.substr(static_cast<std::size_t>(colon)));
}

Text UrlHost(std::string_view url, bool mainDomainOnly, bool keepPort) {
    Text s = ToLowerAscii(url);
    if (Right(s, 1) != "/")
        s.push_back('/');
    std::string_view prefix = "https://";
    if (Left(s, 8) != prefix) {
        prefix = "http://";
        // The plain scheme counts wherever it stands, also inside a query.
        if (!Contains(s, prefix))
            s.insert(0, prefix);
    }
    s = TextBetween(s, prefix, "/");
    if (mainDomainOnly) {
        const std::vector<Text> labels = Split(s, ".");
        if (labels.size() >= 2)
            s = labels[labels.size() - 2] + "." + labels.back();
    }
    if (!keepPort) {
        const int colon = Find(s, ":");
        if (colon > 0)
            s.resize(static_cast<std::size_t>(colon - 1));
    }
    return s;
}

int UrlPort(std::string_view url) {
    const Text host = UrlHost(url, false, true);
    const int colon = FindLast(host, ":");
    if (colon < 0)
        return Left(ToLowerAscii(url), 5) == "https" ? 443 : 80;
    return TextToInt(std::string_view(host).substr(static_cast<std::size_t>(colon)));
}

Text UrlPath(std::string_view url) {
    const Text host = UrlHost(url);
    const int hostAt = Find(url, host, 1, true);
    const int slash = Find(url, "/", hostAt);
    if (slash < 1)
        return "/";
    return Text(url.substr(static_cast<std::size_t>(slash - 1)));
}

Text CookieName(std::string_view entry) {
    const int eq = Find(entry, "=");
    if (eq < 0)
        return Trim(entry);
    return Trim(entry.substr(0, static_cast<std::size_t>(eq - 1)));
}

bool HasCookieName(const std::vector<Text>& list, std::string_view name) {
    for (const Text& member : list) {
        if (CookieName(member) == name)
            return true;
    }
    return false;
}

int IndexInList(const std::vector<Text>& list, std::string_view text) {
    for (std::size_t k = 0; k < list.size(); ++k) {
        if (list[k] == text)
            return static_cast<int>(k + 1);
    }
    return -1;
}

Text RemoveDuplicates(std::string_view text, std::string_view separator) {
    std::vector<Text> taken;
    Text out;
    for (Text& entry : Split(text, separator)) {
        if (IndexInList(taken, entry) >= 0)
            continue;
        out.append(entry).append(separator);
        taken.push_back(std::move(entry));
    }
    // Cut exactly the bytes appended last; a character-wise cut could take an entry's last byte.
    out.resize(out.size() >= separator.size() ? out.size() - separator.size() : 0);
    return out;
}

Text MergeCookies(Text& cookies, Text& newCookies) {
    cookies = RemoveSpaces(cookies);
    newCookies = RemoveSpaces(newCookies);
    std::vector<Text> list = Split(newCookies, ";");
    for (Text& older : Split(cookies, ";")) {
        if (!HasCookieName(list, CookieName(older)))
            list.push_back(std::move(older));
    }
    Text merged;
    for (const Text& entry : list) {
        // A server removes a cookie by setting it to "deleted".
        if (Right(entry, 8) != "=deleted")
            merged.append(entry).append("; ");
    }
    if (!merged.empty())
        merged.resize(merged.size() - 2);
    cookies = RemoveDuplicates(merged, "; ");
    return cookies;
}

} // namespace gleaner
