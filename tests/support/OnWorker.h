#pragma once
// Runs fn on a worker thread, as a collection run calls the browser, while this (the UI) thread keeps
// the browser's events flowing; returns fn's result. The calls' own time-outs bound fn; limitMs only
// stops pumping events if fn misbehaves.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <thread>

namespace gleaner::test {

template <class Fn>
auto OnWorker(Fn fn, int limitMs = 50000) -> decltype(fn()) {
    std::atomic<bool> done{false};
    decltype(fn()) value{};
    std::thread worker([&] {
        value = fn();
        done = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    return value;
}

} // namespace gleaner::test
