#include "LoginStepLog.h"

#include <QtTest>

using Steps = QVector<LoginStepLog::Step>;
Q_DECLARE_METATYPE(Steps)

// How the benchmark turns the launcher's begin and end lines into the time
// each step took itself after the press, and into the warm-up's span.
class TestLoginStepLog : public QObject
{
    Q_OBJECT

private slots:
    void ownTimes_data();
    void ownTimes();
    void spanBefore_data();
    void spanBefore();
};

namespace {

LoginStepLog::Step step(const char *name, double begin, double end)
{
    return {QString::fromLatin1(name), begin, end};
}

} // namespace

void TestLoginStepLog::ownTimes_data()
{
    QTest::addColumn<Steps>("steps"); // times from the press, in the order they began
    QTest::addColumn<QString>("own");

    QTest::addRow("none") << Steps() << "-";
    QTest::addRow("one, its name with '_'") << Steps {step("module load", 2, 12)} << "module_load:10.0";
    QTest::addRow("one within another")
        << Steps {step("page", 0, 10), step("profile", 2, 7)} << "page:5.0,profile:5.0";
    QTest::addRow("two levels: only the direct one is taken off") << Steps {step("window", 0, 20),
        step("page", 2, 12), step("profile", 3, 10)} << "window:10.0,page:3.0,profile:7.0";
    QTest::addRow("side by side") << Steps {step("check", 0, 5), step("module load", 5, 9)}
                                  << "check:5.0,module_load:4.0";
    QTest::addRow("overlapping is not within")
        << Steps {step("check", 0, 30), step("view", 10, 40)} << "check:30.0,view:30.0";
    QTest::addRow("done before the press: left out")
        << Steps {step("profile", -80, -40), step("navigation", 6, 60)} << "navigation:54.0";
    QTest::addRow("under way at the press: from the press")
        << Steps {step("profile", -20, 15), step("navigation", 16, 60)} << "profile:15.0,navigation:44.0";
}

void TestLoginStepLog::ownTimes()
{
    QFETCH(Steps, steps);
    QFETCH(QString, own);
    QCOMPARE(LoginStepLog::ownTimesAfter(steps), own);
}

void TestLoginStepLog::spanBefore_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QString>("span");

    QTest::addRow("nothing before") << Steps {step("check", 0, 5)} << "-";
    QTest::addRow("first begin to last end")
        << Steps {step("GL context", -90, -80), step("profile", -60, -20), step("check", 0, 5)} << "70.0";
    QTest::addRow("one under way at the press is not before")
        << Steps {step("module load", -30, -25), step("profile", -20, 15)} << "5.0";
}

void TestLoginStepLog::spanBefore()
{
    QFETCH(Steps, steps);
    QFETCH(QString, span);
    QCOMPARE(LoginStepLog::spanBefore(steps), span);
}

QTEST_GUILESS_MAIN(TestLoginStepLog)
#include "TestLoginStepLog.moc"
