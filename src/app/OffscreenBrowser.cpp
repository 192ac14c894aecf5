// The headless browser host: the main thread serves the browser, a worker does the program's work.

#include "app/OffscreenBrowser.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

namespace gleaner {

OffscreenBrowser::OffscreenBrowser()
    : profile_(std::make_unique<QWebEngineProfile>()), // no storage name: off the record
      view_(std::make_unique<QWebEngineView>()) {
    // The page is parented to the view and goes with it, before the profile it uses.
    view_->setPage(new QWebEnginePage(profile_.get(), view_.get()));
    view_->resize(1024, 768);
    // Shown only where nothing can be seen: a hidden page may have its timers throttled.
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        view_->show();
    pane_ = std::make_unique<WebEnginePane>(view_.get());
    bridge_ = std::make_unique<CookieBridge>(profile_.get(), ProcessCookieStore());
}

OffscreenBrowser::~OffscreenBrowser() {
    bridge_.reset();
    pane_.reset();
    view_.reset();
    profile_.reset();
}

namespace {

void PrepareBrowserEnvironment() {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (::geteuid() != 0)
        return;
    std::string flags;
    if (const char* current = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS"))
        flags = current;
    if (flags.find("--no-sandbox") != std::string::npos)
        return;
    flags += flags.empty() ? "--no-sandbox" : " --no-sandbox";
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
    std::fputs("gleaner-cli: running as root, so the browser runs without its sandbox (--no-sandbox)\n", stderr);
}

} // namespace

int RunWithOffscreenBrowser(int argc, char** argv, std::function<int(BrowserPane&)> work) {
    if (QCoreApplication::instance()) {
        std::fputs("gleaner-cli: the browser needs its own application object\n", stderr);
        return 2;
    }
    PrepareBrowserEnvironment();
    // The engine's start-up report (graphics back end, switches) is noise on a server's stderr.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    int status = 0;
    {
        OffscreenBrowser browser;
        std::thread worker([&] {
            status = work(browser.Pane());
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
        });
        app.exec();
        worker.join();
    }
    return status;
}

} // namespace gleaner
