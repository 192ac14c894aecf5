// Posting scripts to the page's thread and waiting for their answers, bounded.

#include "app/WebEngineScript.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace gleaner {

namespace detail {

bool OnUiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool PostToUiThread(std::function<void()> job) {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QMetaObject::invokeMethod(app, std::move(job), Qt::QueuedConnection);
}

} // namespace detail

namespace {

// Shared between the waiting caller and the script's callback, which may come after the caller
// gave up.
struct ScriptAnswer {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    std::optional<QString> value;
    QEventLoop* loop = nullptr; // UI-thread waits only; touched on the UI thread alone

    void Give(std::optional<QString> v) {
        {
            std::lock_guard lock(mutex);
            if (done)
                return;
            done = true;
            value = std::move(v);
        }
        cv.notify_all();
    }
};

void StartScript(const QPointer<QWebEnginePage>& page, const QString& script,
                 const std::shared_ptr<ScriptAnswer>& answer) {
    if (!page) {
        answer->Give(std::nullopt);
        return;
    }
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [answer](const QVariant& result) {
        answer->Give(result.typeId() == QMetaType::QString ? std::optional<QString>(result.toString())
                                                           : std::nullopt);
        if (answer->loop)
            answer->loop->quit();
    });
}

} // namespace

std::optional<QString> RunPageScript(const QPointer<QWebEnginePage>& page, const QString& script, int timeoutMs) {
    auto answer = std::make_shared<ScriptAnswer>();
    if (detail::OnUiThread()) {
        // Called on the page's own thread: the answer arrives through the event loop, so wait in a
        // local one rather than blocking it.
        StartScript(page, script, answer);
        {
            std::lock_guard lock(answer->mutex);
            if (answer->done)
                return answer->value;
        }
        QEventLoop loop;
        answer->loop = &loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        answer->loop = nullptr;
        std::lock_guard lock(answer->mutex);
        answer->done = true; // a late answer is dropped
        return answer->value;
    }
    if (!detail::PostToUiThread([page, script, answer] { StartScript(page, script, answer); }))
        return std::nullopt;
    std::unique_lock lock(answer->mutex);
    if (!answer->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return answer->done; })) {
        answer->done = true;
        return std::nullopt;
    }
    return answer->value;
}

QString ScriptWithArguments(const QString& body, const QJsonValue& args) {
    QByteArray json;
    if (args.isObject())
        json = QJsonDocument(args.toObject()).toJson(QJsonDocument::Compact);
    else if (args.isArray())
        json = QJsonDocument(args.toArray()).toJson(QJsonDocument::Compact);
    else
        json = "null";
    return QStringLiteral("(function (a) {\n") + body + QStringLiteral("\n})(") + QString::fromUtf8(json) +
           QStringLiteral(")");
}

} // namespace gleaner
