#include "LogWriter.h"
#include "support/TestFiles.h"
#include "support/TestHome.h"

#include <QFile>
#include <QThread>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <sys/stat.h>

class TestLogWriter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void lineLayout_data();
    void lineLayout();
    void maskedByValue_data();
    void maskedByValue();
    void appendsWithCrLf();
    void threadsWriteWholeLines();
    void missingDirectoryLeavesNoFile();
    void failedOpenDoesNotRecurse_data();
    void failedOpenDoesNotRecurse();
    void dayChangeLosesNothing();
    void privateModes_data();
    void privateModes();
    void retention_data();
    void retention();
    void dailyLimit_data();
    void dailyLimit();

private:
    QByteArray todaysLog() const;
    QScopedPointer<TestHome> home;
};

void TestLogWriter::init()
{
    home.reset(new TestHome);
    QVERIFY(home->isValid());
    QVERIFY(home->makeAppConfigDir());
}

void TestLogWriter::cleanup()
{
    qInstallMessageHandler(nullptr);
    setLogClock({});
    home.reset();
}

QByteArray TestLogWriter::todaysLog() const
{
    QFile file(logFilePath(QDate::currentDate()));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void TestLogWriter::lineLayout_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("line");
    const QString stamp = QStringLiteral("(2026-12-06 07:09:28 )");
    QTest::addRow("debug") << int(QtDebugMsg) << "ABC" << stamp + " Debug: ABC";
    QTest::addRow("warning") << int(QtWarningMsg) << "ABC" << stamp + " Warning: ABC";
    QTest::addRow("critical") << int(QtCriticalMsg) << "ABC" << stamp + " Critical: ABC";
    QTest::addRow("fatal") << int(QtFatalMsg) << "ABC" << stamp + " Fatal: ABC";
    QTest::addRow("info has no label") << int(QtInfoMsg) << "ABC" << stamp + "  ABC";
    QTest::addRow("placeholder kept") << int(QtDebugMsg) << "50%1 %2 done" << stamp + " Debug: 50%1 %2 done";
    QTest::addRow("chinese") << int(QtDebugMsg) << QStringLiteral("错误")
                             << stamp + QStringLiteral(" Debug: 错误");
}

void TestLogWriter::lineLayout()
{
    QFETCH(int, type);
    QFETCH(QString, message);
    QFETCH(QString, line);
    const QDateTime stamp(QDate(2026, 12, 6), QTime(7, 9, 28, 640));
    QCOMPARE(formatLogLine(QtMsgType(type), stamp, message), line);
}

void TestLogWriter::maskedByValue_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("logged");
    const QStringList password {"S3cr3t pw%", "S3cr3t%20pw%25"};
    QTest::addRow("under another name") << password << "value: S3cr3t pw%"
                                        << "value: ***";
    QTest::addRow("percent-encoded in a query") << password << "https://p/?username=a&pw=S3cr3t%20pw%25&sid=1"
                                                << "https://p/?username=a&pw=***&sid=1";
    QTest::addRow("twice") << password << "S3cr3t pw%S3cr3t pw%"
                           << "******";
    QTest::addRow("inside a longer one") << QStringList {"Gw-Pa55", "Gw-Pa55word"} << "was Gw-Pa55word"
                                         << "was ***";
    QTest::addRow("too short to hide by value") << QStringList {"abc"} << "abcdef"
                                                << "abcdef";
    QTest::addRow("other text untouched") << password << "S3cr3t pw"
                                          << "S3cr3t pw";
}

void TestLogWriter::maskedByValue()
{
    QFETCH(QStringList, values);
    QFETCH(QString, message);
    QFETCH(QString, logged);
    forgetMaskedValues();
    maskInLog(values);
    qInstallMessageHandler(logMessageHandler);
    qDebug().noquote() << message;
    qInstallMessageHandler(nullptr);
    forgetMaskedValues();
    QVERIFY2(
        todaysLog().endsWith(QByteArray(" Debug: " + logged.toUtf8() + "\r\n")), todaysLog().constData());
}

