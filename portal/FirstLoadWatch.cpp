#include "FirstLoadWatch.h"

FirstLoadWatch::FirstLoadWatch(QObject *parent)
    : QObject(parent)
{
    grace.setSingleShot(true);
    // A coarse timer may fire up to 5 % early, inside the grace time.
    grace.setTimerType(Qt::PreciseTimer);
    grace.setInterval(graceMsecs);
    connect(&grace, &QTimer::timeout, this, [this] {
        done = true;
        emit failed();
    });
}

bool FirstLoadWatch::waiting() const
{
    return grace.isActive();
}

bool FirstLoadWatch::settled() const
{
    return done;
}

void FirstLoadWatch::loadStarted()
{
    grace.stop();
}

void FirstLoadWatch::loadFinished(bool ok)
{
    if (done)
        return;
    if (ok) {
        grace.stop();
        done = true;
        return;
    }
    // A second failure without a start between keeps the first deadline.
    if (!grace.isActive())
        grace.start();
}
