#include "CertificateStore.h"
#include "ConfigStore.h"
#include "LogWriter.h"
#include "PrivateFiles.h"
#include "support/MessageRecorder.h"
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
    void fileOfEitherQt_data();
    void fileOfEitherQt();
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
    void lostWriteSaysSo_data();
    void lostWriteSaysSo();
    void ownerOnlyReported_data();
    void ownerOnlyReported();
    void levels_data();
    void levels();
    void systemFile_data();
    void systemFile();
    void exampleSystemFile_data();
    void exampleSystemFile();
    void systemFileLocation_data();
    void systemFileLocation();
    void systemGroup();

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

void TestConfigStore::fileOfEitherQt_data()
{
    QTest::addColumn<QString>("fixture");
    // Qt 5 wrote everything beyond ASCII as \x escapes, Qt 6 writes UTF-8;
    // an upgrade or a downgrade of the launcher must read what the other left.
    QTest::addRow("written by Qt 5") << "written-by-qt5.ini";
    QTest::addRow("written by Qt 6") << "written-by-qt6.ini";
}

void TestConfigStore::fileOfEitherQt()
{
    QFETCH(QString, fixture);
    QVERIFY(QDir().mkpath(QFileInfo(home->configFile()).path()));
    QVERIFY(QFile::copy(QStringLiteral(TEST_DATA_DIR "/settings/") + fixture, home->configFile()));
    QVERIFY(QFile::setPermissions(home->configFile(), QFile::ReadOwner | QFile::WriteOwner));
    const QString user = QStringLiteral("张三");
    const QString address = QStringLiteral("https://门户.example.invalid:8443/入口");
    const QString password = QStringLiteral("Müller-密码;=\"x\" é€\U0001D11E");
    const auto read = [](const char *key) { return readSetting(QLatin1String(key), QString()); };
    for (int pass = 0; pass < 2; ++pass) {
        QCOMPARE(read("user"), user);
        QCOMPARE(read("serviceIP"), address);
        QCOMPARE(read("password"), password);
        QCOMPARE(read("language"), pass == 0 ? QStringLiteral("0") : QStringLiteral("1"));
        // Rewritten by this build: the others' values survive, in UTF-8.
        writeSetting(QStringLiteral("language"), QStringLiteral("1"));
    }
    QFile file(home->configFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains(QByteArray("\nuser=" + user.toUtf8() + '\n')), text.constData());
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

void TestConfigStore::lostWriteSaysSo_data()
{
    QTest::addColumn<QString>("store");
    QTest::addRow("setting") << "setting";
    QTest::addRow("flag") << "flag";
    QTest::addRow("remembered certificate") << "certificate";
}

void TestConfigStore::lostWriteSaysSo()
{
    QFETCH(QString, store);
    // A folder where the file should be: no write can reach the disk, as root either.
    QVERIFY(QDir().mkpath(home->configFile()));
    const QString value = QStringLiteral("v4lue-2b-lost");
    MessageRecorder log;
    bool written = true;
    if (store == QLatin1String("setting"))
        written = writeSetting(Setting::user, value);
    else if (store == QLatin1String("flag"))
        written = writeFlag(Setting::autologin, true);
    else
        written = rememberFingerprint(QStringLiteral("portal.example:443"), value);
    QVERIFY(!written);
    QCOMPARE(log.count(QtWarningMsg, QDir::toNativeSeparators(home->configFile())), 1);
    QCOMPARE(log.messages().size(), 1);
    QCOMPARE(log.count(value), 0);

    // The same write on a sound file is on disk and says nothing.
    QVERIFY(QDir().rmdir(home->configFile()));
    MessageRecorder quiet;
    if (store == QLatin1String("setting"))
        QVERIFY(writeSetting(Setting::user, value));
    else if (store == QLatin1String("flag"))
        QVERIFY(writeFlag(Setting::autologin, true));
    else
        QVERIFY(rememberFingerprint(QStringLiteral("portal.example:443"), value));
    QVERIFY(quiet.messages().isEmpty());
}

void TestConfigStore::ownerOnlyReported_data()
{
    QTest::addColumn<QString>("made"); // what stands at the path before
    QTest::addColumn<QString>("call");
    QTest::addColumn<bool>("ownerOnly");
    QTest::addRow("narrow a file") << "file"
                                   << "narrow" << true;
    QTest::addRow("narrow nothing") << "nothing"
                                    << "narrow" << false;
    QTest::addRow("narrow a link") << "link"
                                   << "narrow" << false;
    QTest::addRow("folder where a file is") << "file"
                                            << "folder" << false;
    QTest::addRow("new folder") << "nothing"
                                << "folder" << true;
    QTest::addRow("new file") << "nothing"
                              << "file" << true;
    QTest::addRow("file where a link is") << "link"
                                          << "file" << false;
}

void TestConfigStore::ownerOnlyReported()
{
    QFETCH(QString, made);
    QFETCH(QString, call);
    QFETCH(bool, ownerOnly);
    QVERIFY(QDir().mkpath(home->root()));
    const QString path = home->root() + QStringLiteral("/entry");
    if (made == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
    } else if (made == QLatin1String("link")) {
        QVERIFY(QFile::link(home->root() + QStringLiteral("/elsewhere"), path));
    }
    const bool result = call == QLatin1String("narrow") ? narrowToOwner(path)
        : call == QLatin1String("folder")               ? makeOwnerOnlyDirectory(path)
                                                        : makeOwnerOnlyFile(path);
    QCOMPARE(result, ownerOnly);
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

namespace {

// Absent levels are null texts in the tables below.
std::optional<QString> level(const QString &text)
{
    return text.isNull() ? std::nullopt : std::optional<QString>(text);
}

} // namespace

void TestConfigStore::levels_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("systemDefault");
    QTest::addColumn<QString>("mandatory");
    QTest::addColumn<QString>("expected");
    const QString none;
    const QString empty = QLatin1String("");
    // The default named by the caller is "<default>" throughout.
    QTest::addRow("nowhere") << "serviceIP" << none << none << none << "<default>";
    QTest::addRow("system default") << "serviceIP" << none << "sys" << none << "sys";
    QTest::addRow("user over system default") << "serviceIP"
                                              << "mine"
                                              << "sys" << none << "mine";
    QTest::addRow("empty user value is set") << "serviceIP" << empty << "sys" << none << empty;
    QTest::addRow("mandatory over user") << "serviceIP"
                                         << "mine"
                                         << "sys"
                                         << "fixed"
                                         << "fixed";
    QTest::addRow("mandatory alone") << "language" << none << none << "1"
                                     << "1";
    QTest::addRow("mandatory empty over user") << "recordpass"
                                               << "1" << none << empty << empty;
    QTest::addRow("password: system default ignored")
        << "password" << none << "shared" << none << "<default>";
    QTest::addRow("password: mandatory ignored") << "password"
                                                 << "mine" << none << "shared"
                                                 << "mine";
    QTest::addRow("user name from system default") << "user" << none << "kiosk" << none << "kiosk";
    QTest::addRow("unknown key follows the levels")
        << "certificateCheck" << none << "strict" << none << "strict";
}

void TestConfigStore::levels()
{
    QFETCH(QString, key);
    QFETCH(QString, user);
    QFETCH(QString, systemDefault);
    QFETCH(QString, mandatory);
    QFETCH(QString, expected);
    const SettingLevels levels {level(user), level(systemDefault), level(mandatory)};
    QCOMPARE(resolveSetting(key, levels, QStringLiteral("<default>")), expected);
}

void TestConfigStore::systemFile_data()
{
    QTest::addColumn<QByteArray>("system"); // "<none>": no file; "<folder>": a folder in its place
    QTest::addColumn<QByteArray>("user"); // "": no file
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("mandatory");

    QTest::addRow("no system file") << QByteArray("<none>") << QByteArray() << "serviceIP"
                                    << "<default>" << false;
    QTest::addRow("default for every account")
        << QByteArray("[General]\nserviceIP=portal.corp\n") << QByteArray() << "serviceIP"
        << "portal.corp" << false;
    QTest::addRow("user's own value wins") << QByteArray("[General]\nserviceIP=portal.corp\n")
                                           << QByteArray("[General]\nserviceIP=mine\n") << "serviceIP"
                                           << "mine" << false;
    QTest::addRow("user's empty value wins") << QByteArray("[General]\nserviceIP=portal.corp\n")
                                             << QByteArray("[General]\nserviceIP=\n") << "serviceIP"
                                             << "" << false;
    QTest::addRow("mandatory wins") << QByteArray("[General]\nserviceIP=a\n[Mandatory]\nserviceIP=fixed\n")
                                    << QByteArray("[General]\nserviceIP=mine\n") << "serviceIP"
                                    << "fixed" << true;
    QTest::addRow("password never from it")
        << QByteArray("[General]\npassword=shared\n[Mandatory]\npassword=fixed\n")
        << QByteArray("[General]\npassword=mine\n") << "password"
        << "mine" << false;
    QTest::addRow("garbage") << QByteArray("\x01\xff[Mandatory\x00=\xfe\n", 14)
                             << QByteArray("[General]\nserviceIP=mine\n") << "serviceIP"
                             << "mine" << false;
    QTest::addRow("unreadable: a folder")
        << QByteArray("<folder>") << QByteArray("[General]\nlogDays=5\n") << "logDays"
        << "5" << false;
}

void TestConfigStore::systemFile()
{
    QFETCH(QByteArray, system);
    QFETCH(QByteArray, user);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QFETCH(bool, mandatory);
    if (system == "<folder>")
        QVERIFY(QDir().mkpath(home->systemConfigFile()));
    else if (system != "<none>")
        QVERIFY(home->writeSystemConfig(system));
    if (!user.isEmpty()) {
        QVERIFY(home->makeAppConfigDir());
        QVERIFY(writeFile(home->configFile(), user));
    }

    QCOMPARE(readSetting(key, QStringLiteral("<default>")), expected);
    QCOMPARE(isSettingMandatory(key), mandatory);

    // Writes reach the user's file alone; the administrator's stays as written.
    writeSetting(key, QStringLiteral("written"));
    QCOMPARE(
        QSettings(home->configFile(), QSettings::IniFormat).value(key).toString(), QStringLiteral("written"));
    if (!system.startsWith('<')) {
        QFile file(home->systemConfigFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), system);
    }
}

