#include "collect/ConvertPicture.h"

#include "config/FileIo.h"
#include "vcode/PictureDecode.h"

#include <leptonica/allheaders.h>

#include <memory>

namespace gleaner {
namespace {

struct PixDeleter {
    void operator()(PIX* p) const { pixDestroy(&p); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

// Leptonica's writers take only some depths per format; bring the picture to one they take.
PixPtr ForWriter(PIX* pix, int format) {
    const int depth = pixGetDepth(pix);
    switch (format) {
    case 2: // JPEG: 8-bit gray or 32-bit colour, no colour map
        return PixPtr(pixConvertTo8Or32(pix, L_CLONE, 0));
    case 1: // BMP and GIF: no 2- or 16-bit pictures
    case 3:
        if (depth == 2 || depth == 16)
            return PixPtr(pixConvertTo8(pix, pixGetColormap(pix) != nullptr ? 1 : 0));
        return PixPtr(pixClone(pix));
    default:
        return PixPtr(pixClone(pix));
    }
}

bool Encode(PIX* pix, int format, Bytes& out) {
    l_uint8* data = nullptr;
    size_t size = 0;
    l_ok failed = 1;
    switch (format) {
    case 1:
        failed = pixWriteMem(&data, &size, pix, IFF_BMP);
        break;
    case 2:
        failed = pixWriteMemJpeg(&data, &size, pix, 75, 0);
        break;
    case 3:
        failed = pixWriteMemGif(&data, &size, pix);
        break;
    case 4:
        failed = pixWriteMemTiff(&data, &size, pix, pixGetDepth(pix) == 1 ? IFF_TIFF_G4 : IFF_TIFF_LZW);
        break;
    case 5:
        failed = pixWriteMem(&data, &size, pix, IFF_PNG);
        break;
    default:
        break;
    }
    if (failed == 0 && data != nullptr && size > 0)
        out.assign(reinterpret_cast<const char*>(data), size);
    lept_free(data);
    return failed == 0 && !out.empty();
}

} // namespace

bool ConvertPicture(const Bytes& picture, int format, const Text& savePath, Bytes& converted) {
    if (format < 1 || format > 5)
        return false;
    PixPtr decoded(picture::DecodePictureBounded(reinterpret_cast<const unsigned char*>(picture.data()),
                                                 picture.size()));
    if (!decoded)
        return false;
    PixPtr ready = ForWriter(decoded.get(), format);
    Bytes encoded;
    if (!ready || !Encode(ready.get(), format, encoded))
        return false;
    const Text path = Trim(savePath);
    if (!path.empty() && !WriteWholeFile(ToUtf8(path), encoded))
        return false;
    converted = std::move(encoded);
    return true;
}

} // namespace gleaner
