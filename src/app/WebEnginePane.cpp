// The pane's calls from worker threads: navigation is posted to the UI thread, documents are bound
// by a script, and load state is mirrored from the page's signals so workers can wait on it.

#include "app/WebEnginePane.h"

#include "app/WebEngineDocument.h"
#include "app/WebEngineScript.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace gleaner {

WebEnginePane::WebEnginePane(QWebEngineView* view, QObject* parent) : QObject(parent), view_(view) {
    if (view_) {
        WatchPage(view_->page());
        if (!view_->url().isEmpty())
            hasPage_ = true;
    }
}

WebEnginePane::~WebEnginePane() = default;

QWebEngineView* WebEnginePane::View() const { return view_; }

void WebEnginePane::WatchPage(QWebEnginePage* page) {
    // The pane follows the page its view had when the pane was made.
    page_ = page;
    if (!page)
        return;
    // The page reports one start and one finish for a burst of navigations (a load requested while
    // another is going merges into it), so a plain flag follows it.
    connect(page, &QWebEnginePage::loadStarted, this, [this] { SetLoading(true); });
    connect(page, &QWebEnginePage::loadFinished, this, [this] { SetLoading(false); });
    connect(page, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        if (!url.isEmpty())
            hasPage_ = true;
    });
}

void WebEnginePane::SetLoading(bool loading) {
    {
        std::lock_guard lock(mutex_);
        loading_ = loading;
    }
    changed_.notify_all();
}

void WebEnginePane::Navigate(const Text& address) {
    const QUrl url = QUrl::fromUserInput(ToQString(address));
    if (!url.isValid() || url.isEmpty())
        return;
    hasPage_ = true;
    {
        std::lock_guard lock(mutex_);
        ++queued_;
    }
    QMetaObject::invokeMethod(
        this,
        [this, url] {
            {
                std::lock_guard lock(mutex_);
                --queued_;
                // The page reports its start later; loading from here on.
                if (page_)
                    loading_ = true;
            }
            if (page_)
                page_->load(url);
            changed_.notify_all();
        },
        Qt::QueuedConnection);
}

std::shared_ptr<Document> WebEnginePane::ShownDocument() {
    if (!hasPage_)
        return nullptr; // nothing was ever loaded: no document to bind
    return WebEngineDocument::Bind(page_);
}

bool WebEnginePane::WaitForLoad(int timeoutMs) {
    auto settled = [this] { return queued_ == 0 && !loading_; };
    if (detail::OnUiThread()) {
        // On the UI thread the signals arrive only while events are processed.
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (settled())
                    return true;
            }
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0)
                return false;
            QEventLoop loop;
            QTimer::singleShot(static_cast<int>(std::min<qint64>(left, 20)), &loop, &QEventLoop::quit);
            loop.exec();
        }
    }
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), settled);
}

Text WebEnginePane::DocumentCharset() {
    std::optional<QString> answer =
        RunPageScript(page_, ScriptWithArguments(QStringLiteral("return String(document.characterSet);"), {}));
    return answer ? FromQString(*answer) : Text();
}

} // namespace gleaner
