#pragma once
// The BrowserPane port over a QWebEngineView: the main window's "超文本浏览框1", or the hidden
// view of the headless program. Lives on the UI thread; the runs call it from their workers.

#include "page/BrowserPane.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <mutex>

class QWebEngineView;
class QWebEnginePage;

namespace gleaner {

class WebEnginePane final : public QObject, public BrowserPane {
public:
    /// Create on the UI thread. The view stays owned by its window; when it goes, the pane answers
    /// empty / false.
    explicit WebEnginePane(QWebEngineView* view, QObject* parent = nullptr);
    ~WebEnginePane() override;

    /// Queued to the UI thread; returns at once.
    void Navigate(const Text& address) override;
    /// The document the page shows now (null before the first page, or when the page does not answer
    /// within the document time-out).
    std::shared_ptr<Document> ShownDocument() override;
    /// True once no navigation is queued and the page has finished loading (also when it failed).
    bool WaitForLoad(int timeoutMs) override;
    /// document.characterSet of the page shown now; empty when unknown.
    Text DocumentCharset() override;

    QWebEngineView* View() const;

private:
    void WatchPage(QWebEnginePage* page);
    void SetLoading(bool loading);

    QPointer<QWebEngineView> view_;
    QPointer<QWebEnginePage> page_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int queued_ = 0;             // navigations posted, not yet handed to the page
    bool loading_ = false;       // the page is loading
    std::atomic<bool> hasPage_{false}; // something was ever loaded or asked for
};

} // namespace gleaner
