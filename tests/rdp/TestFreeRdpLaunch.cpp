#include "FreeRdpClient.h"
#include "FreeRdpLauncher.h"
#include "FreeRdpProbe.h"
#include "RdpTranslation.h"
#include "support/FakeClient.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

// The address sanitizer holds freed memory back on purpose: resident memory
// says nothing about the launcher then.
#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER
#endif
#endif

namespace {

const QByteArray exampleFile = "screen mode id:i:2\r\n"
                               "full address:s:10.1.1.1\r\n"
                               "gatewayhostname:s:10.0.0.5\r\n"
                               "gatewayusername:s:gwuser\r\n"
                               "videoplaybackmode:i:1\r\n"
                               "use multimon:i:1\r\n"
                               "redirectprinters:i:1\r\n"
                               "drivestoredirect:s:*\r\n"
                               "usbdevicestoredirect:s:*\r\n";

} // namespace

Q_DECLARE_METATYPE(FreeRdpDialect)

class TestFreeRdpLaunch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void exactArguments();
    void pathWithBlankIsOneArgument();
    void eachLaunchStartsOneClient();
    void clientsEndWithTheirOwner();
    void missingClientIsLoggedOnce();
    void logLine_data();
    void logLine();
    void freeRdp3Arguments_data();
    void freeRdp3Arguments();
    void gatewayValueRefused();
    void failingClientLeavesItsReason();
    void endsBySignal();
    void runningClientWritesNothingMore();
    void endedByTheLauncher_data();
    void endedByTheLauncher();
    void endedJustBeforeItsOwner_data();
    void endedJustBeforeItsOwner();
    void floodKeepsOnlyATail();
    void promptGetsNoAnswer();
    void probe_data();
    void probe();
    void probeGivesUp();

private:
    QStringList translated(const QString &path) const
    {
        return QStringList {path} + rdpOptions(readRdpHead(QFile::encodeName(path)));
    }

    QScopedPointer<FakeClient> fake;
    QScopedPointer<MessageRecorder> recorder;
    QString previousDir;
};

void TestFreeRdpLaunch::initTestCase()
{
    previousDir = QDir::currentPath();
}

void TestFreeRdpLaunch::init()
{
    fake.reset(new FakeClient);
    QVERIFY(QDir::setCurrent(fake->workDir()));
    recorder.reset(new MessageRecorder);
}

void TestFreeRdpLaunch::cleanup()
{
    for (const char *name : {"FAKE_FREERDP_OUTPUT", "FAKE_FREERDP_FLOOD_MIB", "FAKE_FREERDP_READ_STDIN",
             "FAKE_FREERDP_EXIT", "FAKE_FREERDP_VERSION", "FAKE_FREERDP_ON_TERM"})
        qunsetenv(name);
    recorder.reset();
    QVERIFY(QDir::setCurrent(previousDir));
    fake.reset();
}

void TestFreeRdpLaunch::exactArguments()
{
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, exampleFile));
    QObject owner;
    FreeRdpLauncher::start(translated(path), &owner);
    QTRY_COMPARE(fake->calls().size(), 1);
    // The upstream client gets the translated list less what it cannot take.
    const QStringList expected {path, QStringLiteral("/g:10.0.0.5"), QStringLiteral("/gu:gwuser"),
        QStringLiteral("/multimon"), QStringLiteral("/f"), QStringLiteral("/sound:latency:200"),
        QStringLiteral("-window-drag"), QStringLiteral("-offscreen-cache"), QStringLiteral("-glyph-cache"),
        QStringLiteral("-bitmap-cache"), QStringLiteral("/rfx"), QStringLiteral("/cert:ignore"),
        QStringLiteral("/printer"), QStringLiteral("+drives"), QStringLiteral("/usb:auto")};
    QCOMPARE(fake->calls().first(), expected);
    QCOMPARE(recorder->messages().first(),
        QStringLiteral("\"%1\"").arg(fake->workDir() + QStringLiteral("/xfreerdp")));
}

