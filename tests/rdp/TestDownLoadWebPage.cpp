#include "DownLoadWebPage.h"
#include "support/FakeClient.h"
#include "support/MessageRecorder.h"
#include "support/PortalServer.h"
#include "support/TestHome.h"

#include <QPointer>
#include <QWebEngineDownloadItem>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtTest>

class TestDownLoadWebPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void untrustedCertificateLoads();
    void exitFilter_data();
    void exitFilter();
    void downloadStartsOneClient();
    void nextDownloadReplacesTheFile();
    void clientsEndWithThePage();
    void cancelledDownloadStartsNothing();

private:
    void clickDesktopLink();

    PortalServer server;
    QScopedPointer<TestHome> home;
    QScopedPointer<FakeClient> fake;
    QString previousDir;
    QWebEngineView *view = nullptr;
    DownLoadWebPage *page = nullptr;
};

void TestDownLoadWebPage::initTestCase()
{
    QVERIFY(server.start());
    home.reset(new TestHome);
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
    view = new QWebEngineView;
    page = new DownLoadWebPage(this);
    view->setPage(page);
    view->resize(800, 600);
    view->show();
    QSignalSpy loaded(page, &QWebEnginePage::loadFinished);
    page->load(server.url(QStringLiteral("/page")));
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 30000);
    QCOMPARE(loaded.first().first().toBool(), true);
}

void TestDownLoadWebPage::cleanup()
{
    delete view;
    delete page;
    page = nullptr;
    QTRY_COMPARE(fake->running(), 0);
    fake->clearCalls();
}

void TestDownLoadWebPage::clickDesktopLink()
{
    page->runJavaScript(QStringLiteral("document.getElementById('rdp').click();"));
}

void TestDownLoadWebPage::untrustedCertificateLoads()
{
    // init() loaded over HTTPS with a self-signed certificate, without a prompt.
    QCOMPARE(page->title(), QStringLiteral("portal"));
    QVERIFY(page->url().toString().startsWith(QLatin1String("https://127.0.0.1:")));
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
    const auto seen = [this, &target] {
        const QVector<HttpRequest> all = server.requests();
        return std::any_of(all.cbegin(), all.cend(),
            [&target](const HttpRequest &r) { return QString::fromUtf8(r.target) == target; });
    };
    page->runJavaScript(script);
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
    const QString expectedPath = home->tempDir() + QStringLiteral("/tmp.rdp");
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);
    QCOMPARE(page->downloadedFilePath(), expectedPath);
    const QStringList expected {expectedPath, QStringLiteral("/multimon"), QStringLiteral("/f"),
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

void TestDownLoadWebPage::nextDownloadReplacesTheFile()
{
    const QString path = home->tempDir() + QStringLiteral("/tmp.rdp");
    const QByteArray first = server.connectionFile;
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 1, 20000);

    server.connectionFile = QByteArrayLiteral("use gfx:i:1\r\n");
    clickDesktopLink();
    QTRY_COMPARE_WITH_TIMEOUT(fake->calls().size(), 2, 20000);
    server.connectionFile = first;
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("use gfx:i:1\r\n"));
    // Not "tmp (1).rdp" or the like: the old file was removed first.
    QCOMPARE(QDir(home->tempDir()).entryList({QStringLiteral("*.rdp")}, QDir::Files),
        QStringList {QStringLiteral("tmp.rdp")});
    int withGfx = 0;
    for (const QStringList &call : fake->calls())
        withGfx += call.contains(QStringLiteral("/gfx:avc444"));
    QCOMPARE(withGfx, 1);
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
    QPointer<QWebEngineDownloadItem> item;
    // Connected after the page's own handler, so the item is accepted already.
    connect(page->profile(), &QWebEngineProfile::downloadRequested, this,
        [&item](QWebEngineDownloadItem *requested) { item = requested; });
    QScopedPointer<MessageRecorder> recorder(new MessageRecorder);
    clickDesktopLink();
    QTRY_VERIFY_WITH_TIMEOUT(item && item->receivedBytes() > 0, 20000);
    item->cancel();
    QTRY_COMPARE_WITH_TIMEOUT(item->state(), QWebEngineDownloadItem::DownloadCancelled, 10000);
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

QTEST_MAIN(TestDownLoadWebPage)
#include "TestDownLoadWebPage.moc"
