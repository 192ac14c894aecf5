#include "collect/VcodePictureReader.h"

#include "collect/ConvertPicture.h"
#include "collect/PictureDownload.h"

#include <algorithm>
#include <climits>

namespace gleaner {
namespace {

constexpr int kResultBytes = 32;

} // namespace

VcodePictureReader::VcodePictureReader(std::string programDir, RunView* view, std::string workingDir)
    : VcodePictureReader(RecognitionLibrary::DefaultCandidates(programDir), view, std::move(workingDir)) {}

VcodePictureReader::VcodePictureReader(std::vector<std::string> libraryCandidates, RunView* view,
                                       std::string workingDir)
    : library_(std::make_unique<RecognitionLibrary>(std::move(libraryCandidates))), view_(view),
      workingDir_(std::move(workingDir)) {}

Text VcodePictureReader::ReadPictureText(const Text& address) {
    if (view_ != nullptr)
        view_->ShowPreview();
    const Bytes picture = DownloadPicture(address);
    Bytes bmp;
    if (ConvertPicture(picture, 1, Text(), bmp) && view_ != nullptr)
        view_->SetPreviewPicture(bmp);

    // Filled with blanks and zero-terminated; the library writes at most 32 bytes and a zero.
    char result[kResultBytes + 1];
    std::fill(result, result + kResultBytes, ' ');
    result[kResultBytes] = '\0';

    if (!library_->Load()) {
        // The process goes on: ending it would lose every row collected so far.
        if (view_ != nullptr)
            view_->ShowMessage("识别库加载失败"_t + "\n" + library_->Failure());
        return Text(result, kResultBytes);
    }

    const std::string cds = workingDir_.empty() ? std::string("zived.cds") : workingDir_ + "/zived.cds";
    const int handle = library_->LoadCds()(cds.c_str(), "");
    if (handle == -1 && view_ != nullptr)
        view_->ShowMessage("识别库加载失败"_t);
    const int count = picture.size() > static_cast<std::size_t>(INT_MAX) ? 0 : static_cast<int>(picture.size());
    library_->Read()(handle, reinterpret_cast<const unsigned char*>(picture.data()), count, result);
    result[kResultBytes] = '\0'; // whatever the library did, the text ends within the buffer
    return CutAtZero(std::string_view(result, kResultBytes + 1));
}

} // namespace gleaner