void TestFreeRdpLaunch::pathWithBlankIsOneArgument()
{
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    // A blank, and a user name outside Latin-1: the file must still be read.
    QVERIFY(QDir().mkpath(fake->workDir() + QStringLiteral("/John Smith/张三")));
    const QString path = fake->workDir() + QStringLiteral("/John Smith/张三/tmp.rdp");
    QVERIFY(writeFile(path, "gatewayhostname:s:gate way.example\r\n"));
    QObject owner;
    FreeRdpLauncher::start(translated(path), &owner);
    QTRY_COMPARE(fake->calls().size(), 1);
    const QStringList call = fake->calls().first();
    QCOMPARE(call.first(), path);
    QCOMPARE(call.at(1), QStringLiteral("/g:gate way.example"));
}

void TestFreeRdpLaunch::eachLaunchStartsOneClient()
{
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, exampleFile));
    QObject owner;
    FreeRdpLauncher::start(translated(path), &owner);
    FreeRdpLauncher::start(translated(path), &owner);
    QTRY_COMPARE(fake->calls().size(), 2);
    QCOMPARE(fake->calls().at(0), fake->calls().at(1));
    QCOMPARE(owner.findChildren<QProcess *>().size(), 2);
}

void TestFreeRdpLaunch::clientsEndWithTheirOwner()
{
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, QByteArray()));
    auto *owner = new QObject;
    FreeRdpLauncher::start(translated(path), owner);
    FreeRdpLauncher::start(translated(path), owner);
    QTRY_COMPARE(fake->running(), 2);
    delete owner;
    QCOMPARE(fake->running(), 0);
}

void TestFreeRdpLaunch::missingClientIsLoggedOnce()
{
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, exampleFile));
    QObject owner;
    QProcess *process = FreeRdpLauncher::start(translated(path), &owner);
    QTRY_COMPARE(process->state(), QProcess::NotRunning);
    QTRY_VERIFY(recorder->lastType() == QtWarningMsg);
    const QStringList warnings = recorder->messages().filter(QStringLiteral("failed to start"));
    QCOMPARE(warnings.size(), 1);
    QVERIFY(warnings.first().contains(fake->workDir() + QStringLiteral("/xfreerdp")));
    // The launcher goes on: a client put in place afterwards starts.
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    FreeRdpLauncher::start(translated(path), &owner);
    QTRY_COMPARE(fake->calls().size(), 1);
}

void TestFreeRdpLaunch::logLine_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("line");
    QTest::addRow("no recognised key")
        << QByteArray("screen mode id:i:1\r\n")
        << "%1 /f /sound:latency:200 -window-drag -offscreen-cache -glyph-cache "
           "-bitmap-cache /rfx /cert:ignore";
    QTest::addRow("gateway password masked")
        << QByteArray("gatewayhostname:s:gw\r\ngatewaypassword:s:Top$ecret\r\n")
        << "%1 /g:gw /gp:*** /f /sound:latency:200 -window-drag -offscreen-cache -glyph-cache -bitmap-cache "
           "/rfx /cert:ignore";
}

void TestFreeRdpLaunch::logLine()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, line);
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, file));
    QObject owner;
    FreeRdpLauncher::start(translated(path), &owner);
    const QStringList messages = recorder->messages();
    QCOMPARE(messages.size(), 2);
    // The list actually passed: the deny-all USB default has no upstream form and is left out.
    QCOMPARE(messages.at(1), QStringLiteral("\"%1\"").arg(line.arg(path)));
    for (const QString &message : std::as_const(messages))
        QVERIFY(!message.contains(QLatin1String("Top$ecret")));
    QTRY_COMPARE(fake->calls().size(), 1);
    if (file.contains("Top$ecret"))
        QVERIFY(fake->calls().first().contains(QStringLiteral("/gp:Top$ecret")));
}

