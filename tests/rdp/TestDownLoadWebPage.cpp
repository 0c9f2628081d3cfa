#include "ConfigStore.h"
#include "DownLoadWebPage.h"
#include "FreeRdpProbe.h"
#include "LogWriter.h"
#include "WebEngineDownload.h"
#include "support/FakeClient.h"
#include "support/MessageRecorder.h"
#include "support/OtherAccount.h"
#include "support/PortalServer.h"
#include "support/TestFiles.h"
#include "support/TestHome.h"

#include <QDirIterator>
#include <QPointer>
#include <QProcess>
#include <QSslCertificate>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestDownLoadWebPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void untrustedCertificateLoads();
    void certificateCheckDecides_data();
    void certificateCheckDecides();
    void exitFilter_data();
    void exitFilter();
    void downloadStartsOneClient();
    void downloadIsPrivate();
    void plantedNamesDoNotBlock();
    void failingClientReasonInTheLog();
    void clientEnds_data();
    void clientEnds();
    void freeRdp3ClientGetsItsDialect();
    void fileBeforeTheVersionAnswer_data();
    void fileBeforeTheVersionAnswer();
    void startedProcessesHoldOnlyStandardChannels();
    void eachDesktopItsOwnFile();
    void clientsEndWithThePage();
    void cancelledDownloadStartsNothing();
    void downloadOrigins_data();
    void downloadOrigins();
    void oversizedDownloadStartsNothing();
    void optionLinesRemoved();
    void consoleMessagesBounded();

private:
    void openPage();
    void closePage();
    void clickDesktopLink();

    PortalServer server;
    PortalServer otherServer;
    QScopedPointer<TestHome> home;
    QScopedPointer<FakeClient> fake;
    QString previousDir;
    QString privateDir;
    QWebEngineView *view = nullptr;
    DownLoadWebPage *page = nullptr;
};

void TestDownLoadWebPage::initTestCase()
{
    QVERIFY(server.start());
    QVERIFY(otherServer.start());
    // A user's ordinary umask, and no runtime folder: the shared temporary
    // directory is the hard case.
    ::umask(022);
    home.reset(new TestHome);
    qunsetenv("XDG_RUNTIME_DIR");
    privateDir = home->tempDir() + QStringLiteral("/velmoclient-%1").arg(::geteuid());
    fake.reset(new FakeClient);
    QVERIFY(fake->install(QStringLiteral("xfreerdp")));
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(fake->workDir()));
}

void TestDownLoadWebPage::cleanupTestCase()
{
    QDir::setCurrent(previousDir);
}

void TestDownLoadWebPage::init()
{
    server.clearRequests();
    openPage();
}

void TestDownLoadWebPage::openPage()
{
    view = new QWebEngineView;
    page = new DownLoadWebPage(this);
    page->setCertificateCheck([](const QUrl &, const QList<QSslCertificate> &, bool) { return true; });
    view->setPage(page);
    page->setPortalAddress(server.url(QStringLiteral("/")));
    view->resize(800, 600);
    view->show();
    QSignalSpy loaded(page, &QWebEnginePage::loadFinished);
    page->load(server.url(QStringLiteral("/page")));
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 30000);
    QCOMPARE(loaded.first().first().toBool(), true);
}

void TestDownLoadWebPage::cleanup()
{
    qInstallMessageHandler(nullptr);
    for (const char *name : {"FAKE_FREERDP_OUTPUT", "FAKE_FREERDP_EXIT", "FAKE_FREERDP_VERSION",
             "FAKE_FREERDP_VERSION_GATE", "FAKE_FREERDP_FILE_GATE"})
        qunsetenv(name);
    qputenv("TMPDIR", QFile::encodeName(home->tempDir()));
    delete view;
    delete page;
    page = nullptr;
    QTRY_COMPARE(fake->running(), 0);
    fake->clearCalls();
    QDir::setCurrent(fake->workDir());
}

void TestDownLoadWebPage::clickDesktopLink()
{
    page->runJavaScript(QStringLiteral("document.getElementById('rdp').click();"));
}

