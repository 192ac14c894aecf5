#include "Pictures.h"

#include <leptonica/allheaders.h>
#include <zlib.h>

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <cstring>

namespace gleaner::test {
namespace {

// Fonts need a QGuiApplication; the offscreen platform keeps it headless.
void EnsureGui() {
    static QGuiApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "vcode-test";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
}

std::string Encode(const QImage& image, const std::string& format) {
    if (format == "GIF") {
        const std::string png = Encode(image, "PNG");
        PIX* pix = pixReadMem(reinterpret_cast<const l_uint8*>(png.data()), png.size());
        l_uint8* data = nullptr;
        size_t size = 0;
        std::string out;
        if (pix != nullptr && pixWriteMemGif(&data, &size, pix) == 0)
            out.assign(reinterpret_cast<const char*>(data), size);
        lept_free(data);
        pixDestroy(&pix);
        return out;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format.c_str(), format == "JPEG" ? 90 : -1);
    return bytes.toStdString();
}

void Put32(std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v >> 24));
    s.push_back(static_cast<char>(v >> 16));
    s.push_back(static_cast<char>(v >> 8));
    s.push_back(static_cast<char>(v));
}

void PngChunk(std::string& png, const char* type, const std::string& data) {
    Put32(png, static_cast<unsigned>(data.size()));
    std::string body = std::string(type, 4) + data;
    png += body;
    Put32(png, static_cast<unsigned>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

std::string Ihdr(int width, int height) {
    std::string ihdr;
    Put32(ihdr, static_cast<unsigned>(width));
    Put32(ihdr, static_cast<unsigned>(height));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, no interlace
    return ihdr;
}

// Position of the first image descriptor (0x2C) of a single-image GIF, skipping extensions; 0 if none.
std::size_t ImageStart(const std::string& gif, std::size_t& tableSize) {
    const auto* d = reinterpret_cast<const unsigned char*>(gif.data());
    tableSize = (d[10] & 0x80) ? 3u * (2u << (d[10] & 7)) : 0;
    std::size_t pos = 13 + tableSize;
    while (pos < gif.size() && d[pos] == 0x21) {
        pos += 2;
        while (pos < gif.size() && d[pos] != 0)
            pos += d[pos] + 1u;
        ++pos;
    }
    return pos < gif.size() && d[pos] == 0x2C ? pos : 0;
}

} // namespace

std::string DrawnText(const std::string& text, const std::string& format, int width, int height, bool lightOnDark) {
    EnsureGui();
    QImage image(width, height, QImage::Format_RGB32);
    const QColor light(245, 245, 240), dark(20, 20, 60);
    image.fill(lightOnDark ? dark : light);
    QPainter painter(&image);
    QFont font("DejaVu Sans");
    font.setPixelSize(height * 2 / 3);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(lightOnDark ? light : dark);
    painter.drawText(image.rect(), Qt::AlignCenter, QString::fromStdString(text));
    painter.end();
    return Encode(image, format);
}

std::string BlankPicture(const std::string& format, int width, int height) {
    EnsureGui();
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return Encode(image, format);
}

std::string AnimatedGif(const std::vector<std::string>& frames) {
    std::string out;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string& gif = frames[i];
        std::size_t tableSize = 0;
        const std::size_t start = ImageStart(gif, tableSize);
        const std::size_t end = gif.size() - 1; // before the trailer
        if (i == 0) {
            out = gif.substr(0, end);
            continue;
        }
        // A later frame carries its file's global colour table as a local one.
        std::string descriptor = gif.substr(start, 10);
        const auto globalFlags = static_cast<unsigned char>(gif[10]);
        if (tableSize > 0)
            descriptor[9] = static_cast<char>(0x80 | (globalFlags & 7));
        out += descriptor + gif.substr(13, tableSize) + gif.substr(start + 10, end - start - 10);
    }
    out.push_back(0x3B);
    return out;
}

std::string WithHugeSecondFrame(const std::string& gif, int width, int height) {
    std::string out = gif.substr(0, gif.size() - 1);
    std::string descriptor("\x2C\x00\x00\x00\x00", 5);
    descriptor.push_back(static_cast<char>(width & 0xFF));
    descriptor.push_back(static_cast<char>(width >> 8));
    descriptor.push_back(static_cast<char>(height & 0xFF));
    descriptor.push_back(static_cast<char>(height >> 8));
    descriptor.push_back(0);
    out += descriptor + std::string("\x08\x02\x4C\x01\x00", 5); // LZW minimum code size, one sub-block
    out.push_back(0x3B);
    return out;
}

std::string PngHeaderOnly(int width, int height) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    PngChunk(png, "IHDR", Ihdr(width, height));
    PngChunk(png, "IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
    PngChunk(png, "IEND", "");
    return png;
}

std::string BlackPng(int width, int height) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    PngChunk(png, "IHDR", Ihdr(width, height));
    z_stream z{};
    deflateInit(&z, 1);
    const std::string row(1 + 3 * static_cast<std::size_t>(width), '\0');
    std::string compressed;
    char buffer[1 << 16];
    for (int y = 0; y <= height; ++y) {
        const bool last = y == height;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.data()));
        z.avail_in = last ? 0 : static_cast<uInt>(row.size());
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            compressed.append(buffer, sizeof buffer - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    PngChunk(png, "IDAT", compressed);
    PngChunk(png, "IEND", "");
    return png;
}

bool DecodedSize(const std::string& bytes, int& width, int& height) {
    PIX* pix = pixReadMem(reinterpret_cast<const l_uint8*>(bytes.data()), bytes.size());
    if (pix == nullptr)
        return false;
    width = pixGetWidth(pix);
    height = pixGetHeight(pix);
    pixDestroy(&pix);
    return true;
}

} // namespace gleaner::test