void TestFreeRdpLaunch::freeRdp3Arguments_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("options"); // after the file path
    QTest::addColumn<QString>("line"); // the start line, %1 the file path

    QTest::addRow("no password: empty /p:")
        << QByteArray("full address:s:10.1.1.1\r\nusername:s:bob\r\n")
        << QStringList {"/p:", "/f", "/sound:latency:200", "-window-drag",
               "/cache:bitmap:off,glyph:off,offscreen:off", "/rfx", "/cert:ignore"}
        << "%1 /p:*** /f /sound:latency:200 -window-drag /cache:bitmap:off,glyph:off,offscreen:off /rfx "
           "/cert:ignore";
    QTest::addRow("password in the file, gateway folded")
        << QByteArray("password 51:b:0100AB\r\ngatewayhostname:s:gw\r\ngatewayusername:s:u\r\n"
                      "gatewaypassword:s:Top$ecret\r\nservertoclientclipboard:i:0\r\n")
        << QStringList {"/gateway:g:gw,u:u,p:Top$ecret", "/f", "/sound:latency:200", "-window-drag",
               "/cache:bitmap:off,glyph:off,offscreen:off", "/rfx", "/cert:ignore",
               "/clipboard:direction-to:remote"}
        << "%1 /gateway:g:gw,u:u,p:*** /f /sound:latency:200 -window-drag "
           "/cache:bitmap:off,glyph:off,offscreen:off /rfx /cert:ignore /clipboard:direction-to:remote";
}

void TestFreeRdpLaunch::freeRdp3Arguments()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, options);
    QFETCH(QString, line);
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, file));
    QObject owner;
    QVERIFY(FreeRdpLauncher::start(translated(path), &owner, FreeRdpDialect::FreeRdp3));
    QTRY_COMPARE(fake->calls().size(), 1);
    QCOMPARE(fake->calls().first(), QStringList {path} + options);
    // All of it came through standard input: the process list shows nothing else.
    QCOMPARE(fake->records(QStringLiteral("argv")), QList<QByteArray> {"/args-from:stdin\n"});
    QCOMPARE(recorder->messages().size(), 2);
    QCOMPARE(recorder->messages().at(1), QStringLiteral("\"%1\"").arg(line.arg(path)));
}

void TestFreeRdpLaunch::gatewayValueRefused()
{
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, "gatewayhostname:s:gw\r\ngatewaypassword:s:one,two\r\n"));
    QObject owner;
    QCOMPARE(FreeRdpLauncher::start(translated(path), &owner, FreeRdpDialect::FreeRdp3), nullptr);
    QCOMPARE(recorder->messages().size(), 1);
    QCOMPARE(recorder->lastType(), QtWarningMsg);
    QVERIFY(recorder->messages().first().contains(QLatin1String("gateway password")));
    QVERIFY(!recorder->messages().first().contains(QLatin1String("one")));
    QVERIFY(owner.findChildren<QProcess *>().isEmpty());
    // FreeRDP 2 takes the value as it is.
    QVERIFY(FreeRdpLauncher::start(translated(path), &owner, FreeRdpDialect::FreeRdp2));
    QTRY_COMPARE(fake->calls().size(), 1);
    QVERIFY(fake->calls().first().contains(QStringLiteral("/gp:one,two")));
}

