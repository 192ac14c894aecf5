#pragma once
// Re-encoding a downloaded picture, for the PicturePreview and for saving.

#include "text/Text.h"

namespace gleaner {

/// Decodes `picture` and encodes it as format 1 BMP, 2 JPEG, 3 GIF, 4 TIFF or 5 PNG. True when a
/// converted image was obtained: it is then in `converted` and, when `savePath` (code-page text)
/// is not blank, written to that file, replacing it. False, with `converted` left as it was, for an
/// unknown format, bytes that are no picture, a picture over the size bound, or a save that failed.
bool ConvertPicture(const Bytes& picture, int format, const Text& savePath, Bytes& converted);

} // namespace gleaner
