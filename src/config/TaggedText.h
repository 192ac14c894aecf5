#pragma once
// The tagged text convention of every settings file: "[key]" value "[/key]".

#include "text/Text.h"

#include <string>
#include <utility>
#include <vector>

namespace gleaner {

/// The text strictly between the first startMarker (searched from the 1-based startPosition;
/// below 2 = the start) and the first endMarker after it; empty when either is missing. Each
/// "#引号" inside a marker stands for a double quote. ASCII letters fold unless caseSensitive.
Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 int startPosition = 0, bool caseSensitive = false);

/// Reads a number: full-width forms become ASCII, leading white space, optional sign, leading
/// digits; no digits give 0; values outside 32 bits saturate.
std::int32_t TextToInt(std::string_view text);

/// The value of "[key]" .. "[/key]" in a text.
Text TaggedField(std::string_view text, std::string_view key);
/// Reads the file afresh (whole, text up to the first zero byte) and returns the field; a missing
/// or unreadable file gives empty text. `path` is a UTF-8 file system path.
Text ReadTaggedField(const std::string& path, std::string_view key);

/// Writes fields in order as "[k]v[/k]" joined by "\r\n", no trailing break, replacing the file
/// atomically. False when the file could not be written.
bool WriteTaggedText(const std::string& path, const std::vector<std::pair<Text, Text>>& fields);

} // namespace gleaner
