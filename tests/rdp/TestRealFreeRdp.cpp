#include "ConfigStore.h"
#include "LogWriter.h"
#include "MainWindow.h"
#include "PortalModuleLoader.h"
#include "QProgressIndicator.h"
#include "support/PortalPages.h"
#include "support/TestHome.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

// The whole road against real peers: the demo portal hands out a connection
// file, the launcher starts Debian's xfreerdp, which connects to a FreeRDP
// shadow server sharing a second X display, and the session stays up.
class TestRealFreeRdp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void session_data();
    void session();

private:
    static quint16 freePort();
    static int establishedTo(quint16 port);
    static bool startAndReadLine(
        QProcess &process, const QString &program, const QStringList &arguments, QByteArray *line);
    QProcess *client() const;

    TestHome home;
    QTemporaryDir workDir;
    QString previousDir;
    QProcess remoteDisplay;
    QProcess shadowServer;
    QProcess portal;
    QString portalUrl;
    quint16 rdpPort = 0;
    QScopedPointer<MainWindow> window;
};

quint16 TestRealFreeRdp::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return 0;
    return probe.serverPort();
}

// Established TCP connections whose remote end is 127.0.0.1:port, from /proc.
int TestRealFreeRdp::establishedTo(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray remote = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    int count = 0;
    const QList<QByteArray> lines = table.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(2) == remote && fields.at(3) == "01")
            ++count;
    }
    return count;
}

bool TestRealFreeRdp::startAndReadLine(
    QProcess &process, const QString &program, const QStringList &arguments, QByteArray *line)
{
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (!process.canReadLine() && timer.elapsed() < 20000) {
        if (!process.waitForReadyRead(1000) && process.state() != QProcess::Running)
            return false;
    }
    *line = process.readLine().trimmed();
    return !line->isEmpty();
}

QProcess *TestRealFreeRdp::client() const
{
    const QList<QWebEnginePage *> pages = portalPages(window.data());
    if (pages.size() != 1)
        return nullptr;
    const QList<QProcess *> clients = pages.first()->findChildren<QProcess *>();
    return clients.size() == 1 ? clients.first() : nullptr;
}

void TestRealFreeRdp::initTestCase()
{
    PortalModuleLoader::setLocationForTesting(QStringLiteral(PORTAL_MODULE_PATH));
    QVERIFY(home.isValid());
    QVERIFY(home.makeAppConfigDir());
    qInstallMessageHandler(logMessageHandler);

    const QString xfreerdp = QStandardPaths::findExecutable(QStringLiteral("xfreerdp"));
    const QString shadow = QStandardPaths::findExecutable(QStringLiteral("freerdp-shadow-cli"));
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    QVERIFY2(!xfreerdp.isEmpty() && !shadow.isEmpty() && !xvfb.isEmpty(),
        "needs xfreerdp, freerdp-shadow-cli and Xvfb (scripts/install-deps.sh)");

    // The launcher looks for the client in its working directory.
    QVERIFY(workDir.isValid());
    QVERIFY(QFile::link(xfreerdp, workDir.filePath(QStringLiteral("xfreerdp"))));
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir.path()));

    // The remote desktop: a display of its own, shared by the shadow server.
    QByteArray display;
    QVERIFY(startAndReadLine(remoteDisplay, xvfb,
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
            QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")},
        &display));
    rdpPort = freePort();
    QVERIFY(rdpPort);
    QProcessEnvironment shadowEnv = QProcessEnvironment::systemEnvironment();
    shadowEnv.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + QString::fromLatin1(display));
    shadowServer.setProcessEnvironment(shadowEnv);
    shadowServer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    shadowServer.setStandardOutputFile(QProcess::nullDevice());
    shadowServer.start(shadow,
        {QStringLiteral("/port:%1").arg(rdpPort), QStringLiteral("/bind-address:127.0.0.1"),
            QStringLiteral("-auth")});
    QVERIFY(shadowServer.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!QTcpServer().listen(QHostAddress::LocalHost, rdpPort), 20000);

    QByteArray banner;
    QVERIFY(startAndReadLine(portal, QStringLiteral(DEMO_PORTAL_PATH),
        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--cert"),
            QStringLiteral(TEST_DATA_DIR "/test-cert.pem"), QStringLiteral("--key"),
            QStringLiteral(TEST_DATA_DIR "/test-key.pem"), QStringLiteral("--rdp-port"),
            QString::number(rdpPort)},
        &banner));
    QVERIFY2(banner.startsWith("demo-portal listening on https://127.0.0.1:"), banner.constData());
    portalUrl = QString::fromLatin1(banner.mid(banner.indexOf("https://")));
}

