#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

// Waiting in the benchmarks. Everything timed here runs on the application's
// own event loop: a test loop's wait (QTest::qWait and its kind) processes
// events in slices with a sleep between them, and the web engine, driven
// through the Qt event loop, would spend most of a timed span in those sleeps.
namespace BenchLoop {

// Runs the event loop for ms milliseconds.
void idle(int ms);

// Runs the event loop until sender emits signal, or until timeoutMs has
// passed; true when the signal came.
template <typename Sender, typename Signal> bool runUntil(const Sender *sender, Signal signal, int timeoutMs)
{
    QEventLoop loop;
    bool fired = false;
    QObject::connect(sender, signal, &loop, [&] {
        fired = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return fired;
}

// Runs the event loop until done() holds, asking every intervalMs, or until
// timeoutMs has passed; true when it held.
template <typename Condition> bool runUntilTrue(Condition done, int intervalMs, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(intervalMs);
    loop.exec();
    return done();
}

} // namespace BenchLoop
