#pragma once
// The recognition file "zived.cds": tagged text "[key]value[/key]" in the program's code page
// (GB18030/GBK) or, when it starts with a UTF-8 byte-order mark or spells its keys in UTF-8, in UTF-8.
//   [语言]   Tesseract language(s), e.g. "eng" or "eng+chi_sim" (required)
//   [字符]   the characters a picture may contain; empty: any
//   [模式]   Tesseract page-segmentation mode, 1 and 3..13 (default 7, one line of text)
//   [密码]   the password a caller must pass (default empty)
//   [放大]   enlargement factor 1..8; 0 or absent: chosen from the picture's height
//   [阈值]   black/white threshold 1..255; 0 or absent: Otsu's threshold; -1: leave it to Tesseract

#include <string>
#include <string_view>

namespace gleaner::vcode {

struct CdsSettings {
    std::string language;
    std::string allowedUtf8; // the allowed characters as UTF-8, blanks and line breaks removed
    int pageMode = 7;
    std::string password;    // bytes as they stand in the file
    int scale = 0;
    int threshold = 0;
};

/// Parses the file's bytes; false when they are not a well-formed recognition file.
bool ParseCds(std::string_view bytes, CdsSettings& out);

/// Conversions between UTF-8 and the program's code page; characters that do not convert are dropped.
std::string Utf8ToCodepage(std::string_view utf8);
std::string CodepageToUtf8(std::string_view text);

} // namespace gleaner::vcode