void TestFreeRdpLaunch::failingClientLeavesItsReason()
{
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, exampleFile));
    qputenv("FAKE_FREERDP_OUTPUT",
        "[INFO] connecting\n\x1b[31m[ERROR]\x1b[0m logon as /u:bob /p:Hunter2 failed\r\n"
        "gateway /gateway:g:gw,p:GwSecret,u:x refused\nthe Password is: Hunter2\n"
        "ERRCONNECT_CONNECT_FAILED [0x00020006]\n");
    qputenv("FAKE_FREERDP_EXIT", "3");
    QObject owner;
    QProcess *process = FreeRdpLauncher::start(translated(path), &owner);
    QTRY_COMPARE(process->state(), QProcess::NotRunning);
    const QStringList ended = recorder->messages().filter(QStringLiteral("FreeRDP client ended"));
    QCOMPARE(ended.size(), 1);
    const QString line = ended.first();
    QCOMPARE(recorder->lastType(), QtWarningMsg);
    QVERIFY2(line.contains(QLatin1String("exit code 3 after ")), qPrintable(line));
    QVERIFY2(line.contains(QLatin1String("[ERROR] logon as /u:bob /p:*** failed | gateway "
                                         "/gateway:g:gw,p:***,u:x refused | the Password***")),
        qPrintable(line));
    QVERIFY2(line.endsWith(QLatin1String(" | ERRCONNECT_CONNECT_FAILED [0x00020006]")), qPrintable(line));
    QVERIFY(!line.contains(QLatin1String("Hunter2")));
    QVERIFY(!line.contains(QLatin1String("GwSecret")));
    QVERIFY(!line.contains(QLatin1Char('\x1b')));
    QVERIFY(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
}

void TestFreeRdpLaunch::endsBySignal()
{
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, QByteArray()));
    qputenv("FAKE_FREERDP_OUTPUT", "about to be killed\n");
    QObject owner;
    QProcess *process = FreeRdpLauncher::start(translated(path), &owner);
    QTRY_COMPARE(fake->running(), 1);
    ::kill(pid_t(process->processId()), SIGTERM);
    QTRY_COMPARE(process->state(), QProcess::NotRunning);
    const QStringList ended = recorder->messages().filter(QStringLiteral("FreeRDP client ended"));
    QCOMPARE(ended.size(), 1);
    QVERIFY2(ended.first().startsWith(QLatin1String("FreeRDP client ended by signal 15 after ")),
        qPrintable(ended.first()));
    QVERIFY2(ended.first().endsWith(QLatin1String(": about to be killed")), qPrintable(ended.first()));
}

void TestFreeRdpLaunch::runningClientWritesNothingMore()
{
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, exampleFile));
    qputenv("FAKE_FREERDP_OUTPUT", "session up\n");
    QObject owner;
    FreeRdpLauncher::start(translated(path), &owner);
    QTRY_COMPARE(fake->running(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(recorder->messages().size(), 2);
}

void TestFreeRdpLaunch::endedByTheLauncher_data()
{
    QTest::addColumn<QByteArray>("onTerm");
    QTest::addColumn<int>("tidied");
    QTest::addRow("default signal handling") << QByteArray() << 0;
    QTest::addRow("client tidies up when asked") << QByteArray("tidy") << 1;
    QTest::addRow("client deaf to the request") << QByteArray("ignore") << 0;
}

void TestFreeRdpLaunch::endedByTheLauncher()
{
    QFETCH(QByteArray, onTerm);
    QFETCH(int, tidied);
    if (!onTerm.isEmpty())
        qputenv("FAKE_FREERDP_ON_TERM", onTerm);
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, exampleFile));
    qputenv("FAKE_FREERDP_OUTPUT", "output that stays private /p:Hunter2\n");
    auto *owner = new QObject;
    FreeRdpLauncher::start(translated(path), owner);
    QTRY_COMPARE(fake->running(), 1);
    // Only what the end brings; the old recorder goes first, taking its handler along.
    recorder.reset();
    recorder.reset(new MessageRecorder);
    delete owner;
    QCOMPARE(fake->running(), 0);
    QCOMPARE(fake->tidiedUp(), tidied);
    QCOMPARE(recorder->messages().size(), 1);
    QVERIFY2(
        recorder->messages().first().startsWith(QLatin1String("FreeRDP client ended by the launcher after ")),
        qPrintable(recorder->messages().first()));
    QVERIFY(!recorder->messages().first().contains(QLatin1String("output")));
}

void TestFreeRdpLaunch::endedJustBeforeItsOwner_data()
{
    QTest::addColumn<QByteArray>("exitCode"); // empty: killed from outside
    QTest::addColumn<QString>("line");
    QTest::addRow("exit code") << QByteArray("4") << "FreeRDP client ended with exit code 4 after ";
    QTest::addRow("signal") << QByteArray() << "FreeRDP client ended by signal 9 after ";
}

