#include "vcode/Recognizer.h"

#include "vcode/PictureDecode.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <memory>

namespace gleaner::vcode {
namespace {

constexpr std::size_t kMaxResultBytes = 32;

struct PixDeleter {
    void operator()(PIX* p) const { pixDestroy(&p); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

// Otsu's threshold over the 8-bit histogram: the cut that best separates two classes.
int OtsuThreshold(PIX* gray) {
    NUMA* hist = pixGetGrayHistogram(gray, 1);
    if (hist == nullptr)
        return 128;
    double counts[256] = {};
    double total = 0, weighted = 0;
    for (int i = 0; i < 256; ++i) {
        l_float32 v = 0;
        numaGetFValue(hist, i, &v);
        counts[i] = v;
        total += v;
        weighted += i * static_cast<double>(v);
    }
    numaDestroy(&hist);
    double below = 0, belowWeighted = 0, best = -1;
    int threshold = 128;
    for (int t = 0; t < 255; ++t) {
        below += counts[t];
        belowWeighted += t * counts[t];
        const double above = total - below;
        if (below == 0 || above == 0)
            continue;
        const double meanBelow = belowWeighted / below;
        const double meanAbove = (weighted - belowWeighted) / above;
        const double between = below * above * (meanBelow - meanAbove) * (meanBelow - meanAbove);
        if (between > best) {
            best = between;
            threshold = t + 1; // pixThresholdToBinary makes values below this black
        }
    }
    return threshold;
}

// Gray, enlarged and black on white: captcha-like pictures are small and often coloured.
PixPtr Prepare(PIX* decoded, const CdsSettings& settings) {
    PixPtr pix(pixClone(decoded));
    if (pixGetColormap(pix.get()) != nullptr)
        pix.reset(pixRemoveColormap(pix.get(), REMOVE_CMAP_BASED_ON_SRC));
    if (pix && pixGetDepth(pix.get()) == 32 && pixGetSpp(pix.get()) == 4)
        pix.reset(pixAlphaBlendUniform(pix.get(), 0xffffff00)); // transparent background shows as white
    if (!pix)
        return nullptr;
    PixPtr gray(pixConvertTo8(pix.get(), 0));
    if (!gray)
        return nullptr;

    const int h = pixGetHeight(gray.get());
    int scale = settings.scale;
    if (scale == 0)
        scale = h < 40 ? 4 : h < 100 ? 3 : h < 200 ? 2 : 1;
    while (scale > 1 && !picture::SizeAllowed(static_cast<long long>(pixGetWidth(gray.get())) * scale,
                                              static_cast<long long>(h) * scale))
        --scale;
    if (scale > 1) {
        PixPtr big(pixScaleGrayLI(gray.get(), static_cast<float>(scale), static_cast<float>(scale)));
        if (big)
            gray = std::move(big);
    }
    if (settings.threshold < 0)
        return PixPtr(pixAddBorder(gray.get(), 16, 255));

    const int threshold = settings.threshold > 0 ? settings.threshold : OtsuThreshold(gray.get());
    PixPtr binary(pixThresholdToBinary(gray.get(), threshold));
    if (!binary)
        return nullptr;
    l_int32 black = 0;
    pixCountPixels(binary.get(), &black, nullptr);
    const long long area = static_cast<long long>(pixGetWidth(binary.get())) * pixGetHeight(binary.get());
    if (2LL * black > area) {
        pixInvert(binary.get(), binary.get()); // light text on a dark ground
        black = static_cast<l_int32>(area - black);
    }
    if (black == 0)
        return nullptr; // an empty picture: Tesseract would only print statistics of nothing
    return PixPtr(pixAddBorder(binary.get(), 16, 0));
}

// Length of the UTF-8 sequence starting with byte c (1 for a stray continuation byte).
std::size_t Utf8Length(unsigned char c) {
    if (c >= 0xF0)
        return 4;
    if (c >= 0xE0)
        return 3;
    if (c >= 0xC0)
        return 2;
    return 1;
}

// Whole characters of the recognised UTF-8 text, blanks dropped and, when the file names the
// allowed characters, only those, converted to the code page within 32 bytes.
std::string Finish(std::string_view utf8, const std::string& allowedUtf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = std::min(Utf8Length(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        const std::string_view ch = utf8.substr(i, n);
        i += n;
        if (ch == " " || ch == "\n" || ch == "\r" || ch == "\t" || ch == "\f")
            continue;
        if (!allowedUtf8.empty() && allowedUtf8.find(ch) == std::string::npos)
            continue;
        const std::string converted = Utf8ToCodepage(ch);
        if (out.size() + converted.size() > kMaxResultBytes)
            break;
        out += converted;
    }
    return out;
}

} // namespace

Recognizer::~Recognizer() { api_.End(); }

void Recognizer::QuietTesseract() { api_.SetVariable("debug_file", "/dev/null"); }

bool Recognizer::Start(const CdsSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
    if (api_.Init(nullptr, settings.language.c_str(), tesseract::OEM_DEFAULT) != 0)
        return false;
    api_.SetPageSegMode(static_cast<tesseract::PageSegMode>(settings.pageMode));
    if (!settings.allowedUtf8.empty())
        api_.SetVariable("tessedit_char_whitelist", settings.allowedUtf8.c_str());
    return true;
}

std::string Recognizer::Read(const unsigned char* bytes, std::size_t count) {
    PixPtr decoded(picture::DecodePictureBounded(bytes, count));
    if (!decoded)
        return {};
    PixPtr prepared = Prepare(decoded.get(), settings_);
    if (!prepared)
        return {};

    std::lock_guard lock(mutex_);
    api_.SetImage(prepared.get());
    api_.SetSourceResolution(300);
    std::unique_ptr<char[]> text(api_.GetUTF8Text());
    api_.Clear();
    return text ? Finish(text.get(), settings_.allowedUtf8) : std::string();
}

} // namespace gleaner::vcode