void TestDownLoadWebPage::untrustedCertificateLoads()
{
    // init() loaded over HTTPS with a self-signed certificate that its check took.
    QCOMPARE(page->title(), QStringLiteral("portal"));
    QVERIFY(page->url().toString().startsWith(QLatin1String("https://127.0.0.1:")));
}

void TestDownLoadWebPage::certificateCheckDecides_data()
{
    QTest::addColumn<bool>("withCheck");
    QTest::addRow("no check: refused") << false;
    QTest::addRow("the check says no: refused") << true;
}

void TestDownLoadWebPage::certificateCheckDecides()
{
    QFETCH(bool, withCheck);
    // A certificate this process never accepted: the engine remembers those it did.
    PortalServer other;
    QVERIFY(other.start(QStringLiteral("second")));
    DownLoadWebPage refusing;
    QUrl askedFor;
    QList<QSslCertificate> shown;
    bool mainFrameSeen = false;
    if (withCheck) {
        refusing.setCertificateCheck(
            [&](const QUrl &url, const QList<QSslCertificate> &chain, bool mainFrame) {
                askedFor = url;
                shown = chain;
                mainFrameSeen = mainFrame;
                return false;
            });
    }
    QSignalSpy loaded(&refusing, &QWebEnginePage::loadFinished);
    refusing.load(other.url(QStringLiteral("/page")));
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 30000);
    QCOMPARE(loaded.first().first().toBool(), false);
    QVERIFY(other.requests().isEmpty());
    if (withCheck) {
        QCOMPARE(askedFor, other.url(QStringLiteral("/page")));
        QVERIFY(mainFrameSeen);
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.first(),
            QSslCertificate::fromPath(QStringLiteral(TEST_DATA_DIR "/second-cert.pem")).value(0));
    }
}

void TestDownLoadWebPage::exitFilter_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("target"); // what the server would see
    QTest::addColumn<bool>("exits");

    QTest::addRow("link") << "document.getElementById('exit').click();"
                          << "/logout/abouttarsen" << true;
    QTest::addRow("link with slash after") << "document.getElementById('near').click();"
                                           << "/logout/abouttarsen/" << false;
    QTest::addRow("form, mixed case") << "document.getElementById('form').submit();"
                                      << "/form/AboutTarsen" << true;
    QTest::addRow("script, upper case") << "location.href = '/script/ABOUTTARSEN';"
                                        << "/script/ABOUTTARSEN" << true;
    QTest::addRow("query value at the end") << "location.href = '/script?next=abouttarsen';"
                                            << "/script?next=abouttarsen" << true;
    QTest::addRow("merely contains") << "location.href = '/script/abouttarsen.html';"
                                     << "/script/abouttarsen.html" << false;
    QTest::addRow("sub-frame") << "var f = document.createElement('iframe'); f.src = '/frame/abouttarsen';"
                                  "document.body.appendChild(f);"
                               << "/frame/abouttarsen" << true;
    QTest::addRow("sub-frame of another server")
        << "var f = document.createElement('iframe'); f.src = '%1/frame/abouttarsen';"
           "document.body.appendChild(f);"
        << "/frame/abouttarsen" << false;
    QTest::addRow("sub-frame, other address")
        << "var f = document.createElement('iframe'); f.src = '/frame/other';"
           "document.body.appendChild(f);"
        << "/frame/other" << false;
}

void TestDownLoadWebPage::exitFilter()
{
    QFETCH(QString, script);
    QFETCH(QString, target);
    QFETCH(bool, exits);
    QSignalSpy exit(page, &DownLoadWebPage::exitFromPage);
    otherServer.clearRequests();
    const auto seen = [this, &target] {
        const QVector<HttpRequest> all = server.requests() + otherServer.requests();
        return std::any_of(all.cbegin(), all.cend(),
            [&target](const HttpRequest &r) { return QString::fromUtf8(r.target) == target; });
    };
    page->runJavaScript(QString(script).replace(QLatin1String("%1"), otherServer.address()));
    if (exits) {
        QTRY_COMPARE_WITH_TIMEOUT(exit.count(), 1, 20000);
        // A request the page makes after the dropped one: once it is in, a
        // wrongly allowed load would have reached the server too.
        page->runJavaScript(QStringLiteral("fetch('/after-exit');"));
        QTRY_VERIFY_WITH_TIMEOUT(!server.requestsTo(QStringLiteral("/after-exit")).isEmpty(), 20000);
        QVERIFY(!seen());
        QCOMPARE(exit.count(), 1);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(seen(), 20000);
        QCOMPARE(exit.count(), 0);
    }
}

