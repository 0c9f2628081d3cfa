#include "PrivateDownloadFolder.h"
#include "QProgressIndicator.h"
#include "support/PictureCompare.h"
#include "support/PortalWindow.h"
#include "support/WindowManager.h"

#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTcpServer>
#include <QtTest>

// The whole road against real peers: the demo portal hands out a connection
// file, the launcher starts a real FreeRDP client, which connects to a FreeRDP
// shadow server sharing a second X display that shows the wave picture, and
// that picture appears on the client's display.
class TestRealFreeRdp : public QObject, private PortalWindow
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void sessionMatcher_data();
    void sessionMatcher();
    void session_data();
    void session();
    void desktopEnds();

private:
    static quint16 freePort();
    static int establishedTo(quint16 port);
    static bool startAndReadLine(
        QProcess &process, const QString &program, const QStringList &arguments, QByteArray *line);
    static int run(const QString &program, const QStringList &arguments);
    static QImage grabScreen();
    bool waitForWave(int timeout, QString *why) const;
    QImage grabRemoteDisplay() const;
    void startRemoteDesktop(const QString &shadowProgram);
    void startShadowServer(const QString &shadowProgram);
    void stopShadowServer();
    void clickDesktop();
    QMessageBox *shownBox() const;
    QProcess *client() const;

    QTemporaryDir workDir;
    QString previousDir;
    QImage wave;
    QString remoteDisplayName;
    QProcess remoteDisplay;
    QProcess shadowServer;
    QProcess portal;
    QString portalUrl;
    quint16 rdpPort = 0;
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

// Exit code of a short helper program, its output dropped; -1 when it did not run.
int TestRealFreeRdp::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

// The client inherits this process's display, so its window is on this screen.
QImage TestRealFreeRdp::grabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

// Waits up to timeout ms for this screen to show the wave. The last grab
// of a failed wait stays beside the test program for a look.
bool TestRealFreeRdp::waitForWave(int timeout, QString *why) const
{
    QDeadlineTimer deadline(timeout);
    QImage screen;
    while (!screenShowsPicture(screen = grabScreen(), wave, why)) {
        if (deadline.hasExpired()) {
            screen.save(
                QCoreApplication::applicationDirPath() + QStringLiteral("/TestRealFreeRdp-screen.png"));
            return false;
        }
        QTest::qWait(200);
    }
    return true;
}

QImage TestRealFreeRdp::grabRemoteDisplay() const
{
    const QString file = workDir.filePath(QStringLiteral("remote.png"));
    QFile::remove(file);
    if (run(QStringLiteral("import"),
            {QStringLiteral("-display"), remoteDisplayName, QStringLiteral("-window"), QStringLiteral("root"),
                file})
        != 0)
        return QImage();
    return QImage(file);
}

// A display of its own showing the wave picture, shared by the shadow server.
void TestRealFreeRdp::startRemoteDesktop(const QString &shadowProgram)
{
    // -noreset: a server resets when its last client leaves, which clears
    // the wallpaper and refuses connections for a moment; the wallpaper
    // setter and the shadow server both connect and leave again.
    QByteArray display;
    QVERIFY(startAndReadLine(remoteDisplay, QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
            QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1366x768x24"),
            QStringLiteral("-nolisten"), QStringLiteral("tcp")},
        &display));
    remoteDisplayName = QLatin1Char(':') + QString::fromLatin1(display);
    QTRY_COMPARE_WITH_TIMEOUT(
        run(QStringLiteral("xdpyinfo"), {QStringLiteral("-display"), remoteDisplayName}), 0, 10000);

    // display's exit code says nothing about the wallpaper: look at it.
    run(QStringLiteral("display"),
        {QStringLiteral("-display"), remoteDisplayName, QStringLiteral("-window"), QStringLiteral("root"),
            QStringLiteral(RESOURCE_SOURCE_DIR "/background-oem.png")});
    QString why;
    QVERIFY2(screenShowsPicture(grabRemoteDisplay(), wave, &why),
        qPrintable(QStringLiteral("remote display: ") + why));

    rdpPort = freePort();
    QVERIFY(rdpPort);
    startShadowServer(shadowProgram);
    if (QTest::currentTestFailed())
        return;

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

