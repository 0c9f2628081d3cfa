#include "FreeRdpLauncher.h"
#include "RdpTranslation.h"
#include "support/FakeClient.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"

#include <QProcess>
#include <QtTest>

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
    for (const QString &message : qAsConst(messages))
        QVERIFY(!message.contains(QLatin1String("Top$ecret")));
    QTRY_COMPARE(fake->calls().size(), 1);
    if (file.contains("Top$ecret"))
        QVERIFY(fake->calls().first().contains(QStringLiteral("/gp:Top$ecret")));
}

QTEST_GUILESS_MAIN(TestFreeRdpLaunch)
#include "TestFreeRdpLaunch.moc"