void TestConfigStore::exampleSystemFile_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("userOnly");
    for (const SettingKey *key : Setting::all)
        QTest::addRow("%s", key->name) << key->key() << key->userOnly;
}

void TestConfigStore::exampleSystemFile()
{
    // The shipped example names every key an administrator may set, each
    // commented out; with the comment marks taken away it is a file the
    // launcher reads as meant.
    QFETCH(QString, key);
    QFETCH(bool, userOnly);
    QFile example(QStringLiteral(EXAMPLE_SYSTEM_FILE));
    QVERIFY(example.open(QIODevice::ReadOnly | QIODevice::Text));
    QByteArray uncommented;
    QByteArray group;
    QByteArrayList generalKeys;
    QByteArrayList mandatoryKeys;
    for (const QByteArray &line : example.readAll().split('\n')) {
        if (line.startsWith('['))
            group = line;
        const bool setting = line.startsWith(';') && line.contains('=') && !line.contains(' ');
        if (setting && group == "[General]")
            generalKeys << line.mid(1, line.indexOf('=') - 1);
        if (setting && group == "[Mandatory]")
            mandatoryKeys << line.mid(1, line.indexOf('=') - 1);
        uncommented += (setting ? line.mid(1) : line) + '\n';
    }
    QCOMPARE(generalKeys.contains(key.toLatin1()), !userOnly);
    QVERIFY(!mandatoryKeys.contains(key.toLatin1()) || !userOnly);

    QVERIFY(home->writeSystemConfig(uncommented));
    QCOMPARE(isSettingMandatory(key), mandatoryKeys.contains(key.toLatin1()));
    QCOMPARE(
        readSetting(QStringLiteral("serviceIP"), QString()), QStringLiteral("https://portal.example.com"));
    QCOMPARE(readSetting(QStringLiteral("certificateCheck"), QString()), QStringLiteral("strict"));
}

