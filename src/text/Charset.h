#pragma once
// Conversion between named character sets (iconv), for texts that are neither the code page nor
// UTF-8: a back end's declared charset, say.

#include <string>
#include <string_view>

namespace gleaner {

/// Converts the whole input; false (out then holds what was converted before) on an unknown
/// charset or an invalid or incomplete sequence.
bool ConvertCharset(const std::string& fromCharset, const std::string& toCharset, std::string_view in,
                    std::string& out);

} // namespace gleaner
