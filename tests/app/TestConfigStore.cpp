#include "ConfigStore.h"
#include "LogWriter.h"
#include "support/OtherAccount.h"
#include "support/TestFiles.h"
#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>

namespace {

uid_t ownerOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_uid : uid_t(-1);
}

} // namespace

class TestConfigStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultsWithoutFile_data();
    void defaultsWithoutFile();
    void roundTrip_data();
    void roundTrip();
    void writeKeepsOtherKeysInGeneral();
    void writeIsOnDiskAtOnce();
    void onlyOneIsAFlag_data();
    void onlyOneIsAFlag();
    void numbers_data();
    void numbers();
    void publishDateFromWorkingDirectory();
    void privateModes_data();
    void privateModes();
    void unprivilegedAccount();
    void unusableStoreKeepsWorking_data();
    void unusableStoreKeepsWorking();

private:
    QScopedPointer<TestHome> home;
};

void TestConfigStore::init()
{
    home.reset(new TestHome);
    QVERIFY(home->isValid());
}

void TestConfigStore::cleanup()
{
    home.reset();
}

void TestConfigStore::defaultsWithoutFile_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("fallback");
    QTest::addRow("language") << "language"
                              << "0";
    QTest::addRow("serviceIP") << "serviceIP" << QString();
    QTest::addRow("start-up probe") << "language"
                                    << "-1";
}

void TestConfigStore::defaultsWithoutFile()
{
    QFETCH(QString, key);
    QFETCH(QString, fallback);
    QCOMPARE(readSetting(key, fallback), fallback);
    QVERIFY(!QFile::exists(home->configFile()));
}

void TestConfigStore::roundTrip_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addRow("user") << "user"
                          << "alice";
    QTest::addRow("blanks kept") << "serviceIP"
                                 << "  10.0.0.5:8443/ ";
    QTest::addRow("chinese") << "user" << QStringLiteral("张三");
    QTest::addRow("empty value") << "password" << QString();
    QTest::addRow("ini syntax") << "password"
                                << "a=b;c#d\\e\"f[g]";
}

void TestConfigStore::roundTrip()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    writeSetting(key, value);
    QCOMPARE(readSetting(key, QStringLiteral("<default>")), value);
}

void TestConfigStore::writeKeepsOtherKeysInGeneral()
{
    writeSetting(QStringLiteral("user"), QStringLiteral("bob"));
    writeSetting(QStringLiteral("language"), QStringLiteral("1"));
    writeSetting(QStringLiteral("user"), QStringLiteral("carol"));

    QFile file(home->configFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.startsWith("[General]"));
    QCOMPARE(text.count("[General]"), 1);
    QVERIFY(text.contains("user=carol"));
    QVERIFY(text.contains("language=1"));
}

void TestConfigStore::writeIsOnDiskAtOnce()
{
    writeSetting(QStringLiteral("serviceIP"), QStringLiteral("portal.example"));
    // Another reader, as a second launcher process would be.
    const QSettings other(home->configFile(), QSettings::IniFormat);
    QCOMPARE(other.value(QStringLiteral("serviceIP")).toString(), QStringLiteral("portal.example"));
}

void TestConfigStore::onlyOneIsAFlag_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("set");
    QTest::addRow("1") << "1" << true;
    QTest::addRow("0") << "0" << false;
    QTest::addRow("true") << "true" << false;
    QTest::addRow("empty") << "" << false;
    QTest::addRow("1 with blank") << "1 " << false;
}

void TestConfigStore::onlyOneIsAFlag()
{
    QFETCH(QString, stored);
    QFETCH(bool, set);
    writeSetting(QStringLiteral("recordpass"), stored);
    QCOMPARE(isFlagSet(readSetting(QStringLiteral("recordpass"), QString())), set);
}

void TestConfigStore::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::addRow("0") << "0" << 0;
    QTest::addRow("1") << "1" << 1;
    QTest::addRow("-1") << "-1" << -1;
    QTest::addRow("7") << "7" << 7;
    QTest::addRow("word") << "english" << 0;
    QTest::addRow("hex is no number") << "0x1" << 0;
}

void TestConfigStore::numbers()
{
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(settingToInt(text), number);
}

void TestConfigStore::publishDateFromWorkingDirectory()
{
    const QString previous = QDir::currentPath();
    const QString withFile = home->root() + QStringLiteral("/install");
    const QString without = home->root() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkpath(withFile));
    QVERIFY(QDir().mkpath(without));
    QFile version(withFile + QStringLiteral("/Version.ini"));
    QVERIFY(version.open(QIODevice::WriteOnly));
    version.write("[General]\r\nPublish_Date=2026-11-30\r\n");
    version.close();

    QVERIFY(QDir::setCurrent(withFile));
    const QString found = readPublishDate();
    QVERIFY(QDir::setCurrent(without));
    const QString hidden = readPublishDate();
    QVERIFY(QDir::setCurrent(previous));

    QCOMPARE(found, QStringLiteral("2026-11-30"));
    QCOMPARE(hidden, QString());
}

void TestConfigStore::unusableStoreKeepsWorking_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addRow("garbage file") << "garbage";
    QTest::addRow("file is a directory") << "directory";
    QTest::addRow("directory cannot be created") << "blocked";
}

