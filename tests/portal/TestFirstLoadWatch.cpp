#include "FirstLoadWatch.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

// What the engine reports about a view's loads, and whether that is a first
// page that failed.
class TestFirstLoadWatch : public QObject
{
    Q_OBJECT

private slots:
    void verdict_data();
    void verdict();
};

void TestFirstLoadWatch::verdict_data()
{
    // S: a load starts; K: a load succeeds; F: a load fails; W: the event
    // loop runs until no failure waits any more.
    QTest::addColumn<QString>("events");
    QTest::addColumn<int>("failures");
    QTest::addColumn<bool>("settled");
    QTest::addRow("fails, nothing follows") << "S F W" << 1 << true;
    QTest::addRow("succeeds") << "S K W" << 0 << true;
    QTest::addRow("aborted, the next load succeeds") << "S F S K W" << 0 << true;
    QTest::addRow("aborted, the next load still runs") << "S F S W" << 0 << false;
    QTest::addRow("aborted, the next load fails too") << "S F S F W" << 1 << true;
    QTest::addRow("next load starts after the grace time") << "S F W S K W" << 1 << true;
    QTest::addRow("fails twice without a start") << "S F F W" << 1 << true;
    QTest::addRow("told once, however often it fails") << "S F W S F W" << 1 << true;
    QTest::addRow("portal open, then a page fails") << "S K S F W" << 0 << true;
}

void TestFirstLoadWatch::verdict()
{
    QFETCH(QString, events);
    QFETCH(int, failures);
    QFETCH(bool, settled);
    FirstLoadWatch watch;
    QSignalSpy told(&watch, &FirstLoadWatch::failed);
    QElapsedTimer sinceFirstFailure;
    qint64 toldAfter = -1;
    connect(&watch, &FirstLoadWatch::failed, this, [&] { toldAfter = sinceFirstFailure.elapsed(); });

    for (const QString &event : events.split(QLatin1Char(' '))) {
        if (event == QLatin1String("S")) {
            watch.loadStarted();
        } else if (event == QLatin1String("K")) {
            watch.loadFinished(true);
        } else if (event == QLatin1String("F")) {
            if (!sinceFirstFailure.isValid())
                sinceFirstFailure.start();
            watch.loadFinished(false);
        } else {
            QTRY_VERIFY(!watch.waiting());
        }
    }
    QCOMPARE(told.size(), failures);
    QCOMPARE(watch.settled(), settled);
    if (failures)
        QVERIFY2(toldAfter >= FirstLoadWatch::graceMsecs, qPrintable(QString::number(toldAfter)));
}

QTEST_GUILESS_MAIN(TestFirstLoadWatch)
#include "TestFirstLoadWatch.moc"
