#pragma once
// Pictures for the picture-reading tests: short texts drawn with Qt, encoded in several formats,
// and hand-made malformed files.

#include <string>
#include <vector>

namespace gleaner::test {

/// `text` drawn dark on light in a large sans-serif font, `width` x `height` pixels, encoded as
/// "PNG", "JPEG" or "BMP" by Qt, or "GIF" (Qt writes no GIF; Leptonica encodes it).
std::string DrawnText(const std::string& text, const std::string& format, int width = 160, int height = 60,
                      bool lightOnDark = false);
/// A plain white picture.
std::string BlankPicture(const std::string& format, int width = 160, int height = 60);

/// An animated GIF: the first frame of each single-image GIF in `frames`, in order.
std::string AnimatedGif(const std::vector<std::string>& frames);
/// Appends to a GIF (before its trailer) a frame whose descriptor claims width x height with
/// almost no picture data.
std::string WithHugeSecondFrame(const std::string& gif, int width, int height);

/// A PNG whose header claims width x height, followed by a tiny picture data block.
std::string PngHeaderOnly(int width, int height);
/// A real RGB PNG of width x height black pixels (compresses to little, decodes to a lot).
std::string BlackPng(int width, int height);

/// Width and height as Leptonica decodes `bytes`; false when it does not.
bool DecodedSize(const std::string& bytes, int& width, int& height);

} // namespace gleaner::test