void TestDownLoadWebPage::downloadStartsOneClient()
{
    MessageRecorder recorder;
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    // tmp.rdp in a folder of this desktop's own inside the private folder.
    const QString expectedPath = page->downloadedFilePath();
    QCOMPARE(QFileInfo(QFileInfo(expectedPath).path()).path(), privateDir);
    QCOMPARE(QFileInfo(expectedPath).fileName(), QStringLiteral("tmp.rdp"));
    const QStringList expected {expectedPath, QStringLiteral("/multimon"), QStringLiteral("/f"),
        QStringLiteral("/floatbar:sticky:off,default:hidden,show:fullscreen"),
        QStringLiteral("/sound:latency:200"), QStringLiteral("-window-drag"),
        QStringLiteral("-offscreen-cache"), QStringLiteral("-glyph-cache"), QStringLiteral("-bitmap-cache"),
        QStringLiteral("/rfx"), QStringLiteral("/cert:ignore"), QStringLiteral("/printer")};
    QCOMPARE(fake->calls().first(), expected);
    QFile saved(expectedPath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), server.connectionFile);
    // Every start is logged before its client runs, so a second one would be here by now.
    QCOMPARE(recorder.count(QStringLiteral("/xfreerdp\"")), 1);
    QCOMPARE(fake->calls().size(), 1);
}

void TestDownLoadWebPage::downloadIsPrivate()
{
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    const QString path = page->downloadedFilePath();
    QCOMPARE(modeOf(privateDir), 0700);
    QCOMPARE(modeOf(QFileInfo(path).path()), 0700);
    QCOMPARE(modeOf(path), 0600);
    if (!OtherAccount::available())
        QSKIP("only root can look through another account's eyes");
    // Everything on the way is open, as /tmp is: only the launcher's own modes protect the file.
    const QString control = home->tempDir() + QStringLiteral("/control.txt");
    QFile open(control);
    QVERIFY(open.open(QIODevice::WriteOnly));
    open.write("readable\n");
    open.close();
    QVERIFY(QFile::setPermissions(control, QFile::permissions(control) | QFileDevice::ReadOther));
    const auto walkable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadOther | QFileDevice::ExeOther;
    for (const QString &dir : {home->root(), home->tempDir()})
        QVERIFY(QFile::setPermissions(dir, walkable));
    QVERIFY(OtherAccount::canRead(OtherAccount::user, control));
    QVERIFY(!OtherAccount::canRead(OtherAccount::user, path));
}

void TestDownLoadWebPage::closePage()
{
    delete view;
    view = nullptr;
    delete page;
    page = nullptr;
}

void TestDownLoadWebPage::plantedNamesDoNotBlock()
{
    // A fresh shared temporary folder where another account got there first:
    // a link by the private folder's name, and an old tmp.rdp it owns.
    const QString shared = home->root() + QStringLiteral("/shared");
    QVERIFY(QDir().mkpath(shared));
    QVERIFY(::chmod(QFile::encodeName(shared).constData(), 01777) == 0);
    const QString elsewhere = home->root() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkpath(elsewhere));
    const QString named = shared + QStringLiteral("/velmoclient-%1").arg(::geteuid());
    QVERIFY(QFile::link(elsewhere, named));
    QFile old(shared + QStringLiteral("/tmp.rdp"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("planted\n");
    old.close();
    if (OtherAccount::available())
        QVERIFY(::chown(QFile::encodeName(old.fileName()).constData(), OtherAccount::user, OtherAccount::user)
            == 0);
    qputenv("TMPDIR", QFile::encodeName(shared));
    closePage();
    openPage();

    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    const QString path = fake->calls().first().first();
    QVERIFY2(path.startsWith(named + QLatin1Char('-')), qPrintable(path));
    QCOMPARE(modeOf(QFileInfo(path).absolutePath()), 0700);
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), server.connectionFile);
    QCOMPARE(QDir(elsewhere).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QVERIFY(QFileInfo(named).isSymLink());
    if (OtherAccount::available())
        QVERIFY(old.exists());
}