void TestConfigStore::unusableStoreKeepsWorking()
{
    QFETCH(QString, damage);
    if (damage == QLatin1String("garbage")) {
        QVERIFY(home->makeAppConfigDir());
        QFile file(home->configFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray junk;
        for (int i = 0; i < 4096; ++i)
            junk.append(char((i * 131 + 7) % 256));
        file.write(junk);
        file.close();
        QCOMPARE(
            readSetting(QStringLiteral("serviceIP"), QStringLiteral("fallback")), QStringLiteral("fallback"));
        // A write replaces the garbage with a readable file.
        writeSetting(QStringLiteral("serviceIP"), QStringLiteral("10.0.0.5"));
        QCOMPARE(readSetting(QStringLiteral("serviceIP"), QString()), QStringLiteral("10.0.0.5"));
        return;
    }
    if (damage == QLatin1String("directory")) {
        QVERIFY(QDir().mkpath(home->configFile()));
    } else {
        // The configuration home is a plain file, so nothing can be created under it.
        QVERIFY(QDir().mkpath(home->root()));
        QFile blocker(home->configHome());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
    }
    writeSetting(QStringLiteral("user"), QStringLiteral("dave"));
    QCOMPARE(readSetting(QStringLiteral("user"), QStringLiteral("fallback")), QStringLiteral("fallback"));
}

void TestConfigStore::privateModes_data()
{
    QTest::addColumn<int>("dirBefore"); // -1: missing
    QTest::addColumn<int>("fileBefore"); // -1: missing
    QTest::addColumn<int>("dirAfter");
    QTest::addColumn<int>("fileAfter");

    QTest::addRow("first write") << -1 << -1 << 0700 << 0600;
    QTest::addRow("folder from an earlier version") << 0755 << 0644 << 0700 << 0600;
    QTest::addRow("open to all") << 0777 << 0666 << 0700 << 0600;
    QTest::addRow("folder only") << 0775 << -1 << 0700 << 0600;
    QTest::addRow("private already") << 0700 << 0600 << 0700 << 0600;
    QTest::addRow("group may read") << 0750 << 0640 << 0700 << 0600;
}

void TestConfigStore::privateModes()
{
    QFETCH(int, dirBefore);
    QFETCH(int, fileBefore);
    QFETCH(int, dirAfter);
    QFETCH(int, fileAfter);
    const mode_t previous = ::umask(022);
    if (dirBefore >= 0) {
        QVERIFY(home->makeAppConfigDir());
        QVERIFY(::chmod(QFile::encodeName(home->appConfigDir()).constData(), mode_t(dirBefore)) == 0);
    }
    if (fileBefore >= 0) {
        QFile file(home->configFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nuser=alice\n");
        file.close();
        QVERIFY(::chmod(QFile::encodeName(home->configFile()).constData(), mode_t(fileBefore)) == 0);
    }
    writeSetting(QStringLiteral("password"), QStringLiteral("secret"));
    ::umask(previous);
    QCOMPARE(modeOf(home->appConfigDir()), dirAfter);
    QCOMPARE(modeOf(home->configFile()), fileAfter);
    QCOMPARE(readSetting(QStringLiteral("password"), QString()), QStringLiteral("secret"));
}

void TestConfigStore::unprivilegedAccount()
{
    // The launcher's store and log as an ordinary account with umask 022, in an
    // open home: only the launcher's own modes keep another account out.
    if (!OtherAccount::available())
        QSKIP("needs root to act as two other accounts");
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    const QString program = home->root() + QStringLiteral("/child");
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
    QVERIFY(QFile::setPermissions(program, open));
    QVERIFY(QFile::setPermissions(home->root(), open));
    const QString configHome = home->root() + QStringLiteral("/home");
    QVERIFY(QDir().mkpath(configHome));
    QVERIFY(::chown(QFile::encodeName(configHome).constData(), OtherAccount::user, OtherAccount::user) == 0);
    QVERIFY(QFile::setPermissions(configHome, open));

    QByteArray output;
    QVERIFY(OtherAccount::run(OtherAccount::user, program, {QStringLiteral("--child"), configHome}, &output));
    const QStringList paths = QString::fromLocal8Bit(output).trimmed().split(QLatin1Char('\n'));
    QCOMPARE(paths.size(), 3);
    const QString control = configHome + QStringLiteral("/readable.txt");
    QCOMPARE(paths.at(0), control);
    QVERIFY(paths.at(1).startsWith(configHome + QLatin1Char('/')));
    QCOMPARE(modeOf(QFileInfo(paths.at(1)).absolutePath()), 0700);
    for (const QString &file : {paths.at(1), paths.at(2)}) {
        QCOMPARE(ownerOf(file), OtherAccount::user);
        QCOMPARE(modeOf(file), 0600);
    }
    // The check itself works: the stranger reads what is open to all.
    QVERIFY(OtherAccount::canRead(OtherAccount::stranger, control));
    QVERIFY(!OtherAccount::canRead(OtherAccount::stranger, paths.at(1)));
    QVERIFY(!OtherAccount::canRead(OtherAccount::stranger, paths.at(2)));
    QVERIFY(OtherAccount::canRead(OtherAccount::user, paths.at(1)));
}

// The part of unprivilegedAccount() that runs as that account.
static int runChild(const QString &configHome)
{
    ::umask(022);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome));
    QFile control(configHome + QStringLiteral("/readable.txt"));
    if (!control.open(QIODevice::WriteOnly) || control.write("open\n") != 5)
        return 1;
    control.close();
    writeSetting(QStringLiteral("password"), QStringLiteral("secret"));
    logMessageHandler(QtDebugMsg, QMessageLogContext(), QStringLiteral("a line"));
    std::printf("%s\n%s\n%s\n", qPrintable(control.fileName()), qPrintable(configFilePath()),
        qPrintable(logFilePath(QDate::currentDate())));
    return QFile::exists(logFilePath(QDate::currentDate())) ? 0 : 1;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return runChild(QFile::decodeName(argv[2]));
    TestConfigStore test;
    return QTest::qExec(&test, argc, argv);
}
#include "TestConfigStore.moc"
