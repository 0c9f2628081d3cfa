#pragma once

#include <QObject>

#include <functional>

class DesktopEndBoxes;
class QTimer;

// What a kiosk's portal is doing, for the rule below.
struct KioskState
{
    bool portalShown = false;
    int desktopsRunning = 0;
    // A desktop was started from this portal.
    bool desktopStarted = false;
    // A box about a desktop's end waits for its answer.
    bool boxOpen = false;
    qint64 idleMilliseconds = 0;
    // 0: never idle.
    int idleMinutes = 0;
};

// True when a kiosk's portal closes for the next person: its last desktop has
// ended and every box about it is answered, or nobody has touched it for
// idleMinutes while no desktop runs.
bool kioskPortalCloses(const KioskState &state);

// Watches a kiosk's portal and says when it closes: follows its desktops
// and the boxes about their ends, and the keyboard and pointer anywhere in
// the launcher.
class KioskSession : public QObject
{
    Q_OBJECT

public:
    KioskSession(int idleMinutes, DesktopEndBoxes *boxes, QObject *parent);

    // Milliseconds from any fixed point; the wall clock's by default.
    void setClock(std::function<qint64()> clock);

    void portalOpened();
    void portalClosed();
    void desktopStarted();
    void desktopEnded();
    // Closes an idle portal; called every few seconds.
    void checkIdle();

signals:
    void portalToClose();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    KioskState stateNow() const;
    void reconsider();

    DesktopEndBoxes *boxes;
    std::function<qint64()> clock;
    QTimer *idleTimer;
    int idleMinutes;
    bool portalShown = false;
    int desktopsRunning = 0;
    bool anyDesktopStarted = false;
    qint64 idleSince = 0;
};
