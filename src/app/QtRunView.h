#pragma once
// The RunView adapter of the main window. Workers call it from their threads; every effect is
// posted to the UI thread as a queued call, so the effects of one run appear in the order the run
// produced them.

#include "collect/RunView.h"

#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>

class QAbstractButton;
class QLabel;
class QObject;
class QWidget;

namespace gleaner {

class QtRunView final : public RunView {
public:
    struct Targets {
        QLabel* status = nullptr;          // "标签2"
        QAbstractButton* button = nullptr; // "采集"
        QLabel* preview = nullptr;         // "图片框1"
        QWidget* messageParent = nullptr;  // owner of the message boxes
    };
    /// receiver: the window that owns the targets; the calls run in its thread.
    QtRunView(QObject* receiver, Targets targets);

    void SetStatus(const Text& status) override;
    void SetButtonCaption(const Text& caption) override;
    void ShowPreview() override;
    void SetPreviewPicture(const Bytes& bmp) override;
    /// Shows the message on the UI thread and blocks the calling worker until it is closed, or
    /// until the window goes away.
    void ShowMessage(const Text& message) override;

    /// The window is going: later calls do nothing and a worker waiting on a message returns.
    /// Called by the window's destructor; the view itself stays, since detached workers hold it.
    void Detach();

private:
    void Post(std::function<void()> effect);

    std::mutex mutex_;
    std::condition_variable answered_;
    QObject* receiver_;
    Targets targets_;
};

} // namespace gleaner
