#include "PortalModule.h"
#include "PortalModuleLoader.h"
#include "PortalView.h"
#include "support/PortalServer.h"
#include "support/TestHome.h"

#include <QSslCertificate>
#include <QtTest>

// The built portal module seen through the program's side of the seam only:
// its view is a PortalView and reports through the typed signals.
class TestPortalView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void typedSignals();

private:
    PortalServer server;
    TestHome home;
};

void TestPortalView::initTestCase()
{
    QVERIFY(home.isValid());
    QVERIFY(server.start());
    PortalModuleLoader::setLocationForTesting(QStringLiteral(PORTAL_MODULE_PATH));
}

void TestPortalView::typedSignals()
{
    PortalModuleLoader loader;
    PortalModule *module = loader.module();
    QVERIFY(module);
    QWidget host;
    host.resize(640, 480);
    PortalView *view = module->createView(&host);
    QVERIFY(view);
    // One meta-object on both sides, not a copy in the module.
    QCOMPARE(view->metaObject()->superClass(), &PortalView::staticMetaObject);
    QCOMPARE(qobject_cast<PortalView *>(static_cast<QObject *>(view)), view);
    QCOMPARE(view->parentWidget(), &host);

    QSignalSpy started(view, &PortalView::loadStarted);
    QSignalSpy finished(view, &PortalView::loadFinished);
    QSignalSpy exit(view, &PortalView::exitFromPage);
    view->setCertificateCheck([](const QUrl &, const QList<QSslCertificate> &, bool) { return true; });
    view->setAcceptLanguage(QStringLiteral("en-US,en,*"));
    host.show();

    const QUrl page = server.url(QStringLiteral("/page1"));
    view->load(page);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(started.size(), 1);
    QCOMPARE(view->url(), page);
    const QVector<HttpRequest> loads = server.requestsTo(QStringLiteral("/page1"));
    QCOMPARE(loads.size(), 1);
    QVERIFY(loads.first().header("Accept-Language").startsWith("en-US,en"));

    view->reload();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 30000);
    QCOMPARE(server.requestsTo(QStringLiteral("/page1")).size(), 2);
    QVERIFY(exit.isEmpty());

    // The exit address is announced, never followed.
    view->load(server.url(QStringLiteral("/logout/abouttarsen")));
    QTRY_COMPARE_WITH_TIMEOUT(exit.size(), 1, 30000);
    QVERIFY(!server.sawPathEndingWith(QStringLiteral("abouttarsen")));
    QCOMPARE(view->url(), page);
}

QTEST_MAIN(TestPortalView)
#include "TestPortalView.moc"