void TestFreeRdpLaunch::endedJustBeforeItsOwner()
{
    QFETCH(QByteArray, exitCode);
    QFETCH(QString, line);
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, exampleFile));
    qputenv("FAKE_FREERDP_OUTPUT", "logon failed /p:Hunter2\n");
    if (!exitCode.isEmpty())
        qputenv("FAKE_FREERDP_EXIT", exitCode);
    auto *owner = new QObject;
    auto *client = qobject_cast<FreeRdpClient *>(FreeRdpLauncher::start(translated(path), owner));
    QVERIFY(client);
    QVERIFY(client->waitForStarted());
    const pid_t pid = pid_t(client->processId());
    if (exitCode.isEmpty()) {
        QTRY_VERIFY(client->outputTail().contains("logon failed"));
        QCOMPARE(::kill(pid, SIGKILL), 0);
    }
    // The client ends while the event loop does not run: Qt has not told anyone.
    const QDeadlineTimer deadline(10000);
    while (!FakeClient::hasEnded(pid) && !deadline.hasExpired())
        ::usleep(10000);
    QVERIFY(FakeClient::hasEnded(pid));
    QCOMPARE(client->state(), QProcess::Running);
    recorder.reset();
    recorder.reset(new MessageRecorder);
    delete owner;
    const QStringList messages = recorder->messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().startsWith(line), qPrintable(messages.first()));
    QVERIFY2(messages.first().endsWith(QLatin1String(": logon failed /p:***")), qPrintable(messages.first()));
}

namespace {

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace

void TestFreeRdpLaunch::floodKeepsOnlyATail()
{
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, exampleFile));
    qputenv("FAKE_FREERDP_FLOOD_MIB", "50");
    qputenv("FAKE_FREERDP_EXIT", "7");
    const qint64 before = residentKiB();
    QVERIFY(before > 0);
    QObject owner;
    QProcess *process = FreeRdpLauncher::start(translated(path), &owner);
    auto *client = qobject_cast<FreeRdpClient *>(process);
    QVERIFY(client);
    qint64 largestTail = 0;
    QObject::connect(process, &QProcess::readyReadStandardOutput, &owner,
        [client, &largestTail] { largestTail = qMax(largestTail, qint64(client->outputTail().size())); });
    QTRY_COMPARE_WITH_TIMEOUT(process->state(), QProcess::NotRunning, 60000);
    const qint64 grown = residentKiB() - before;
    std::fprintf(stderr,
        "resident memory grew by %lld KiB over 50 MiB of client output; largest tail %lld bytes\n",
        static_cast<long long>(grown), static_cast<long long>(largestTail));
    QVERIFY(largestTail > 0);
    QVERIFY(largestTail <= FreeRdpClient::tailCapacity);
#ifndef UNDER_ADDRESS_SANITIZER
    QVERIFY(grown < 10 * 1024);
#endif
    const QStringList ended = recorder->messages().filter(QStringLiteral("FreeRDP client ended"));
    QCOMPARE(ended.size(), 1);
    QVERIFY(ended.first().contains(QLatin1String("exit code 7")));
    QVERIFY2(ended.first().endsWith(QLatin1String(" | last line of the flood")), qPrintable(ended.first()));
    QVERIFY(ended.first().size() < FreeRdpClient::tailCapacity + 200);
}

void TestFreeRdpLaunch::promptGetsNoAnswer()
{
    // A client that waits for input would wait for ever: it sees the end at once.
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    const QString path = fake->workDir() + QStringLiteral("/tmp.rdp");
    QVERIFY(writeFile(path, exampleFile));
    qputenv("FAKE_FREERDP_READ_STDIN", "1");
    QObject owner;
    QProcess *process = FreeRdpLauncher::start(translated(path), &owner);
    QTRY_COMPARE_WITH_TIMEOUT(process->state(), QProcess::NotRunning, 5000);
    const QStringList ended = recorder->messages().filter(QStringLiteral("FreeRDP client ended"));
    QCOMPARE(ended.size(), 1);
    QVERIFY(ended.first().contains(QLatin1String("exit code 5")));
    QVERIFY(ended.first().endsWith(QLatin1String(": standard input closed")));
}