void TestDownLoadWebPage::failingClientReasonInTheLog()
{
    // The day's log as an administrator finds it after a desktop that never came.
    QVERIFY(home->makeAppConfigDir());
    // What a login with "remember password" leaves.
    writeSetting(QStringLiteral("password"), QStringLiteral("Hunter2"));
    qInstallMessageHandler(logMessageHandler);
    const QByteArray first = server.connectionFile;
    server.connectionFile = QByteArrayLiteral("full address:s:127.0.0.1:3389\r\n"
                                              "gatewayhostname:s:gw\r\ngatewaypassword:s:Top$ecret\r\n");
    qputenv("FAKE_FREERDP_OUTPUT", "connecting\nlogon with /p:Hunter2 failed: ERRCONNECT_LOGON_FAILURE\n");
    qputenv("FAKE_FREERDP_EXIT", "134");
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    const QString logPath = logFilePath(QDate::currentDate());
    const auto log = [&logPath] {
        QFile file(logPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QLatin1String("FreeRDP client ended")), 10000);
    qInstallMessageHandler(nullptr);
    server.connectionFile = first;

    const QString text = log();
    QCOMPARE(text.count(QLatin1String("FreeRDP client ended")), 1);
    QVERIFY2(text.contains(QLatin1String("exit code 134 after ")), qPrintable(text));
    QVERIFY2(
        text.contains(QLatin1String("connecting | logon with /p:*** failed: ERRCONNECT_LOGON_FAILURE\r\n")),
        qPrintable(text));
    QVERIFY2(text.contains(QLatin1String(" /gp:*** ")), qPrintable(text));
    const QRegularExpression saved(QStringLiteral("\"%1/desktop-[0-9]+-[^/\"]+\" \"tmp.rdp\"")
                                       .arg(QRegularExpression::escape(privateDir)));
    QVERIFY2(text.contains(saved), qPrintable(text));
    QVERIFY(!text.contains(QLatin1String("Hunter2")));
    QVERIFY(!text.contains(QLatin1String("Top$ecret")));
    QCOMPARE(modeOf(logPath), 0600);
    QCOMPARE(modeOf(home->appConfigDir()), 0700);
    if (!OtherAccount::available())
        QSKIP("only root can look through another account's eyes");
    const auto walkable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadOther | QFileDevice::ExeOther;
    for (const QString &dir : {home->root(), home->configHome()})
        QVERIFY(QFile::setPermissions(dir, walkable));
    QVERIFY(!OtherAccount::canRead(OtherAccount::user, logPath));
    // Nothing the launcher left is readable by another account.
    QStringList left;
    for (const QString &top : {home->configHome(), privateDir}) {
        QDirIterator it(top, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            left << it.next();
    }
    QVERIFY(left.contains(configFilePath()));
    // The desktop that ended for good took its connection file with it.
    QVERIFY(!page->downloadedFilePath().isEmpty());
    QVERIFY(!left.contains(page->downloadedFilePath()));
    for (const QString &file : std::as_const(left))
        QVERIFY2(!OtherAccount::canRead(OtherAccount::user, file), qPrintable(file));
}

void TestDownLoadWebPage::clientEnds_data()
{
    QTest::addColumn<QByteArray>("exitCode"); // empty: no client program at all
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("fileKept");
    QTest::addRow("no program") << QByteArray() << false << false;
    QTest::addRow("clean end") << QByteArray("0") << true << false;
    QTest::addRow("wrong password") << QByteArray("154") << true << false;
    QTest::addRow("connection broke") << QByteArray("147") << true << true;
}

// Each end reaches the window with what it needs; a file a new try may need
// stays until the window lets it go.
void TestDownLoadWebPage::clientEnds()
{
    QFETCH(QByteArray, exitCode);
    QFETCH(bool, started);
    QFETCH(bool, fileKept);
    QTemporaryDir empty;
    if (exitCode.isEmpty()) {
        // The page asks its client for its version when it is made.
        delete view;
        delete page;
        QVERIFY(QDir::setCurrent(empty.path()));
        openPage();
    } else {
        qputenv("FAKE_FREERDP_EXIT", exitCode);
        qputenv(
            "FAKE_FREERDP_OUTPUT", "connected\n[INFO][com.freerdp.client.common] - Network disconnect!\n");
    }
    QList<ClientEnd> ends;
    connect(page, &DownLoadWebPage::clientEnded, this, [&ends](const ClientEnd &end) { ends << end; });
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 1, 20000);
    QCOMPARE(ends.first().started, started);
    QCOMPARE(ends.first().exitCode, started ? exitCode.toInt() : 0);
    QCOMPARE(ends.first().lastWords.endsWith(QLatin1String("Network disconnect!")), started);
    const QString path = page->downloadedFilePath();
    QCOMPARE(QFile::exists(path), fileKept);
    page->releaseDesktop(ends.first().desktop);
    QVERIFY(!QFile::exists(path));
}

