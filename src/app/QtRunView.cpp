#include "app/QtRunView.h"

#include "app/Dialogs.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QThread>

#include <memory>

namespace gleaner {
namespace {

QString Q(const Text& text) { return QString::fromStdU16String(ToUtf16(text)); }

} // namespace

QtRunView::QtRunView(QObject* receiver, Targets targets) : receiver_(receiver), targets_(targets) {}

void QtRunView::Post(std::function<void()> effect) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Events posted to the receiver are dropped if it is destroyed before they run, and Detach()
    // takes this lock before that can happen, so no effect reaches a destroyed widget.
    if (receiver_)
        QMetaObject::invokeMethod(receiver_, std::move(effect), Qt::QueuedConnection);
}

void QtRunView::SetStatus(const Text& status) {
    QLabel* label = targets_.status;
    Post([label, text = Q(status)] { label->setText(text); });
}

void QtRunView::SetButtonCaption(const Text& caption) {
    QAbstractButton* button = targets_.button;
    Post([button, text = Q(caption)] { button->setText(text); });
}

void QtRunView::ShowPreview() {
    QLabel* preview = targets_.preview;
    Post([preview] { preview->show(); });
}

void QtRunView::SetPreviewPicture(const Bytes& bmp) {
    QLabel* preview = targets_.preview;
    Post([preview, bytes = QByteArray(bmp.data(), static_cast<qsizetype>(bmp.size()))] {
        QPixmap picture;
        if (picture.loadFromData(bytes, "BMP"))
            preview->setPixmap(picture);
        else
            preview->clear();
    });
}

void QtRunView::ShowMessage(const Text& message) {
    QWidget* parent = targets_.messageParent;
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        {
            // After Detach the parent is a destroyed window.
            std::lock_guard<std::mutex> lock(mutex_);
            if (!receiver_)
                return;
        }
        ShowMessageBox(parent, Q(message));
        return;
    }
    auto closed = std::make_shared<bool>(false);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!receiver_)
        return;
    QMetaObject::invokeMethod(
        receiver_,
        [this, parent, closed, text = Q(message)] {
            ShowMessageBox(parent, text);
            std::lock_guard<std::mutex> done(mutex_);
            *closed = true;
            answered_.notify_all();
        },
        Qt::QueuedConnection);
    answered_.wait(lock, [&] { return *closed || !receiver_; });
}

void QtRunView::Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    receiver_ = nullptr;
    answered_.notify_all();
}

} // namespace gleaner
