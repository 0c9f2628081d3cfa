#pragma once

#include "ClientEnd.h"

#include <QList>
#include <QObject>
#include <QPointer>

class PortalView;
class QMessageBox;
class QWidget;

// Says why a desktop ended, when it was not the user's choice, in boxes over
// the window that do not block: the portal and other desktops go on. One box
// at a time, at most one per desktop; Reconnect, where a new try may mend
// it, starts a new client on the same desktop's file.
class DesktopEndBoxes : public QObject
{
    Q_OBJECT

public:
    explicit DesktopEndBoxes(QWidget *window);

    // A client of view's ended; view may be gone by the time the box shows.
    void report(PortalView *view, const ClientEnd &end);

    // True while a box is shown or waits.
    bool isBusy() const;

    // The sentence for reason, in the installed language.
    static QString sentence(ClientEndReason reason, const ClientEnd &end);

signals:
    // The last box there was has been answered (after a Reconnect's start).
    void allAnswered();

private:
    struct Pending
    {
        QPointer<PortalView> view;
        ClientEnd end;
        ClientEndReason reason;
    };

    void showNext();
    void answer(const Pending &pending, bool reconnect);

    QWidget *window;
    QList<Pending> waiting;
    QPointer<QMessageBox> shown;
    // The desktop of the box shown: a second end of it waits for no box.
    Pending current;
};