void TestLogWriter::appendsWithCrLf()
{
    qInstallMessageHandler(logMessageHandler);
    qDebug("first");
    qWarning("second %s", "100%1");
    qInfo("third");
    qInstallMessageHandler(nullptr);

    const QList<QByteArray> lines = todaysLog().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.last().isEmpty());
    const QRegularExpression layout(QStringLiteral(R"(^\(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \) (.*)\r$)"));
    const QStringList bodies {
        QStringLiteral("Debug: first"), QStringLiteral("Warning: second 100%1"), QStringLiteral(" third")};
    for (int i = 0; i < 3; ++i) {
        const QRegularExpressionMatch match = layout.match(QString::fromUtf8(lines.at(i)));
        QVERIFY2(match.hasMatch(), lines.at(i).constData());
        QCOMPARE(match.captured(1), bodies.at(i));
    }
}

void TestLogWriter::threadsWriteWholeLines()
{
    constexpr int threadCount = 6;
    constexpr int linesPerThread = 300;
    const QString filler(200, QLatin1Char('x'));
    qInstallMessageHandler(logMessageHandler);
    std::vector<QThread *> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.push_back(QThread::create([t, filler] {
            for (int i = 0; i < linesPerThread; ++i)
                qDebug().noquote() << QStringLiteral("T%1-L%2").arg(t).arg(i) << filler;
        }));
    }
    for (QThread *thread : threads)
        thread->start();
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(60000));
        delete thread;
    }
    qInstallMessageHandler(nullptr);

    QList<QByteArray> lines = todaysLog().split('\n');
    QVERIFY(lines.takeLast().isEmpty());
    QCOMPARE(lines.size(), threadCount * linesPerThread);
    const QRegularExpression layout(QStringLiteral(R"(^\([0-9: -]{19} \) Debug: T(\d)-L(\d+) x{200}\r$)"));
    QVector<int> next(threadCount, 0);
    for (const QByteArray &line : std::as_const(lines)) {
        const QRegularExpressionMatch match = layout.match(QString::fromLatin1(line));
        QVERIFY2(match.hasMatch(), line.constData());
        const int thread = match.captured(1).toInt();
        // Each thread's lines arrive whole and in its own order.
        QCOMPARE(match.captured(2).toInt(), next[thread]++);
    }
}

void TestLogWriter::missingDirectoryLeavesNoFile()
{
    QVERIFY(QDir(home->appConfigDir()).removeRecursively());
    logMessageHandler(QtWarningMsg, QMessageLogContext(), QStringLiteral("nowhere to go"));
    QVERIFY(!QFile::exists(logFilePath(QDate::currentDate())));
    QVERIFY(!QDir(home->appConfigDir()).exists());
}

void TestLogWriter::failedOpenDoesNotRecurse_data()
{
    QTest::addColumn<bool>("opens");
    QTest::addRow("day's file is a folder") << false;
    QTest::addRow("day's file opens") << true;
}

void TestLogWriter::failedOpenDoesNotRecurse()
{
    // Whatever reports a problem from inside the handler (the file layer after
    // a failed open) comes straight back into it. The clock is read in there
    // too, so a clock that warns stands in for it: the nested message must be
    // dropped, neither recursing nor waiting forever on the handler's own lock.
    // The handler is called directly: Qt's own dispatch would already divert
    // a nested message to the standard error output, hiding a missing guard.
    QFETCH(bool, opens);
    const QDate day(2026, 12, 6);
    if (!opens)
        QVERIFY(QDir().mkpath(logFilePath(day)));
    QAtomicInt readings = 0;
    setLogClock([&readings, day] {
        readings.fetchAndAddRelaxed(1);
        qWarning("from inside the handler");
        return QDateTime(day, QTime(8, 0));
    });
    qInstallMessageHandler(logMessageHandler);
    QThread *writer = QThread::create(
        [] { logMessageHandler(QtWarningMsg, QMessageLogContext(), QStringLiteral("outer")); });
    writer->start();
    if (!writer->wait(10000)) {
        // The thread holds the log lock for good; nothing after this could run.
        std::fprintf(stderr, "FAIL: the handler re-entered itself and hangs\n");
        std::_Exit(EXIT_FAILURE);
    }
    delete writer;
    qInstallMessageHandler(nullptr);
    QCOMPARE(int(readings), 2);
    QFile file(logFilePath(day));
    if (opens) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("(2026-12-06 08:00:00 ) Warning: outer\r\n"));
    } else {
        QVERIFY(QFileInfo(logFilePath(day)).isDir());
    }
}

