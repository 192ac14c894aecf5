#pragma once
// Running one script in a page from any thread, with a time-out. The scripts run in an isolated
// world, so the page's own scripts can neither see our marks nor replace the built-ins we use;
// they share the page's DOM.

#include "text/Text.h"

#include <QJsonValue>
#include <QPointer>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QWebEnginePage;

namespace gleaner {

/// The longest a worker waits for one document call.
constexpr int kDocumentCallTimeoutMs = 1000;

/// Runs script in page on the UI thread and returns the text the script evaluates to. nullopt when
/// the page is gone, the script failed or gave no text, or no answer came within timeoutMs. From a
/// worker the call is posted to the UI thread; on the UI thread a local event loop waits.
std::optional<QString> RunPageScript(const QPointer<QWebEnginePage>& page, const QString& script,
                                     int timeoutMs = kDocumentCallTimeoutMs);

/// "(function (a) { body })(args)": the arguments travel as a JSON literal, never pasted into
/// the source as raw text.
QString ScriptWithArguments(const QString& body, const QJsonValue& args);

/// Runs fn on the UI thread (at once when called there) and waits at most timeoutMs for its
/// value; nullopt when it did not run in time or the application is gone. fn may run after the
/// time-out, so it must capture values and guarded pointers only, never the caller's locals.
template <class Fn>
auto CallOnUiThread(Fn fn, int timeoutMs) -> std::optional<decltype(fn())>;

namespace detail {
bool OnUiThread();
// Posts job to the UI thread; false when there is no application.
bool PostToUiThread(std::function<void()> job);
} // namespace detail

template <class Fn>
auto CallOnUiThread(Fn fn, int timeoutMs) -> std::optional<decltype(fn())> {
    using Value = decltype(fn());
    if (detail::OnUiThread())
        return fn();
    struct Answer {
        std::mutex mutex;
        std::condition_variable cv;
        std::optional<Value> value;
    };
    auto answer = std::make_shared<Answer>();
    const bool posted = detail::PostToUiThread([answer, fn = std::move(fn)]() mutable {
        Value v = fn();
        std::lock_guard lock(answer->mutex);
        answer->value = std::move(v);
        answer->cv.notify_all();
    });
    if (!posted)
        return std::nullopt;
    std::unique_lock lock(answer->mutex);
    answer->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return answer->value.has_value(); });
    return answer->value;
}

inline QString ToQString(const Text& text) { return QString::fromStdU16String(ToUtf16(text)); }
inline Text FromQString(const QString& text) { return FromUtf16(text.toStdU16String()); }

} // namespace gleaner
