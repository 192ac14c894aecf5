#pragma once
// Bounded picture decoding on Leptonica, shared by the recognition library and the picture
// conversion. Pictures come from arbitrary web sites: the size a header claims is checked before
// anything is decoded, and an animated GIF is cut down to its first frame first (Leptonica's GIF
// reader would decode every frame).

#include <leptonica/allheaders.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

namespace gleaner::picture {

// A larger picture is refused: 40 megapixels at 32 bits already take 160 MB.
inline constexpr long long kMaxPixels = 40'000'000;

inline void SilenceLeptonica() {
    static std::once_flag once;
    std::call_once(once, [] { setMsgSeverity(L_SEVERITY_NONE); });
}

inline bool SizeAllowed(long long w, long long h) { return w > 0 && h > 0 && w * h <= kMaxPixels; }

inline bool IsGif(const unsigned char* data, std::size_t size) {
    return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

// A GIF holding only the first image of `data`: header, screen descriptor, global colour table,
// the graphic control extension before the image (transparency), the image, the trailer. Empty
// when the blocks up to the end of the first image are not well formed.
inline std::string FirstGifFrame(const unsigned char* data, std::size_t size, int& width, int& height) {
    width = height = 0;
    if (!IsGif(data, size) || size < 13)
        return {};
    std::size_t pos = 13;
    const unsigned char screenFlags = data[10];
    if (screenFlags & 0x80)
        pos += 3u * (2u << (screenFlags & 7));
    if (pos > size)
        return {};
    std::string out(reinterpret_cast<const char*>(data), pos);
    std::string control;
    // Skips a chain of sub-blocks starting at p; returns the position after the terminator, or 0.
    auto skipSubBlocks = [&](std::size_t p) -> std::size_t {
        while (p < size) {
            const std::size_t n = data[p];
            if (n == 0)
                return p + 1;
            p += n + 1;
        }
        return 0;
    };
    while (pos < size) {
        const unsigned char introducer = data[pos];
        if (introducer == 0x21) {
            if (pos + 2 > size)
                return {};
            const std::size_t end = skipSubBlocks(pos + 2);
            if (end == 0)
                return {};
            if (data[pos + 1] == 0xF9)
                control.assign(reinterpret_cast<const char*>(data + pos), end - pos);
            pos = end;
        } else if (introducer == 0x2C) {
            if (pos + 10 > size)
                return {};
            width = data[pos + 5] | (data[pos + 6] << 8);
            height = data[pos + 7] | (data[pos + 8] << 8);
            const unsigned char flags = data[pos + 9];
            std::size_t p = pos + 10;
            if (flags & 0x80)
                p += 3u * (2u << (flags & 7));
            if (p + 1 > size)
                return {};
            const std::size_t end = skipSubBlocks(p + 1); // after the LZW minimum code size
            if (end == 0)
                return {};
            out += control;
            out.append(reinterpret_cast<const char*>(data + pos), end - pos);
            out.push_back(0x3B);
            return out;
        } else {
            return {}; // a trailer or garbage before any image
        }
    }
    return {};
}

/// The decoded picture, or null when the bytes are empty, not a picture Leptonica reads, or
/// larger than kMaxPixels. The caller destroys the result with pixDestroy.
inline PIX* DecodePictureBounded(const unsigned char* data, std::size_t size) {
    SilenceLeptonica();
    if (data == nullptr || size == 0)
        return nullptr;
    if (IsGif(data, size)) {
        int w = 0, h = 0;
        const std::string frame = FirstGifFrame(data, size, w, h);
        if (frame.empty() || !SizeAllowed(w, h))
            return nullptr;
        return pixReadMem(reinterpret_cast<const l_uint8*>(frame.data()), frame.size());
    }
    l_int32 format = 0, w = 0, h = 0, bps = 0, spp = 0, cmap = 0;
    if (pixReadHeaderMem(data, size, &format, &w, &h, &bps, &spp, &cmap) != 0 || !SizeAllowed(w, h))
        return nullptr;
    PIX* pix = pixReadMem(data, size);
    // The header of a multi-image file may not describe what was decoded; check again.
    if (pix != nullptr && !SizeAllowed(pixGetWidth(pix), pixGetHeight(pix)))
        pixDestroy(&pix);
    return pix;
}

} // namespace gleaner::picture