void TestLogWriter::dayChangeLosesNothing()
{
    // The stamp is read just before midnight, the file name just after.
    const QDateTime before(QDate(2026, 12, 6), QTime(23, 59, 59, 999));
    const QDateTime after(QDate(2026, 12, 7), QTime(0, 0, 0, 0));
    QVector<QDateTime> readings {before, after};
    setLogClock([&readings] { return readings.isEmpty() ? QDateTime() : readings.takeFirst(); });
    logMessageHandler(QtDebugMsg, QMessageLogContext(), QStringLiteral("at midnight"));
    setLogClock({});
    QVERIFY(readings.isEmpty());

    QVERIFY(!QFile::exists(logFilePath(before.date())));
    QFile file(logFilePath(after.date()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("(2026-12-06 23:59:59 ) Debug: at midnight\r\n"));
}

void TestLogWriter::privateModes_data()
{
    QTest::addColumn<int>("dirBefore");
    QTest::addColumn<int>("fileBefore"); // -1: missing

    QTest::addRow("new day") << 0700 << -1;
    QTest::addRow("folder from an earlier version") << 0755 << 0644;
    QTest::addRow("open to all") << 0777 << 0666;
    QTest::addRow("private already") << 0700 << 0600;
}

void TestLogWriter::privateModes()
{
    QFETCH(int, dirBefore);
    QFETCH(int, fileBefore);
    const QString path = logFilePath(QDate::currentDate());
    QVERIFY(::chmod(QFile::encodeName(home->appConfigDir()).constData(), mode_t(dirBefore)) == 0);
    if (fileBefore >= 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("(earlier) Debug: old line\r\n");
        file.close();
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(fileBefore)) == 0);
    }
    const mode_t previous = ::umask(022);
    logMessageHandler(QtDebugMsg, QMessageLogContext(), QStringLiteral("private line"));
    ::umask(previous);
    QCOMPARE(modeOf(home->appConfigDir()), 0700);
    QCOMPARE(modeOf(path), 0600);
    QVERIFY(todaysLog().endsWith("Debug: private line\r\n"));
    QCOMPARE(todaysLog().startsWith("(earlier)"), fileBefore >= 0);
}

namespace {

const QDate today(2026, 12, 6);

QString dayFile(int age)
{
    return today.addDays(-age).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt");
}

} // namespace

void TestLogWriter::retention_data()
{
    QTest::addColumn<int>("keepDays");
    QTest::addColumn<QString>("name"); // ending in "/": a folder
    QTest::addColumn<bool>("removed");
    QTest::addRow("31 days old") << 30 << dayFile(31) << true;
    QTest::addRow("30 days old") << 30 << dayFile(30) << false;
    QTest::addRow("a year old") << 30 << dayFile(365) << true;
    QTest::addRow("future day") << 30 << dayFile(-2) << false;
    QTest::addRow("one day, two old") << 1 << dayFile(2) << true;
    QTest::addRow("one day, yesterday") << 1 << dayFile(1) << false;
    QTest::addRow("0 keeps all") << 0 << dayFile(400) << false;
    QTest::addRow("negative keeps all") << -3 << dayFile(400) << false;
    QTest::addRow("not a log") << 30 << "notes.txt" << false;
    QTest::addRow("settings") << 30 << "ClientConfig.ini" << false;
    QTest::addRow("no such day") << 30 << "2020-02-30.txt" << false;
    QTest::addRow("copy of a log") << 30 << "2020-01-01.txt.bak" << false;
    QTest::addRow("folder named like a day") << 30 << "2020-01-01.txt/" << false;
}

