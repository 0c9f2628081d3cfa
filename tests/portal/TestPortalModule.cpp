#include "ConfigStore.h"
#include "MainWindow.h"
#include "PortalModuleLoader.h"
#include "QProgressIndicator.h"
#include "support/MessageBoxRecorder.h"
#include "support/MessageRecorder.h"
#include "support/PortalServer.h"
#include "support/TestHome.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// A portal module that cannot be used: the server says yes, the window stays
// at the login form, and the log says why, once.
class TestPortalModule : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void unusableModule_data();
    void unusableModule();

private:
    PortalServer server;
    QTemporaryDir scratch;
};

void TestPortalModule::initTestCase()
{
    QVERIFY(server.start());
    QVERIFY(scratch.isValid());
    QFile text(scratch.filePath(QStringLiteral("libvelmo_portalview.so")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    QVERIFY(text.write("not a library\n") > 0);
}

void TestPortalModule::cleanupTestCase()
{
    PortalModuleLoader::setLocationForTesting(QString());
}

void TestPortalModule::unusableModule_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("reason");
    QTest::addRow("missing") << scratch.filePath(QStringLiteral("gone/libvelmo_portalview.so"))
                             << "not found";
    QTest::addRow("not a library") << scratch.filePath(QStringLiteral("libvelmo_portalview.so"))
                                   << "unusable";
    QTest::addRow("no entry point") << QStringLiteral(NO_ENTRY_MODULE_PATH) << "has no entry point";
    QTest::addRow("other interface version")
        << QStringLiteral(OTHER_VERSION_MODULE_PATH) << "does not offer interface version";
}

void TestPortalModule::unusableModule()
{
    QFETCH(QString, module);
    QFETCH(QString, reason);
    TestHome home;
    QVERIFY(home.isValid());
    QVERIFY(home.makeAppConfigDir());
    writeSetting(QStringLiteral("serviceIP"), server.address());
    PortalModuleLoader::setLocationForTesting(module);
    server.clearRequests();
    MessageBoxRecorder boxes;
    QScopedPointer<MessageRecorder> log(new MessageRecorder);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *loginButton = window.findChild<QPushButton *>(QStringLiteral("loginButton"));
    QVERIFY(loginButton);
    // Each positive answer is logged (its body) before the portal would be built.
    for (int press = 1; press <= 2; ++press) {
        QTest::mouseClick(loginButton, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(log->count(QtDebugMsg, QStringLiteral("isMe")), press, 20000);
        QCOMPARE(log->count(QtCriticalMsg, QString()), 1);
        QCOMPARE(log->count(QtCriticalMsg, reason), 1);
        QCOMPARE(window.centralWidget()->objectName(), QStringLiteral("loginWidget"));
        QVERIFY(!window.findChild<QProgressIndicator *>());
        QVERIFY(loginButton->isVisible());
        QVERIFY(boxes.isEmpty());
    }
    log.reset();

    // The form still answers.
    auto *userEdit = window.findChild<QLineEdit *>(QStringLiteral("userEdit"));
    QTest::keyClicks(userEdit, QStringLiteral("ab"));
    QCOMPARE(userEdit->text(), QStringLiteral("ab"));
    QCOMPARE(server.requestsTo(QStringLiteral("/")).size(), 0);
}

QTEST_MAIN(TestPortalModule)
#include "TestPortalModule.moc"