// The RDP server on rdpPort, sharing the remote display.
void TestRealFreeRdp::startShadowServer(const QString &shadowProgram)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), remoteDisplayName);
    shadowServer.setProcessEnvironment(env);
    shadowServer.setProcessChannelMode(QProcess::MergedChannels);
    shadowServer.setStandardOutputFile(workDir.filePath(QStringLiteral("shadow.log")));
    shadowServer.start(shadowProgram,
        {QStringLiteral("/port:%1").arg(rdpPort), QStringLiteral("/bind-address:127.0.0.1"),
            QStringLiteral("-auth")});
    QVERIFY(shadowServer.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(
        shadowServer.state() != QProcess::Running || !QTcpServer().listen(QHostAddress::LocalHost, rdpPort),
        20000);
    QFile log(workDir.filePath(QStringLiteral("shadow.log")));
    QVERIFY2(shadowServer.state() == QProcess::Running,
        log.open(QIODevice::ReadOnly) ? log.readAll().right(2000).constData() : "shadow server ended");
}

// Gone at once, as a server that crashes or loses its network.
void TestRealFreeRdp::stopShadowServer()
{
    shadowServer.kill();
    QVERIFY(shadowServer.waitForFinished(5000));
}

void TestRealFreeRdp::clickDesktop()
{
    portalPages(window.data())
        .first()
        ->runJavaScript(
            QStringLiteral("document.querySelector('a[href=\"/desktops/office.rdp\"]').click();"));
}

QMessageBox *TestRealFreeRdp::shownBox() const
{
    for (QMessageBox *box : window->findChildren<QMessageBox *>())
        if (box->isVisible())
            return box;
    return nullptr;
}

QProcess *TestRealFreeRdp::client() const
{
    const QList<QWebEnginePage *> pages = portalPages(window.data());
    if (pages.size() != 1)
        return nullptr;
    // The client class lives in the portal module too: recognised by name.
    QList<QProcess *> clients;
    const QList<QProcess *> children = pages.first()->findChildren<QProcess *>();
    for (QProcess *child : children)
        if (child->inherits("FreeRdpClient"))
            clients << child;
    return clients.size() == 1 ? clients.first() : nullptr;
}

void TestRealFreeRdp::initTestCase()
{
    QVERIFY(freshHome());
    wave = QImage(QStringLiteral(RESOURCE_SOURCE_DIR "/background-oem.png"));
    QCOMPARE(wave.size(), QSize(1366, 768));

    // The launcher looks for the client in its working directory.
    QVERIFY(workDir.isValid());
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir.path()));
}

void TestRealFreeRdp::cleanup()
{
    window.reset();
    for (QProcess *process : {&portal, &shadowServer, &remoteDisplay}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    QFile::remove(logFilePath(QDate::currentDate()));
}

void TestRealFreeRdp::cleanupTestCase()
{
    leaveHome();
    QDir::setCurrent(previousDir);
}

void TestRealFreeRdp::sessionMatcher_data()
{
    QTest::addColumn<QImage>("screen");
    QTest::addColumn<bool>("shows");
    const QImage picture(QStringLiteral(RESOURCE_SOURCE_DIR "/background-oem.png"));
    QImage black(picture.size(), QImage::Format_RGB32);
    black.fill(Qt::black);
    // Lossy coding: every pixel a little off.
    QImage noisy = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y) {
        for (int x = 0; x < noisy.width(); ++x) {
            const QRgb p = noisy.pixel(x, y);
            const int d = (x * 7 + y * 13) % 25 - 12;
            noisy.setPixel(x, y, qRgb(qBound(0, qRed(p) + d, 255), qGreen(p), qBound(0, qBlue(p) - d, 255)));
        }
    }
    // The launcher's login window over an empty screen.
    QImage window = black;
    {
        QPainter painter(&window);
        painter.drawImage(QRect(365, 218, 636, 331), picture);
    }
    // The session's first frame half drawn.
    QImage half = picture.convertToFormat(QImage::Format_RGB32);
    {
        QPainter painter(&half);
        painter.fillRect(0, 384, 1366, 384, Qt::black);
    }
    QTest::addRow("the picture") << picture << true;
    QTest::addRow("coded lossily") << noisy << true;
    QTest::addRow("scaled to another screen")
        << picture.scaled(1024, 576, Qt::IgnoreAspectRatio, Qt::SmoothTransformation) << true;
    QTest::addRow("black screen") << black << false;
    QTest::addRow("login window only") << window << false;
    QTest::addRow("half drawn") << half << false;
    QTest::addRow("mirrored") << picture.mirrored(true, false) << false;
}

