#pragma once
// One loaded recognition file: its settings and a Tesseract engine, used by one caller at a time.

#include "vcode/CdsFile.h"

#include <tesseract/baseapi.h>

#include <mutex>
#include <string>

namespace gleaner::vcode {

class Recognizer {
public:
    Recognizer() = default;
    ~Recognizer();
    Recognizer(const Recognizer&) = delete;
    Recognizer& operator=(const Recognizer&) = delete;

    /// Starts Tesseract for the settings; false when its language data cannot be loaded.
    bool Start(const CdsSettings& settings);
    /// The recognised text in the program's code page, blanks removed, at most 32 bytes; empty when
    /// the picture cannot be decoded or shows no text. Serialised: one engine, one picture at a time.
    std::string Read(const unsigned char* bytes, std::size_t count);

    /// Sends Tesseract's own reports (a process-wide setting) nowhere.
    void QuietTesseract();

private:
    std::mutex mutex_;
    CdsSettings settings_;
    tesseract::TessBaseAPI api_;
};

} // namespace gleaner::vcode
