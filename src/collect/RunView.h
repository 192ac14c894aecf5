#pragma once
// The RunView port: what a run or a publishing pass shows the user. Calls come from worker
// threads; an adapter keeps their order.

#include "text/Text.h"

namespace gleaner {

class RunView {
public:
    virtual ~RunView() = default;
    /// The StatusLabel ("标签2") text.
    virtual void SetStatus(const Text& status) = 0;
    /// The StartStopButton ("采集") caption.
    virtual void SetButtonCaption(const Text& caption) = 0;
    /// Makes the PicturePreview ("图片框1") visible.
    virtual void ShowPreview() = 0;
    /// Gives the PicturePreview a new picture (a BMP file image).
    virtual void SetPreviewPicture(const Bytes& bmp) = 0;
    /// A modal message; returns when the user closed it (a headless view returns at once).
    virtual void ShowMessage(const Text& message) = 0;
};

} // namespace gleaner