void TestDownLoadWebPage::freeRdp3ClientGetsItsDialect()
{
    // The page asks the client for its version when it is made.
    qputenv("FAKE_FREERDP_VERSION", "This is FreeRDP version 3.10.3 (n/a)");
    closePage();
    openPage();
    auto *probe = page->findChild<FreeRdpProbe *>();
    QVERIFY(probe);
    QTRY_VERIFY(probe->isDone());
    // Asking left nothing behind: the page's processes are its clients.
    QTRY_VERIFY(page->findChildren<QProcess *>().isEmpty());
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    const QStringList expected {page->downloadedFilePath(), QStringLiteral("/p:"),
        QStringLiteral("/multimon"), QStringLiteral("/f"),
        QStringLiteral("/floatbar:sticky:off,default:hidden,show:fullscreen"),
        QStringLiteral("/sound:latency:200"), QStringLiteral("-window-drag"),
        QStringLiteral("/cache:bitmap:off,glyph:off,offscreen:off"), QStringLiteral("/rfx"),
        QStringLiteral("/cert:ignore"), QStringLiteral("/printer")};
    QCOMPARE(fake->calls().first(), expected);
    QCOMPARE(page->findChildren<QProcess *>().size(), 1);
}

void TestDownLoadWebPage::fileBeforeTheVersionAnswer_data()
{
    QTest::addColumn<bool>("answers");
    QTest::addColumn<QStringList>("options"); // after the file path
    QTest::addRow("late FreeRDP 3 answer")
        << true
        << QStringList {"/p:", "/multimon", "/f", "/floatbar:sticky:off,default:hidden,show:fullscreen",
               "/sound:latency:200", "-window-drag", "/cache:bitmap:off,glyph:off,offscreen:off", "/rfx",
               "/cert:ignore", "/printer"};
    QTest::addRow("no answer: FreeRDP 2 after the limit")
        << false
        << QStringList {"/multimon", "/f", "/floatbar:sticky:off,default:hidden,show:fullscreen",
               "/sound:latency:200", "-window-drag", "-offscreen-cache", "-glyph-cache", "-bitmap-cache",
               "/rfx", "/cert:ignore", "/printer"};
}

