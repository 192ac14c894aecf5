#pragma once
// A browser for the headless program: a hidden QWebEngineView with its pane and cookie bridge, so
// the runs that need a browser work without a display.

#include "app/CookieBridge.h"
#include "app/WebEnginePane.h"

#include <functional>
#include <memory>

class QWebEngineProfile;
class QWebEngineView;

namespace gleaner {

class OffscreenBrowser {
public:
    /// Needs a running QApplication; create on its thread. The view uses a profile of its own that
    /// keeps cookies in memory only, in step with the process's CookieStore.
    OffscreenBrowser();
    ~OffscreenBrowser();
    OffscreenBrowser(const OffscreenBrowser&) = delete;
    OffscreenBrowser& operator=(const OffscreenBrowser&) = delete;

    WebEnginePane& Pane() { return *pane_; }
    QWebEngineView* View() const { return view_.get(); }

private:
    std::unique_ptr<QWebEngineProfile> profile_;
    std::unique_ptr<QWebEngineView> view_;
    std::unique_ptr<WebEnginePane> pane_;
    std::unique_ptr<CookieBridge> bridge_;
};

/// Starts a QApplication on this thread (offscreen unless QT_QPA_PLATFORM names another platform;
/// without Chromium's sandbox when running as root, said once on stderr), runs work(pane) on a
/// worker thread while this thread runs the event loop, and returns work's status. Returns 2 with a
/// message on stderr when the browser cannot start. Call from main, before any other Qt object.
int RunWithOffscreenBrowser(int argc, char** argv, std::function<int(BrowserPane&)> work);

} // namespace gleaner
