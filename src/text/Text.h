#pragma once
// Text: the program's 8-bit text, bytes in the GB18030 code page (a superset of GBK).
// Every literal of the settings files, the network forms and the user interface is held this way;
// conversion happens only at the edges (UTF-16 for Qt and page scripts, UTF-8 for PCRE2 and the
// terminal), and it is lossless: a byte that starts no valid character maps to a reserved
// private-use code point (U+10FF80 + byte - 0x80) and back, so any bytes survive a round trip.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gleaner {

using Text = std::string;  // code-page bytes
using Bytes = std::string; // raw bytes (downloads, pictures)

// --- conversions -----------------------------------------------------------------------------

std::string ToUtf8(std::string_view text);
Text FromUtf8(std::string_view utf8);
std::u16string ToUtf16(std::string_view text);
Text FromUtf16(std::u16string_view utf16);

// ToUtf8 that also records, for every byte position k of the UTF-8 result, the byte position in
// `text` of the character that covers it; positions has utf8.size() + 1 entries, the last one
// being text.size(). Lets a UTF-8 match be cut back out of the original bytes exactly.
std::string ToUtf8Mapped(std::string_view text, std::vector<std::uint32_t>& positions);

// ToUtf8 for whole pages (`text` below 2 GiB) with a sparse form of that map, made in the same pass.
// utf8 is overwritten (its storage is reused). For each block k of kUtf8CheckpointStep bytes of
// utf8, k = 0 .. utf8.size() / step, checkpoints[k] is the position in `text` of the first character
// whose UTF-8 starts at or after byte k * step. In a block where every character that starts there
// is ASCII or a two-byte code, each ASCII byte stands for one byte of text and each lead byte
// (0xC0..) for two, so counting from the checkpoint maps any character boundary of the block. Any
// other block has kUtf8CheckpointExact set in its entry; the other bits are j, and
// exact[j * step + r] is positions[k * step + r] of ToUtf8Mapped (text.size() past the end).
constexpr std::size_t kUtf8CheckpointStep = 32;
constexpr std::uint32_t kUtf8CheckpointExact = 0x80000000u;
void ToUtf8WithCheckpoints(std::string_view text, std::string& utf8, std::vector<std::uint32_t>& checkpoints,
                           std::vector<std::uint32_t>& exact);

// A UTF-8 literal of the source code as code-page text: "采集已停止"_t.
inline Text operator""_t(const char* utf8, std::size_t n) { return FromUtf8(std::string_view(utf8, n)); }

// --- the text rules ----------------------------------------------------------------------------
// Positions are 1-based; a search that finds nothing gives -1. A byte >= 0x80 starts a two-byte
// step, so searches match only on character boundaries and no operation cuts a two-byte character.

inline bool IsLeadByte(unsigned char b) { return b >= 0x80; }

// Length of the character step starting at byte index i (0-based): 1 or 2 (1 for a lead byte at the end).
inline std::size_t StepAt(std::string_view s, std::size_t i) {
    return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

// First occurrence of `what` in `text` at or after the 1-based `startPosition` (values below 2: from
// the start). ignoreCase folds the ASCII letters only (also where such a byte is a second byte).
// An empty `what` is found at startPosition when text remains there.
int Find(std::string_view text, std::string_view what, int startPosition = 1, bool ignoreCase = false);
// Last occurrence (on a character boundary), or -1.
int FindLast(std::string_view text, std::string_view what);
bool Contains(std::string_view text, std::string_view what);

Text ToLowerAscii(std::string_view text);
// Removes leading and trailing blanks: 0x20 and the full-width blank A1 A1 only.
Text Trim(std::string_view text);
// Removes every blank (0x20 or A1 A1) anywhere.
Text RemoveSpaces(std::string_view text);
// An empty text gives no entries; empty entries between separators are kept; an empty rest after
// the last separator is dropped ("a;;b" -> a, "", b; "a;" -> a). An empty separator gives the text.
std::vector<Text> Split(std::string_view text, std::string_view separator);
Text Join(const std::vector<Text>& parts, std::string_view separator);
// First / last n bytes, narrowed to whole characters so no two-byte character is cut (n <= 0: empty).
Text Left(std::string_view text, int n);
Text Right(std::string_view text, int n);
// Text up to (not including) the first zero byte.
Text CutAtZero(std::string_view bytes);
// Decimal, no leading zeros.
Text NumberText(long long n);

} // namespace gleaner