void TestDownLoadWebPage::fileBeforeTheVersionAnswer()
{
    QFETCH(bool, answers);
    QFETCH(QStringList, options);
    // FreeRDP 3 under the plain name, answering only when the test lets it.
    const QString gate = fake->workDir() + QStringLiteral("/version-gate");
    QFile::remove(gate);
    qputenv("FAKE_FREERDP_VERSION", "This is FreeRDP version 3.10.3 (n/a)");
    qputenv("FAKE_FREERDP_VERSION_GATE", QFile::encodeName(gate));
    closePage();
    fake->clearCalls();
    openPage();
    QTRY_COMPARE(fake->descriptors(QStringLiteral("version")).size(), 1);
    QPointer<WebEngineDownload> item;
    connect(page->profile(), &QWebEngineProfile::downloadRequested, this,
        [&item](WebEngineDownload *requested) { item = requested; });
    MessageRecorder recorder;
    clickDesktopLink();
    QTRY_VERIFY_WITH_TIMEOUT(item && item->isFinished(), 20000);
    disconnect(page->profile(), &QWebEngineProfile::downloadRequested, this, nullptr);
    // The file is in while the question is still out: no client yet (a start
    // is logged as it happens).
    QVERIFY(!page->findChild<FreeRdpProbe *>()->isDone());
    QCOMPARE(recorder.count(QStringLiteral("/xfreerdp\"")), 0);
    if (answers) {
        QFile open(gate);
        QVERIFY(open.open(QIODevice::WriteOnly));
    }
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    QCOMPARE(fake->calls().first(), QStringList {page->downloadedFilePath()} + options);
    // Without an answer the probe gave up first, and only then the client started.
    QCOMPARE(recorder.count(QStringLiteral("(no version in time)")), answers ? 0 : 1);
    QCOMPARE(recorder.count(QStringLiteral("/xfreerdp\"")), 1);
}

void TestDownLoadWebPage::startedProcessesHoldOnlyStandardChannels()
{
    // The web engine runs in this process and holds descriptors any child
    // would inherit unless told otherwise.
    int inheritable = 0;
    for (const QFileInfo &entry :
        QDir(QStringLiteral("/proc/self/fd"))
            .entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const int fd = entry.fileName().toInt();
        const int flags = ::fcntl(fd, F_GETFD);
        inheritable += fd > 2 && flags >= 0 && !(flags & FD_CLOEXEC);
    }
    QVERIFY2(inheritable > 0, "nothing here a child could inherit: the check below would prove nothing");
    closePage();
    fake->clearCalls();
    openPage();
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    const QStringList standard {QStringLiteral("0 1 2")};
    QCOMPARE(fake->descriptors(QStringLiteral("call")), standard);
    QTRY_COMPARE(fake->descriptors(QStringLiteral("version")), standard);
}

void TestDownLoadWebPage::eachDesktopItsOwnFile()
{
    // The clients read their files only once both downloads are through.
    const QString gate = home->root() + QStringLiteral("/both-downloaded");
    qputenv("FAKE_FREERDP_FILE_GATE", QFile::encodeName(gate));
    const QByteArray first = server.connectionFile;
    const QByteArray second = QByteArrayLiteral("use gfx:i:1\r\n");
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    server.connectionFile = second;
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 2, 20000);
    server.connectionFile = first;
    QVERIFY(QFile(gate).open(QIODevice::WriteOnly));

    QTRY_COMPARE_WITH_TIMEOUT(fake->records(QStringLiteral("content")).size(), 2, 20000);
    const QList<QStringList> calls = fake->calls();
    const QList<QByteArray> contents = fake->records(QStringLiteral("content"));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(contents.at(i), calls.at(i).contains(QStringLiteral("/gfx:avc444")) ? second : first);
    QVERIFY(calls.at(0).first() != calls.at(1).first());

    // The files go with the desktops.
    closePage();
    for (const QStringList &call : calls)
        QVERIFY(!QFileInfo::exists(QFileInfo(call.first()).path()));
    QCOMPARE(QDir(privateDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestDownLoadWebPage::clientsEndWithThePage()
{
    const int before = fake->calls().size();
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), before + 1, 20000);
    QTRY_VERIFY(fake->running() >= 1);
    delete view;
    view = nullptr;
    delete page;
    page = nullptr;
    QCOMPARE(fake->running(), 0);
}

