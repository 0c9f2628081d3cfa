#include "ConfigStore.h"
#include "Startup.h"
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
    void languageDefault_data();
    void languageDefault();
    void firstStartOnEnglishSystem_data();
    void firstStartOnEnglishSystem();
    void readOnlySettingsKeepWorking();
};

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
    QTest::addRow("en_US") << "en_US.UTF-8";
    QTest::addRow("zh_CN") << "zh_CN.UTF-8";
}

void TestStartup::firstStartOnEnglishSystem()
{
    QFETCH(QString, locale);
    TestHome home;
    QVERIFY(home.isValid());
    const QString configFile = home.configHome() + QStringLiteral("/VelmoClient/ClientConfig.ini");
    const QString logDir = home.configHome() + QStringLiteral("/VelmoClient");

    QProcess launcher;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.configHome());
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANG"), locale);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    launcher.setProcessEnvironment(env);
    launcher.setWorkingDirectory(home.root());
    launcher.start(QStringLiteral(VELMO_CLIENT_PATH), QStringList());
    QVERIFY(launcher.waitForStarted());

    if (locale.startsWith(QLatin1String("en"))) {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(configFile), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(
            QSettings(configFile, QSettings::IniFormat).value(QStringLiteral("language")).toString(),
            QStringLiteral("1"), 20000);
    } else {
        // Nothing is written on a Chinese system; give the start-up time to pass.
        QTest::qWait(1500);
        QVERIFY(!QFile::exists(configFile));
    }
    QCOMPARE(launcher.state(), QProcess::Running);
    launcher.kill();
    launcher.waitForFinished();
    Q_UNUSED(logDir)
}

void TestStartup::readOnlySettingsKeepWorking()
{
    // A settings file and folder nobody may write: the start-up rule's write
    // fails, the window comes up all the same and the file is left as it was.
    TestHome home;
    QVERIFY(home.isValid());
    const QString configDir = home.configHome() + QStringLiteral("/VelmoClient");
    QVERIFY(QDir().mkpath(configDir));
    const QString configFile = configDir + QStringLiteral("/ClientConfig.ini");
    const QByteArray stored("[General]\nserviceIP=https://portal.invalid\nuser=alice\n");
    {
        QFile file(configFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(stored), qint64(stored.size()));
    }
    // Root writes anything, so the launcher runs as nobody then; it needs its
    // own copy of the program where nobody can reach it.
    const QString program = home.root() + QStringLiteral("/VelmoClient");
    QVERIFY(QFile::copy(QStringLiteral(VELMO_CLIENT_PATH), program));
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
        | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    for (const QString &path : {home.root(), home.configHome(), home.tempDir(), program})
        QVERIFY(QFile::setPermissions(path, open));
    QVERIFY(QFile::setPermissions(configDir, readOnly));
    QVERIFY(QFile::setPermissions(
        configFile, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));

    QProcess launcher;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.configHome());
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    launcher.setProcessEnvironment(env);
    launcher.setWorkingDirectory(home.root());
    if (::getuid() == 0) {
        launcher.start(QStringLiteral("setpriv"),
            {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                QStringLiteral("--clear-groups"), program});
    } else {
        launcher.start(program, QStringList());
    }
    QVERIFY(launcher.waitForStarted());
    QTest::qWait(2000);
    QCOMPARE(launcher.state(), QProcess::Running);
    launcher.kill();
    launcher.waitForFinished();

    QFile file(configFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), stored);
    QCOMPARE(QDir(configDir).entryList(QDir::Files), QStringList {QStringLiteral("ClientConfig.ini")});
    QFile::setPermissions(configDir, open);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