// Guards the check the sessions below rely on.
void TestRealFreeRdp::sessionMatcher()
{
    QFETCH(QImage, screen);
    QFETCH(bool, shows);
    QString why;
    QVERIFY2(screenShowsPicture(screen, wave, &why) == shows, qPrintable(why));
}

void TestRealFreeRdp::session_data()
{
    QTest::addColumn<QString>("clientProgram");
    QTest::addColumn<QString>("shadowProgram");
    QTest::addColumn<QStringList>("passed");
    QTest::addColumn<QStringList>("notPassed");
    // The restricted desktop (deny list, video playback, a one-way
    // clipboard): options a client rejects end it before the first frame.
    QTest::addRow("FreeRDP 2") << "xfreerdp"
                               << "freerdp-shadow-cli"
                               << QStringList {"/cert:ignore", "-clipboard", "/usb:id:ABCD:EF01"}
                               << QStringList {
                                      "gstreamer", "denyid", "-sc-clipboard", "-cs-clipboard", "/usb:auto"};
    QTest::addRow("FreeRDP 3") << "xfreerdp3"
                               << "freerdp-shadow-cli3"
                               << QStringList {"/cert:ignore", "/clipboard:direction-to:remote",
                                      "/usb:id:ABCD:EF01", "/cache:bitmap:off,glyph:off,offscreen:off", "/p:"}
                               << QStringList {"gstreamer", "denyid", "-sc-clipboard", "-cs-clipboard",
                                      "/usb:auto", "-offscreen-cache", "-glyph-cache", "-bitmap-cache"};
}

void TestRealFreeRdp::session()
{
    QFETCH(QString, clientProgram);
    QFETCH(QString, shadowProgram);
    QFETCH(QStringList, passed);
    QFETCH(QStringList, notPassed);

    // Debian 13 has no FreeRDP 2. Where a release has it, the build requires
    // it (tests/CMakeLists.txt), so a missing program cannot get here.
    QStringList missing;
    for (const QString &program : {clientProgram, shadowProgram})
        if (QStandardPaths::findExecutable(program).isEmpty())
            missing << program;
    if (!missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("not installed: %1 (this release does not package it)")
                             .arg(missing.join(QStringLiteral(", ")))));

    startRemoteDesktop(shadowProgram);
    if (QTest::currentTestFailed())
        return;

    // The run directory's xfreerdp leads to the client of this row.
    const QString link = workDir.filePath(QStringLiteral("xfreerdp"));
    QFile::remove(link);
    QVERIFY(QFile::link(QStandardPaths::findExecutable(clientProgram), link));

    QVERIFY(PortalWindow::login(portalUrl, QStringLiteral("demo"), QStringLiteral("pw"), true));
    QTRY_COMPARE_WITH_TIMEOUT(portalPages(window.data()).size(), 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);

    QString why;
    QVERIFY2(!screenShowsPicture(grabScreen(), wave, &why), "the wave is on the screen before any session");
    QCOMPARE(establishedTo(rdpPort), 0);
    clickDesktop();
    QTRY_VERIFY_WITH_TIMEOUT(client() && client()->state() == QProcess::Running, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(
        establishedTo(rdpPort) == 1 || !client() || client()->state() != QProcess::Running, 30000);
    QVERIFY2(client() && client()->state() == QProcess::Running,
        qPrintable(QStringLiteral("%1 ended, exit code %2")
                       .arg(clientProgram)
                       .arg(client() ? client()->exitCode() : -1)));
    QCOMPARE(establishedTo(rdpPort), 1);

    // A connection is not a session: the remote picture must reach the screen.
    QVERIFY2(waitForWave(30000, &why), qPrintable(why));

    // Channels come up with the first frames; a failing one (USB, clipboard)
    // ends the client shortly after. Look again once that time has passed.
    QTest::qWait(3000);
    QVERIFY(client());
    QCOMPARE(client()->state(), QProcess::Running);
    QCOMPARE(establishedTo(rdpPort), 1);
    QVERIFY2(waitForWave(0, &why), qPrintable(why));

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
    for (const QString &option : std::as_const(passed))
        QVERIFY2(startLine.contains(QByteArray(' ' + option.toLatin1())), startLine.constData());
    for (const QString &option : std::as_const(notPassed))
        QVERIFY2(!startLine.contains(option.toLatin1()), startLine.constData());

    // Closing the portal with the window ends the client and its session.
    window.reset();
    QTRY_COMPARE_WITH_TIMEOUT(establishedTo(rdpPort), 0, 10000);
}