void TestRealFreeRdp::cleanupTestCase()
{
    window.reset();
    qInstallMessageHandler(nullptr);
    QDir::setCurrent(previousDir);
    for (QProcess *process : {&portal, &shadowServer, &remoteDisplay}) {
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
    }
}

void TestRealFreeRdp::session_data()
{
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QStringList>("passed");
    QTest::addColumn<QStringList>("notPassed");
    QTest::addRow("plain desktop") << "lab" << QStringList {"/cert:ignore", "/rfx", "/f"}
                                   << QStringList {"/usb:"};
    // Deny list, video playback and a one-way clipboard: the options the
    // upstream client cannot take are adapted before the start.
    QTest::addRow("restricted desktop")
        << "office" << QStringList {"/cert:ignore", "-clipboard", "/usb:id:ABCD:EF01"}
        << QStringList {"gstreamer", "denyid", "-sc-clipboard", "-cs-clipboard", "/usb:auto"};
}

void TestRealFreeRdp::session()
{
    QFETCH(QString, desktop);
    QFETCH(QStringList, passed);
    QFETCH(QStringList, notPassed);

    writeSetting(QStringLiteral("serviceIP"), portalUrl);
    window.reset(new MainWindow);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QTest::keyClicks(window->findChild<QLineEdit *>(QStringLiteral("userEdit")), QStringLiteral("demo"));
    QTest::keyClicks(window->findChild<QLineEdit *>(QStringLiteral("passwordEdit")), QStringLiteral("pw"));
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("loginButton")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(portalPages(window.data()).size(), 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);

    const int before = establishedTo(rdpPort);
    QCOMPARE(before, 0);
    portalPages(window.data())
        .first()
        ->runJavaScript(
            QStringLiteral("document.querySelector('a[href=\"/desktops/%1.rdp\"]').click();").arg(desktop));
    QTRY_VERIFY_WITH_TIMEOUT(client() && client()->state() == QProcess::Running, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(establishedTo(rdpPort), 1, 30000);

    // The session survives its channels' start-up: a rejected option or a
    // failing USB channel ends the client within a second or two.
    QTest::qWait(5000);
    QVERIFY(client());
    QCOMPARE(client()->state(), QProcess::Running);
    QCOMPARE(establishedTo(rdpPort), 1);

    // The log shows the list actually passed.
    QFile log(logFilePath(QDate::currentDate()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QByteArray startLine;
    for (const QByteArray &line : lines) {
        if (line.contains("tmp.rdp /"))
            startLine = line;
    }
    QVERIFY(!startLine.isEmpty());
    for (const QString &option : qAsConst(passed))
        QVERIFY2(startLine.contains(' ' + option.toLatin1()), startLine.constData());
    for (const QString &option : qAsConst(notPassed))
        QVERIFY2(!startLine.contains(option.toLatin1()), startLine.constData());
    QVERIFY(log.remove());

    // Closing the portal with the window ends the client and its session.
    window.reset();
    QTRY_COMPARE_WITH_TIMEOUT(establishedTo(rdpPort), 0, 10000);
}

QTEST_MAIN(TestRealFreeRdp)
#include "TestRealFreeRdp.moc"
