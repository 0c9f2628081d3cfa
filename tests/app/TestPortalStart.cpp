#include "support/PortalServer.h"
#include "support/TestHome.h"

#include <QDate>
#include <QProcess>
#include <QtTest>

// The launcher as shipped, as a process of its own: it finds the portal
// module beside itself or where the package puts it, and loads the web engine
// as the real program does.
class TestPortalStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void moduleLocation_data();
    void moduleLocation();

private:
    PortalServer server;
};

void TestPortalStart::initTestCase()
{
    QVERIFY(server.start());
}

void TestPortalStart::moduleLocation_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<bool>("opens");
    QTest::addRow("build tree, module beside the program") << "build" << true;
    QTest::addRow("installed layout") << "installed" << true;
    QTest::addRow("program without module") << "alone" << false;
}

void TestPortalStart::moduleLocation()
{
    QFETCH(QString, layout);
    QFETCH(bool, opens);
    TestHome home;
    QVERIFY(home.isValid());
    const QString configDir = home.configHome() + QStringLiteral("/VelmoClient");
    QVERIFY(QDir().mkpath(configDir));
    {
        QFile config(configDir + QStringLiteral("/ClientConfig.ini"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[General]\nautologin=1\nserviceIP=" + server.address().toLatin1() + '\n');
    }

    QString program = QStringLiteral(VELMO_CLIENT_PATH);
    if (layout != QLatin1String("build")) {
        const QString bin = home.root() + QStringLiteral("/usr/" INSTALL_BINDIR);
        program = bin + QStringLiteral("/VelmoClient");
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QFile::copy(QStringLiteral(VELMO_CLIENT_PATH), program));
        if (layout == QLatin1String("installed")) {
            const QString moduleDir = home.root() + QStringLiteral("/usr/" INSTALL_MODULE_DIR);
            QVERIFY(QDir().mkpath(moduleDir));
            QVERIFY(QFile::copy(QStringLiteral(PORTAL_MODULE_PATH),
                moduleDir + QLatin1Char('/') + QFileInfo(QStringLiteral(PORTAL_MODULE_PATH)).fileName()));
        }
    }
    server.clearRequests();

    QProcess launcher;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.configHome());
    launcher.setProcessEnvironment(env);
    launcher.setWorkingDirectory(home.root());
    launcher.start(program, QStringList());
    QVERIFY(launcher.waitForStarted());

    QFile log(configDir + QLatin1Char('/') + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
        + QStringLiteral(".txt"));
    auto logText = [&log] {
        log.close();
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    };
    if (opens) {
        // The signed-in portal page is asked for, and the log says where from.
        QTRY_VERIFY_WITH_TIMEOUT(!server.requestsTo(QStringLiteral("/")).isEmpty(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(logText().contains("controlData.serverAddress="), 10000);
    } else {
        // The server's yes is logged before the portal would be built.
        QTRY_VERIFY_WITH_TIMEOUT(logText().contains("isMe"), 30000);
    }
    QCOMPARE(launcher.state(), QProcess::Running);
    launcher.kill();
    launcher.waitForFinished();

    const QByteArray text = logText();
    QVERIFY2(!text.contains("initialized from a plugin"), text.constData());
    QCOMPARE(text.count("Critical:"), opens ? 0 : 1);
    QCOMPARE(text.contains("Portal module not found"), !opens);
    if (!opens)
        QVERIFY(server.requestsTo(QStringLiteral("/")).isEmpty());
}

QTEST_GUILESS_MAIN(TestPortalStart)
#include "TestPortalStart.moc"