void TestConfigStore::systemFileLocation_data()
{
    QTest::addColumn<QStringList>("holding"); // which of the folders "a" and "b" hold a file
    QTest::addColumn<QString>("used");
    QTest::addRow("none") << QStringList() << QString();
    QTest::addRow("second folder") << QStringList {"b"} << "b";
    QTest::addRow("first of two") << QStringList {"a", "b"} << "a";
}

void TestConfigStore::systemFileLocation()
{
    QFETCH(QStringList, holding);
    QFETCH(QString, used);
    const QString appFolder = QFileInfo(home->appConfigDir()).fileName();
    const auto fileIn = [&](const QString &folder) -> QString {
        return home->root() + QLatin1Char('/') + folder + QLatin1Char('/') + appFolder
            + QStringLiteral("/ClientConfig.ini");
    };
    qputenv("XDG_CONFIG_DIRS",
        QFile::encodeName(home->root() + QStringLiteral("/a:") + home->root() + QStringLiteral("/b")));
    for (const QString &folder : holding) {
        QVERIFY(QDir().mkpath(QFileInfo(fileIn(folder)).absolutePath()));
        QVERIFY(writeFile(fileIn(folder), "[General]\nserviceIP=" + folder.toLatin1() + "\n"));
    }
    // The user's own file is never taken for the system's.
    writeSetting(QStringLiteral("language"), QStringLiteral("1"));

    QCOMPARE(systemConfigFilePath(), used.isNull() ? QString() : fileIn(used));
    QCOMPARE(readSetting(QStringLiteral("serviceIP"), QStringLiteral("<default>")),
        used.isNull() ? QStringLiteral("<default>") : used);
}

void TestConfigStore::systemGroup()
{
    // Entries an administrator pins under a group of their own.
    QVERIFY(
        home->writeSystemConfig("[General]\nserviceIP=a\n[Certificates]\nportal.corp=AB12\nother=CD34\n"));
    QCOMPARE(systemSettingKeys(QStringLiteral("Certificates")),
        (QStringList {QStringLiteral("other"), QStringLiteral("portal.corp")}));
    QCOMPARE(readSystemSetting(QStringLiteral("Certificates"), QStringLiteral("portal.corp")),
        std::optional<QString>(QStringLiteral("AB12")));
    QCOMPARE(readSystemSetting(QStringLiteral("General"), QStringLiteral("serviceIP")),
        std::optional<QString>(QStringLiteral("a")));
    QVERIFY(!readSystemSetting(QStringLiteral("Certificates"), QStringLiteral("serviceIP")));
    QVERIFY(systemSettingKeys(QStringLiteral("Missing")).isEmpty());
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
