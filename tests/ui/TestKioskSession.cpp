#include "DesktopEndBoxes.h"
#include "KioskSession.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(KioskState)

// When a kiosk's portal closes for the next person: the rule, then the
// session following a portal's desktops and idle time on its own clock.
class TestKioskSession : public QObject
{
    Q_OBJECT

private slots:
    void rule_data();
    void rule();
    void idleOnItsClock();
    void lastDesktopAfterItsBox();
};

void TestKioskSession::rule_data()
{
    QTest::addColumn<KioskState>("state");
    QTest::addColumn<bool>("closes");
    const qint64 minute = 60 * 1000;
    const auto state = [](bool shown, int running, bool started, bool box, qint64 idle, int idleMinutes) {
        KioskState s;
        s.portalShown = shown;
        s.desktopsRunning = running;
        s.desktopStarted = started;
        s.boxOpen = box;
        s.idleMilliseconds = idle;
        s.idleMinutes = idleMinutes;
        return s;
    };
    QTest::addRow("portal just opened") << state(true, 0, false, false, 0, 10) << false;
    QTest::addRow("last desktop ended") << state(true, 0, true, false, 0, 10) << true;
    QTest::addRow("last desktop ended, its box open") << state(true, 0, true, true, 0, 10) << false;
    QTest::addRow("one desktop of two still runs") << state(true, 1, true, false, 0, 10) << false;
    QTest::addRow("idle a moment short") << state(true, 0, false, false, 10 * minute - 1, 10) << false;
    QTest::addRow("idle the whole time") << state(true, 0, false, false, 10 * minute, 10) << true;
    QTest::addRow("idle, a box left open") << state(true, 0, true, true, 10 * minute, 10) << true;
    QTest::addRow("idle in a running desktop") << state(true, 1, true, false, 60 * minute, 10) << false;
    QTest::addRow("idle rule off") << state(true, 0, false, false, 600 * minute, 0) << false;
    QTest::addRow("no portal") << state(false, 0, true, false, 600 * minute, 10) << false;
}

void TestKioskSession::rule()
{
    QFETCH(KioskState, state);
    QFETCH(bool, closes);
    QCOMPARE(kioskPortalCloses(state), closes);
}

void TestKioskSession::idleOnItsClock()
{
    QWidget window;
    qint64 now = 0;
    KioskSession session(10, new DesktopEndBoxes(&window), &window);
    session.setClock([&now] { return now; });
    QSignalSpy closes(&session, &KioskSession::portalToClose);
    session.portalOpened();

    now = 9 * 60 * 1000;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(&window, &key);
    now = 18 * 60 * 1000;
    session.checkIdle();
    QCOMPARE(closes.count(), 0);
    now = 19 * 60 * 1000;
    session.checkIdle();
    QCOMPARE(closes.count(), 1);

    // A desktop running an hour is no idle portal.
    session.portalOpened();
    session.desktopStarted();
    now += 60 * 60 * 1000;
    session.checkIdle();
    QCOMPARE(closes.count(), 1);
}

void TestKioskSession::lastDesktopAfterItsBox()
{
    QWidget window;
    window.show();
    auto *boxes = new DesktopEndBoxes(&window);
    KioskSession session(10, boxes, &window);
    QSignalSpy closes(&session, &KioskSession::portalToClose);
    session.portalOpened();
    session.desktopStarted();
    session.desktopStarted();
    session.desktopEnded();
    QCOMPARE(closes.count(), 0);

    // The last one failed: its box first.
    ClientEnd end;
    end.exitCode = 154;
    boxes->report(nullptr, end);
    session.desktopEnded();
    QCOMPARE(closes.count(), 0);
    auto *box = window.findChild<QMessageBox *>();
    QVERIFY(box);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(closes.count(), 1);
}

QTEST_MAIN(TestKioskSession)
#include "TestKioskSession.moc"