void TestFreeRdpLaunch::probe_data()
{
    QTest::addColumn<QString>("target"); // the file the client link leads to; empty: no client
    QTest::addColumn<QByteArray>("version"); // what it prints for --version
    QTest::addColumn<FreeRdpDialect>("dialect");

    QTest::addRow("version 3") << "xfreerdp" << QByteArray("This is FreeRDP version 3.10.3 (n/a)")
                               << FreeRdpDialect::FreeRdp3;
    QTest::addRow("version 2") << "xfreerdp" << QByteArray("This is FreeRDP version 2.11.2")
                               << FreeRdpDialect::FreeRdp2;
    QTest::addRow("no version") << "xfreerdp" << QByteArray("failed to open display")
                                << FreeRdpDialect::Unknown;
    // The name decides; the version would say otherwise.
    QTest::addRow("name xfreerdp3") << "xfreerdp3" << QByteArray("This is FreeRDP version 2.0.0")
                                    << FreeRdpDialect::FreeRdp3;
    QTest::addRow("no client") << "" << QByteArray() << FreeRdpDialect::Unknown;
}

void TestFreeRdpLaunch::probe()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, version);
    QFETCH(FreeRdpDialect, dialect);
    const QString link = fake->workDir() + QStringLiteral("/xfreerdp");
    if (!target.isEmpty()) {
        const QString file = fake->workDir() + QStringLiteral("/bin/") + target;
        QVERIFY(QDir().mkpath(fake->workDir() + QStringLiteral("/bin")));
        QVERIFY(QFile::copy(QStringLiteral(FAKE_FREERDP_PATH), file));
        QVERIFY(QFile::link(file, link));
    }
    qputenv("FAKE_FREERDP_VERSION", version);
    FreeRdpProbe probe(link);
    QSignalSpy done(&probe, &FreeRdpProbe::done);
    QTRY_VERIFY(probe.isDone());
    QCOMPARE(probe.dialect(), dialect);
    // Asking never starts a session.
    QCOMPARE(fake->calls().size(), 0);
    QVERIFY(!recorder->messages().isEmpty() || target.isEmpty());
}

void TestFreeRdpLaunch::probeGivesUp()
{
    // A client that never answers: the probe ends it and stays with "unknown".
    const QString link = fake->workDir() + QStringLiteral("/xfreerdp");
    QFile script(link);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nexec sleep 60\n");
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
    QElapsedTimer clock;
    clock.start();
    FreeRdpProbe probe(link);
    QVERIFY(!probe.isDone());
    const QList<QProcess *> asking = probe.findChildren<QProcess *>();
    QCOMPARE(asking.size(), 1);
    const pid_t pid = pid_t(asking.first()->processId());
    QVERIFY(pid > 0);
    QVERIFY(clock.elapsed() < FreeRdpProbe::timeoutMilliseconds);
    QTRY_VERIFY_WITH_TIMEOUT(probe.isDone(), FreeRdpProbe::timeoutMilliseconds * 2);
    // A coarse timer may fire up to 5 % early.
    QVERIFY2(clock.elapsed() >= FreeRdpProbe::timeoutMilliseconds * 9 / 10,
        qPrintable(recorder->messages().join(QLatin1Char('|'))));
    QCOMPARE(probe.dialect(), FreeRdpDialect::Unknown);
    QVERIFY(::kill(pid, 0) != 0);
    QTRY_VERIFY(probe.findChildren<QProcess *>().isEmpty());
}

QTEST_GUILESS_MAIN(TestFreeRdpLaunch)
#include "TestFreeRdpLaunch.moc"
