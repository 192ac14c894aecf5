#pragma once
// Whole-file reads and atomic whole-file writes. Paths are UTF-8 file system paths.

#include "text/Text.h"

#include <string>

namespace gleaner {

/// The whole file's bytes; false (and empty) when it is missing or unreadable.
bool ReadWholeFile(const std::string& path, Bytes& out);
/// The file as text: bytes up to the first zero byte; empty when missing or unreadable.
Text ReadTextFile(const std::string& path);
/// Replaces the file's whole content atomically (a sibling temporary file, then rename), so an
/// exit or crash mid-write never leaves a cut file. False when it could not be written.
bool WriteWholeFile(const std::string& path, std::string_view bytes);
/// Byte copy of one file onto another path, replacing it atomically. False when the source is
/// missing or the copy could not be written.
bool CopyWholeFile(const std::string& from, const std::string& to);
/// Joins a folder and a relative name with "/".
std::string JoinPath(const std::string& folder, const std::string& name);

} // namespace gleaner