void TestDownLoadWebPage::cancelledDownloadStartsNothing()
{
    server.endlessDownload = true;
    QPointer<WebEngineDownload> item;
    // Connected after the page's own handler, so the item is accepted already;
    // cancelled at once, since an endless download is soon cut off by the page.
    connect(
        page->profile(), &QWebEngineProfile::downloadRequested, this, [&item](WebEngineDownload *requested) {
            item = requested;
            requested->cancel();
        });
    QScopedPointer<MessageRecorder> recorder(new MessageRecorder);
    clickDesktopLink();
    QTRY_VERIFY_WITH_TIMEOUT(item, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(item->state(), WebEngineDownload::DownloadCancelled, 10000);
    // The page has seen the end of the download and said why it starts nothing.
    QTRY_COMPARE_WITH_TIMEOUT(recorder->count(QStringLiteral("no client started")), 1, 10000);
    QCOMPARE(recorder->count(QStringLiteral("/xfreerdp\"")), 0);
    recorder.reset();
    QCOMPARE(fake->calls().size(), 0);
    disconnect(page->profile(), &QWebEngineProfile::downloadRequested, this, nullptr);

    // The page goes on working: the next desktop starts its client.
    server.endlessDownload = false;
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    QFile saved(page->downloadedFilePath());
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), server.connectionFile);
}

void TestDownLoadWebPage::downloadOrigins_data()
{
    QTest::addColumn<QString>("script"); // %1: the other server
    QTest::addColumn<QByteArray>("otherPage"); // what the other server's "/" shows
    QTest::addColumn<QString>("refusal"); // the log line; empty: a client starts

    const QString fromOther = QStringLiteral("download from {other} refused");
    const QString fromData = QStringLiteral("download from data: on {portal} refused");
    const QByteArray dataLink = "var a = document.createElement('a'); a.download = 'x.rdp';"
                                "a.href = 'data:application/x-rdp;base64,' + btoa('use gfx:i:1\\r\\n');"
                                "document.body.appendChild(a); a.click();";
    QTest::addRow("link to another server") << "var a = document.createElement('a'); "
                                               "a.href = '%1/desktops/office.rdp';"
                                               "document.body.appendChild(a); a.click();"
                                            << QByteArray() << fromOther;
    QTest::addRow("frame of another server") << "var f = document.createElement('iframe'); "
                                                "f.src = '%1/desktops/office.rdp';"
                                                "document.body.appendChild(f);"
                                             << QByteArray() << fromOther;
    QTest::addRow("data: on the portal's page") << QString::fromLatin1(dataLink) << QByteArray() << fromData;
    QTest::addRow("data: from a frame of another server")
        << "var f = document.createElement('iframe'); f.src = '%1/'; document.body.appendChild(f);"
        << "<html><body><script>" + dataLink + "</script></body></html>" << fromData;
    QTest::addRow("blob: made by the portal's page")
        << "var a = document.createElement('a'); a.download = 'x.rdp';"
           "a.href = URL.createObjectURL(new Blob(['use gfx:i:1\\r\\n'], {type: 'application/x-rdp'}));"
           "document.body.appendChild(a); a.click();"
        << QByteArray() << QString();
}

void TestDownLoadWebPage::downloadOrigins()
{
    QFETCH(QString, script);
    QFETCH(QByteArray, otherPage);
    QFETCH(QString, refusal);
    otherServer.clearRequests();
    otherServer.signInPage = otherPage;
    MessageRecorder recorder;
    page->runJavaScript(QString(script).replace(QLatin1String("%1"), otherServer.address()));
    if (refusal.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
        QFile saved(page->downloadedFilePath());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("use gfx:i:1\r\n"));
        QCOMPARE(recorder.count(QStringLiteral("refused")), 0);
        return;
    }
    const QString line = QString(refusal)
                             .replace(QLatin1String("{other}"), otherServer.address())
                             .replace(QLatin1String("{portal}"), server.address());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(line), 1, 20000);
    otherServer.signInPage = QByteArray();
    // Refused before anything was saved: the client would have been the next line.
    QCOMPARE(recorder.count(QStringLiteral("/desktops")), 0);
    QCOMPARE(recorder.count(QStringLiteral("/xfreerdp\"")), 0);
    QCOMPARE(fake->calls().size(), 0);
    QVERIFY(page->downloadedFilePath().isEmpty());
}

