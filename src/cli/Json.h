#pragma once
// Rows and matches as JSON: one array of strings per line, UTF-8.

#include "text/Text.h"

#include <string>
#include <string_view>
#include <vector>

namespace gleaner::cli {

/// A JSON string literal of UTF-8 text: quotes, backslash and control characters escaped.
std::string JsonString(std::string_view utf8);
/// A JSON array of code-page texts, converted to UTF-8 (losslessly), without a line end.
template <class Range> std::string JsonArray(const Range& texts) {
    std::string out = "[";
    bool first = true;
    for (const auto& text : texts) {
        if (!first)
            out += ',';
        first = false;
        out += JsonString(ToUtf8(text));
    }
    out += ']';
    return out;
}

} // namespace gleaner::cli
