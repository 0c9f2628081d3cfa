#include "KioskSession.h"

#include "DesktopEndBoxes.h"

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QTimer>

bool kioskPortalCloses(const KioskState &state)
{
    if (!state.portalShown || state.desktopsRunning > 0)
        return false;
    if (state.desktopStarted && !state.boxOpen)
        return true;
    // A box left unanswered must not keep the last user's portal open.
    return state.idleMinutes > 0 && state.idleMilliseconds >= qint64(state.idleMinutes) * 60 * 1000;
}

KioskSession::KioskSession(int idleMinutes, DesktopEndBoxes *boxes, QObject *parent)
    : QObject(parent)
    , boxes(boxes)
    , clock([] { return QDateTime::currentMSecsSinceEpoch(); })
    , idleTimer(new QTimer(this))
    , idleMinutes(idleMinutes)
{
    connect(boxes, &DesktopEndBoxes::allAnswered, this, &KioskSession::reconsider);
    connect(idleTimer, &QTimer::timeout, this, &KioskSession::checkIdle);
    qApp->installEventFilter(this);
}

void KioskSession::setClock(std::function<qint64()> newClock)
{
    clock = std::move(newClock);
    idleSince = clock();
}

void KioskSession::portalOpened()
{
    portalShown = true;
    desktopsRunning = 0;
    anyDesktopStarted = false;
    idleSince = clock();
    if (idleMinutes > 0)
        idleTimer->start(10 * 1000);
}

void KioskSession::portalClosed()
{
    portalShown = false;
    idleTimer->stop();
}

void KioskSession::desktopStarted()
{
    ++desktopsRunning;
    anyDesktopStarted = true;
}

void KioskSession::desktopEnded()
{
    desktopsRunning = qMax(0, desktopsRunning - 1);
    // Idle from now: the user was in the desktop until it ended.
    idleSince = clock();
    reconsider();
}

void KioskSession::checkIdle()
{
    reconsider();
}

KioskState KioskSession::stateNow() const
{
    KioskState state;
    state.portalShown = portalShown;
    state.desktopsRunning = desktopsRunning;
    state.desktopStarted = anyDesktopStarted;
    state.boxOpen = boxes->isBusy();
    state.idleMilliseconds = clock() - idleSince;
    state.idleMinutes = idleMinutes;
    return state;
}

void KioskSession::reconsider()
{
    if (kioskPortalCloses(stateNow()))
        emit portalToClose();
}

bool KioskSession::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        idleSince = clock();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
