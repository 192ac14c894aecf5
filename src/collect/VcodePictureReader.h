#pragma once
// The PictureReader of the runs: download, preview, and recognition through libvcode.so.

#include "collect/PictureReader.h"
#include "collect/RecognitionLibrary.h"
#include "collect/RunView.h"

#include <memory>
#include <string>
#include <vector>

namespace gleaner {

class VcodePictureReader : public PictureReader {
public:
    /// `programDir` (UTF-8) is searched first for libvcode.so; the recognition file "zived.cds"
    /// resolves against `workingDir`, empty meaning the process's current directory.
    VcodePictureReader(std::string programDir, RunView* view, std::string workingDir = "");
    /// The library is looked for exactly at `libraryCandidates` (see RecognitionLibrary).
    VcodePictureReader(std::vector<std::string> libraryCandidates, RunView* view, std::string workingDir);

    /// Shows the preview, downloads the picture, previews it as a BMP, loads "zived.cds" and reads
    /// the text. A recognition file that cannot be loaded shows "识别库加载失败"; a missing
    /// library or entry point shows that text with the reason on a second line. Either way the
    /// reading goes on and, when nothing was recognised, gives 32 blanks.
    Text ReadPictureText(const Text& address) override;

private:
    std::unique_ptr<RecognitionLibrary> library_;
    RunView* view_;
    std::string workingDir_;
};

} // namespace gleaner