// What the user sees when a desktop cannot be reached, drops, or is closed.
void TestRealFreeRdp::desktopEnds()
{
    if (QStandardPaths::findExecutable(QStringLiteral("xfreerdp3")).isEmpty())
        QSKIP("FreeRDP 3 is not installed");
    startRemoteDesktop(QStringLiteral("freerdp-shadow-cli3"));
    if (QTest::currentTestFailed())
        return;
    const QString link = workDir.filePath(QStringLiteral("xfreerdp"));
    QFile::remove(link);
    QVERIFY(QFile::link(QStandardPaths::findExecutable(QStringLiteral("xfreerdp3")), link));
    QVERIFY(PortalWindow::login(portalUrl, QStringLiteral("demo"), QStringLiteral("pw"), true));
    QTRY_COMPARE_WITH_TIMEOUT(portalPages(window.data()).size(), 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChild<QProgressIndicator *>(), 30000);

    // The server down before the click: could not reach, and Close.
    stopShadowServer();
    clickDesktop();
    QTRY_VERIFY_WITH_TIMEOUT(shownBox(), 30000);
    QVERIFY2(shownBox()->text().startsWith(QString::fromUtf8(u8"无法连接到桌面。\n")),
        qPrintable(shownBox()->text()));
    const auto desktopFiles = [] {
        return QDir(privateDownloadFolder(), QStringLiteral("desktop-*"), QDir::NoSort, QDir::Dirs).count();
    };
    QCOMPARE(desktopFiles(), 1u);
    QTest::keyClick(shownBox(), Qt::Key_Escape);
    QTRY_VERIFY(!shownBox());
    // Closed: its file is not kept for a new try any more.
    QTRY_COMPARE(desktopFiles(), 0u);

    // Up, then killed mid-session: the connection broke. Reconnect once the
    // server is back brings the desktop again.
    startShadowServer(QStringLiteral("freerdp-shadow-cli3"));
    if (QTest::currentTestFailed())
        return;
    clickDesktop();
    QString why;
    QVERIFY2(waitForWave(30000, &why), qPrintable(why));
    stopShadowServer();
    QTRY_VERIFY_WITH_TIMEOUT(shownBox(), 30000);
    QVERIFY2(shownBox()->text().startsWith(QString::fromUtf8(u8"与桌面的连接已断开。\n")),
        qPrintable(shownBox()->text()));
    QVERIFY2(!screenShowsPicture(grabScreen(), wave, &why), "the desktop still shows");
    startShadowServer(QStringLiteral("freerdp-shadow-cli3"));
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(shownBox()->defaultButton()->text(), QString::fromUtf8(u8"重新连接"));
    QTest::keyClick(shownBox(), Qt::Key_Return);
    QVERIFY2(waitForWave(30000, &why), qPrintable(why));

    // Closed by the user through its window: no box.
    QProcess *running = nullptr;
    for (QProcess *process : portalPages(window.data()).first()->findChildren<QProcess *>())
        if (process->inherits("FreeRdpClient") && process->state() == QProcess::Running)
            running = process;
    QVERIFY(running);
    // Asked again until it ends: a loaded machine has seen the first request lost.
    int asked = 0;
    do {
        QVERIFY(WindowManager::askToClose(qint64(running->processId())));
    } while (!QTest::qWaitFor([running] { return running->state() == QProcess::NotRunning; }, 2000)
        && ++asked < 5);
    QCOMPARE(running->state(), QProcess::NotRunning);
    QCOMPARE(running->exitCode(), 0);
    QVERIFY(!shownBox());
}

QTEST_MAIN(TestRealFreeRdp)
#include "TestRealFreeRdp.moc"
