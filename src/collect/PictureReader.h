#pragma once
// The PictureReader port: reads the text of a picture at an address.

#include "text/Text.h"

namespace gleaner {

class PictureReader {
public:
    virtual ~PictureReader() = default;
    /// The text read from the picture (at most 32 bytes; 32 blanks when nothing was read).
    virtual Text ReadPictureText(const Text& address) = 0;
};

} // namespace gleaner
