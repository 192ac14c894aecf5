#pragma once
// A compound document (OLE2) file with one stream, written with libgsf and put in place
// atomically: the bytes go to a sibling temporary file that replaces the target only when complete.

#include "text/Text.h"

#include <functional>
#include <string>
#include <string_view>

namespace gleaner {

using OleStreamSink = std::function<bool(std::string_view bytes)>;

/// Writes `path` (UTF-8) as a compound document whose one stream `streamName` holds what `fill`
/// hands to its sink. False with the reason in `error` when the file could not be written or
/// `fill` gave up; an existing file at `path` is then left as it was.
bool WriteOleFile(const std::string& path, const char* streamName,
                  const std::function<bool(const OleStreamSink&)>& fill, Text& error);

} // namespace gleaner