void TestDownLoadWebPage::oversizedDownloadStartsNothing()
{
    const QByteArray first = server.connectionFile;
    server.connectionFile = "full address:s:h\r\n" + QByteArray(2 * 1024 * 1024, ' ');
    QPointer<WebEngineDownload> item;
    connect(page->profile(), &QWebEngineProfile::downloadRequested, this,
        [&item](WebEngineDownload *requested) { item = requested; });
    MessageRecorder recorder;
    clickDesktopLink();
    QTRY_VERIFY_WITH_TIMEOUT(item && item->isFinished(), 20000);
    server.connectionFile = first;
    QCOMPARE(recorder.count(QStringLiteral("download over 1048576 bytes cancelled")), 1);
    // The end of the download is seen and says nothing more.
    QCOMPARE(recorder.count(QStringLiteral("no client started")), 1);
    QCOMPARE(recorder.count(QStringLiteral("/xfreerdp\"")), 0);
    QCOMPARE(fake->calls().size(), 0);
    QVERIFY(item->receivedBytes() <= 2 * 1024 * 1024);
    QVERIFY(!QFile::exists(page->downloadedFilePath()));
}

void TestDownLoadWebPage::optionLinesRemoved()
{
    const QByteArray first = server.connectionFile;
    server.connectionFile = QByteArrayLiteral("full address:s:127.0.0.1:3389\r\n"
                                              "/drive:all,/\r\n"
                                              "use multimon:i:1\r\n"
                                              "/usb:auto\r\n"
                                              "redirectprinters:i:1\r\n");
    MessageRecorder recorder;
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    server.connectionFile = first;
    // What the client got: the file without the two lines, and the options of the file without them.
    QFile saved(page->downloadedFilePath());
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), first);
    QCOMPARE(modeOf(saved.fileName()), 0600);
    const QStringList expected {saved.fileName(), QStringLiteral("/multimon"), QStringLiteral("/f"),
        QStringLiteral("/floatbar:sticky:off,default:hidden,show:fullscreen"),
        QStringLiteral("/sound:latency:200"), QStringLiteral("-window-drag"),
        QStringLiteral("-offscreen-cache"), QStringLiteral("-glyph-cache"), QStringLiteral("-bitmap-cache"),
        QStringLiteral("/rfx"), QStringLiteral("/cert:ignore"), QStringLiteral("/printer")};
    QCOMPARE(fake->calls().first(), expected);
    QCOMPARE(recorder.count(QtWarningMsg, QStringLiteral("removed 2 line(s) starting with \"/\"")), 1);
    QCOMPARE(recorder.count(QStringLiteral("drive:all")), 0);
}

void TestDownLoadWebPage::consoleMessagesBounded()
{
    MessageRecorder recorder;
    // 60 messages: the first with the sign-in address in it, the rest long.
    page->runJavaScript(
        QStringLiteral("console.error('https://h/?username=u&password=Hunter2&sid=1');"
                       "for (var i = 0; i < 59; ++i) console.warn('n' + i + ' ' + 'x'.repeat(1500));"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("n48 ")), 1, 20000);
    page->load(server.url(QStringLiteral("/page2")));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("10 more console message(s)")), 1, 20000);
    page->runJavaScript(QStringLiteral("console.warn('after the next page');"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("after the next page")), 1, 20000);

    QCOMPARE(recorder.count(QtCriticalMsg, QStringLiteral("password***")), 1);
    QCOMPARE(recorder.count(QStringLiteral("Hunter2")), 0);
    const QStringList longOnes = recorder.messages().filter(QRegularExpression(QStringLiteral("^n\\d+ x")));
    QCOMPARE(longOnes.size(), 49);
    for (const QString &message : longOnes)
        QCOMPARE(message.size(), 1000);
}

QTEST_MAIN(TestDownLoadWebPage)
#include "TestDownLoadWebPage.moc"