void TestLogWriter::retention()
{
    QFETCH(int, keepDays);
    QFETCH(QString, name);
    QFETCH(bool, removed);
    const QString dir = home->appConfigDir() + QLatin1Char('/');
    if (name.endsWith(QLatin1Char('/')))
        QVERIFY(QDir().mkpath(dir + name));
    else
        QVERIFY(writeFile(dir + name, "(2020-01-01 00:00:00 ) Debug: old\r\n"));
    QVERIFY(writeFile(dir + dayFile(0), "today\r\n"));

    QCOMPARE(removeExpiredLogs(today, keepDays), removed ? 1 : 0);
    QCOMPARE(QFileInfo::exists(dir + name), !removed);
    QVERIFY(QFile::exists(dir + dayFile(0)));
}

void TestLogWriter::dailyLimit_data()
{
    QTest::addColumn<qint64>("room"); // free bytes below the limit before the message
    QTest::addColumn<bool>("stoppedBefore"); // the file already ends with the last line
    QTest::addColumn<int>("length");
    QTest::addColumn<QStringList>("kept"); // the lines the day's file takes, in order

    const qint64 stopLine
        = QByteArray("(2026-12-06 08:00:00 ) Warning: ").size() + logStoppedText().size() + 2;
    const qint64 line100 = QByteArray("(2026-12-06 08:00:00 ) Debug: ").size() + 100 + 2;
    QTest::addRow("far below") << qint64(logFileLimit / 2) << false << 100
                               << QStringList {"message", "later", "back again"};
    QTest::addRow("fits with room for the last line")
        << line100 + stopLine << false << 100 << QStringList {"message", "stop"};
    QTest::addRow("one byte short") << line100 + stopLine - 1 << false << 100 << QStringList {"stop"};
    QTest::addRow("one long line") << qint64(logFileLimit / 2) << false << int(logFileLimit / 2)
                                   << QStringList {"stop"};
    QTest::addRow("stopped by an earlier run") << qint64(logFileLimit / 2) << true << 100 << QStringList();
}

void TestLogWriter::dailyLimit()
{
    QFETCH(qint64, room);
    QFETCH(bool, stoppedBefore);
    QFETCH(int, length);
    QFETCH(QStringList, kept);
    const QDate next = today.addDays(1);
    QDate day = today;
    setLogClock([&day] { return QDateTime(day, QTime(8, 0)); });
    QByteArray before(int(logFileLimit - room - 2), 'x');
    before += "\r\n";
    if (stoppedBefore)
        before += "(2026-12-05 23:00:00 ) Warning: " + logStoppedText().toLatin1() + "\r\n";
    QVERIFY(writeFile(logFilePath(today), before));

    const QString message(length, QLatin1Char('m'));
    logMessageHandler(QtDebugMsg, QMessageLogContext(), message);
    logMessageHandler(QtDebugMsg, QMessageLogContext(), QStringLiteral("later"));
    day = next;
    logMessageHandler(QtDebugMsg, QMessageLogContext(), QStringLiteral("next day"));
    day = today;
    logMessageHandler(QtDebugMsg, QMessageLogContext(), QStringLiteral("back again"));

    QFile file(logFilePath(today));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.size() <= qMax(logFileLimit, qint64(before.size())));
    QVERIFY(file.read(before.size()) == before);
    const QByteArray added = file.readAll();
    QByteArray expected;
    for (const QString &line : kept) {
        if (line == QLatin1String("stop"))
            expected += "(2026-12-06 08:00:00 ) Warning: " + logStoppedText().toLatin1() + "\r\n";
        else
            expected += "(2026-12-06 08:00:00 ) Debug: "
                + (line == QLatin1String("message") ? message : line).toLatin1() + "\r\n";
    }
    QCOMPARE(added.size(), expected.size());
    QVERIFY(added == expected);

    // The next day starts afresh.
    QFile nextFile(logFilePath(next));
    QVERIFY(nextFile.open(QIODevice::ReadOnly));
    QCOMPARE(nextFile.readAll(), QByteArray("(2026-12-07 08:00:00 ) Debug: next day\r\n"));
}

QTEST_GUILESS_MAIN(TestLogWriter)
#include "TestLogWriter.moc"
