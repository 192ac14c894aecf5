// gleaner: the desktop program. Start-up order: the browser's flags, the application, the program
// folder as current directory, the process-wide objects, the main window; the exit does not wait
// for runs that are still going.

#include "app/CookieBridge.h"
#include "app/MainWindow.h"
#include "app/WebEnginePane.h"
#include "collect/ResultList.h"
#include "config/CollectionSettings.h"
#include "http/CookieStore.h"
#include "http/CurlHandle.h"
#include "page/PageAutomation.h"

#include <QApplication>
#include <QDir>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// Chromium's sandbox cannot start for root; only then is it switched off, and the user is told.
void AllowBrowserAsRoot() {
    if (::geteuid() != 0)
        return;
    std::string flags;
    if (const char* current = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS"))
        flags = current;
    if (flags.find("--no-sandbox") == std::string::npos)
        flags += flags.empty() ? "--no-sandbox" : " --no-sandbox";
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
    std::fputs("gleaner: running as root, so the browser pane runs without its sandbox (--no-sandbox)\n", stderr);
}

} // namespace

int main(int argc, char** argv) {
    AllowBrowserAsRoot();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // the main window's Closed ends the program

    const QString programDir = QCoreApplication::applicationDirPath();
    QDir::setCurrent(programDir);
    gleaner::ProcessSettings().Reset();
    gleaner::ProcessPageAutomation();
    gleaner::InitCurl(); // before any run can start a request

    // The rows live as long as the process: detached runs may still append after the window closed.
    static gleaner::ResultList results;
    auto* window = new gleaner::MainWindow(programDir.toStdString(), results);
    // Unowned on purpose, like the rows: runs still going at the exit may call them.
    window->SetBrowserPane(new gleaner::WebEnginePane(window->BrowserView()));
    new gleaner::CookieBridge(window->BrowserView()->page()->profile(), gleaner::ProcessCookieStore());
    QObject::connect(window, &gleaner::MainWindow::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window->show();
    const int status = app.exec();

    // Runs on detached threads may still be working and touching process-wide objects; ending here
    // without destructors keeps them from meeting a half-destroyed world. Every file is written
    // through a temporary sibling and a rename, so none is left cut.
    std::fflush(nullptr);
    std::_Exit(status);
}
