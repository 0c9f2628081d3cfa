#include "ConfigStore.h"
#include "Startup.h"
#include "support/PortalServer.h"
#include "support/TestHome.h"

#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <unistd.h>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void languageDefault_data();
    void languageDefault();
    void firstStartOnEnglishSystem_data();
    void firstStartOnEnglishSystem();
    void readOnlySettingsKeepWorking();
    void applicationStartMessagesStayOutOfLog();

private:
    void startWithAutomaticLogon(
        QProcess &launcher, const TestHome &home, const QString &locale, const QStringList &arguments = {});
    QByteArray todaysLog(const TestHome &home) const;

    PortalServer portal;
};

namespace {

const QString identityPath = QStringLiteral("/public/merolink-identify/is-me.do");
const QByteArray marker = QByteArrayLiteral("start-up marker");

} // namespace

void TestStartup::initTestCase()
{
    QVERIFY(portal.start());
    // Not an identity reply: the launcher logs it and stays at the login form.
    portal.identityReply = "{\"isMe\":\"" + marker + "\"}";
}

// The launcher logs in by itself against the loopback portal. Its identity
// request arrives only once the start-up rule has run and the window is built,
// and its reply body goes into the log: the signs a test waits for.
void TestStartup::startWithAutomaticLogon(
    QProcess &launcher, const TestHome &home, const QString &locale, const QStringList &arguments)
{
    portal.clearRequests();
    const QString configFile = home.configHome() + QStringLiteral("/VelmoClient/ClientConfig.ini");
    if (!QFile::exists(configFile)) {
        QSettings settings(configFile, QSettings::IniFormat);
        settings.setValue(QStringLiteral("serviceIP"), portal.address());
        settings.setValue(QStringLiteral("autologin"), QStringLiteral("1"));
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.configHome());
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANG"), locale);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    launcher.setProcessEnvironment(env);
    launcher.setWorkingDirectory(home.root());
    if (::getuid() == 0 && !(QFileInfo(configFile).permissions() & QFileDevice::WriteOwner)) {
        // Root writes anything, so a launcher that must not write runs as nobody.
        const QString program = home.root() + QStringLiteral("/VelmoClient");
        QVERIFY(QFile::copy(QStringLiteral(VELMO_CLIENT_PATH), program));
        launcher.start(QStringLiteral("setpriv"),
            QStringList {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                QStringLiteral("--clear-groups"), program}
                + arguments);
    } else {
        launcher.start(QStringLiteral(VELMO_CLIENT_PATH), arguments);
    }
    QVERIFY(launcher.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(portal.requestsTo(identityPath).size(), 1, 30000);
}

// Where the real program keeps its log: the configuration folder, one file a day.
QByteArray TestStartup::todaysLog(const TestHome &home) const
{
    QFile log(home.configHome() + QStringLiteral("/VelmoClient/")
        + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt"));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

void TestStartup::languageDefault_data()
{
    QTest::addColumn<QLocale::Language>("system");
    QTest::addColumn<QString>("stored"); // null: no key
    QTest::addColumn<QString>("expected"); // null: still no key

    QTest::addRow("english, first start") << QLocale::English << QString() << "1";
    QTest::addRow("german, first start") << QLocale::German << QString() << "1";
    QTest::addRow("chinese, first start") << QLocale::Chinese << QString() << QString();
    QTest::addRow("english, chinese chosen") << QLocale::English << "0"
                                             << "0";
    QTest::addRow("english, -1 stored") << QLocale::English << "-1"
                                        << "1";
    QTest::addRow("english, not a number") << QLocale::English << "english"
                                           << "english";
    QTest::addRow("english, other number") << QLocale::English << "7"
                                           << "7";
    QTest::addRow("chinese, -1 stored") << QLocale::Chinese << "-1"
                                        << "-1";
}

void TestStartup::languageDefault()
{
    QFETCH(QLocale::Language, system);
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    TestHome home;
    QVERIFY(home.isValid());
    if (!stored.isNull())
        writeSetting(QStringLiteral("language"), stored);

    applyLanguageDefault(QLocale(system));

    const QSettings settings(home.configFile(), QSettings::IniFormat);
    QCOMPARE(settings.contains(QStringLiteral("language")), !expected.isNull());
    if (!expected.isNull())
        QCOMPARE(settings.value(QStringLiteral("language")).toString(), expected);
}

void TestStartup::firstStartOnEnglishSystem_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("englishStored");
    QTest::addRow("en_US") << "en_US.UTF-8" << true;
    QTest::addRow("zh_CN") << "zh_CN.UTF-8" << false;
}

void TestStartup::firstStartOnEnglishSystem()
{
    QFETCH(QString, locale);
    QFETCH(bool, englishStored);
    TestHome home;
    QVERIFY(home.isValid());
    QProcess launcher;
    startWithAutomaticLogon(launcher, home, locale);
    if (QTest::currentTestFailed())
        return;

    const QSettings settings(
        home.configHome() + QStringLiteral("/VelmoClient/ClientConfig.ini"), QSettings::IniFormat);
    QCOMPARE(settings.contains(QStringLiteral("language")), englishStored);
    if (englishStored)
        QCOMPARE(settings.value(QStringLiteral("language")).toString(), QStringLiteral("1"));
    QTRY_VERIFY_WITH_TIMEOUT(todaysLog(home).contains(marker), 20000);
    QCOMPARE(launcher.state(), QProcess::Running);
    launcher.kill();
    launcher.waitForFinished();
}

void TestStartup::readOnlySettingsKeepWorking()
{
    // A settings file and folder nobody may write: the start-up rule's write
    // fails, the window comes up and logs in all the same, and the file is
    // left as it was.
    TestHome home;
    QVERIFY(home.isValid());
    const QString configDir = home.configHome() + QStringLiteral("/VelmoClient");
    QVERIFY(QDir().mkpath(configDir));
    const QString configFile = configDir + QStringLiteral("/ClientConfig.ini");
    const QByteArray stored
        = "[General]\nserviceIP=" + portal.address().toLatin1() + "\nautologin=1\nuser=alice\n";
    {
        QFile file(configFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(stored), qint64(stored.size()));
    }
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
        | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    for (const QString &path : {home.root(), home.configHome(), home.tempDir()})
        QVERIFY(QFile::setPermissions(path, open));
    QVERIFY(QFile::setPermissions(configDir, readOnly));
    QVERIFY(QFile::setPermissions(
        configFile, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));

    QProcess launcher;
    startWithAutomaticLogon(launcher, home, QStringLiteral("en_US.UTF-8"));
    QCOMPARE(launcher.state(), QProcess::Running);
    launcher.kill();
    launcher.waitForFinished();

    QFile file(configFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), stored);
    QCOMPARE(QDir(configDir).entryList(QDir::Files), QStringList {QStringLiteral("ClientConfig.ini")});
    QFile::setPermissions(configDir, open);
}

void TestStartup::applicationStartMessagesStayOutOfLog()
{
    // An unknown style makes the application object warn while it is being
    // built, before the log writer is installed: the warning goes to the
    // standard error output and never into the log.
    TestHome home;
    QVERIFY(home.isValid());
    QProcess launcher;
    startWithAutomaticLogon(launcher, home, QStringLiteral("en_US.UTF-8"),
        {QStringLiteral("-style"), QStringLiteral("velmo-no-such-style")});
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY_WITH_TIMEOUT(todaysLog(home).contains(marker), 20000);
    launcher.kill();
    launcher.waitForFinished();
    QVERIFY(launcher.readAllStandardError().contains("velmo-no-such-style"));
    QVERIFY(!todaysLog(home).contains("velmo-no-such-style"));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
