#include "ConfigStore.h"
#include "Startup.h"
#include "Version.h"
#include "support/PortalServer.h"
#include "support/TestFiles.h"
#include "support/TestHome.h"

#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QSocketNotifier>
#include <QtTest>

#include <vector>

#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
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
    void runByHand_data();
    void runByHand();
    void commandLine_data();
    void commandLine();
    void qtOptionsStillStart();

private:
    QProcessEnvironment launcherEnvironment(const TestHome &home, const QString &locale) const;
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
    launcher.setProcessEnvironment(launcherEnvironment(home, locale));
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

QProcessEnvironment TestStartup::launcherEnvironment(const TestHome &home, const QString &locale) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.configHome());
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), home.systemConfigHome());
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANG"), locale);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The press starts the web engine while the server answers, whatever the
    // answer; the tests may run as root, where the engine runs only so.
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    return env;
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
    QTest::addColumn<QByteArray>("systemFile"); // the administrator's file; empty: none

    QTest::addRow("english, first start") << QLocale::English << QString() << "1" << QByteArray();
    QTest::addRow("german, first start") << QLocale::German << QString() << "1" << QByteArray();
    QTest::addRow("chinese, first start") << QLocale::Chinese << QString() << QString() << QByteArray();
    QTest::addRow("english, chinese chosen") << QLocale::English << "0"
                                             << "0" << QByteArray();
    QTest::addRow("english, -1 stored") << QLocale::English << "-1"
                                        << "1" << QByteArray();
    QTest::addRow("english, not a number") << QLocale::English << "english"
                                           << "english" << QByteArray();
    QTest::addRow("english, other number") << QLocale::English << "7"
                                           << "7" << QByteArray();
    QTest::addRow("chinese, -1 stored") << QLocale::Chinese << "-1"
                                        << "-1" << QByteArray();
    QTest::addRow("english, chinese for every account")
        << QLocale::English << QString() << QString() << QByteArray("[General]\nlanguage=0\n");
    QTest::addRow("english, chinese fixed")
        << QLocale::English << QString() << QString() << QByteArray("[Mandatory]\nlanguage=0\n");
    QTest::addRow("english, -1 for every account")
        << QLocale::English << QString() << "1" << QByteArray("[General]\nlanguage=-1\n");
}

void TestStartup::languageDefault()
{
    QFETCH(QLocale::Language, system);
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    QFETCH(QByteArray, systemFile);
    TestHome home;
    QVERIFY(home.isValid());
    if (!systemFile.isEmpty())
        QVERIFY(home.writeSystemConfig(systemFile));
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

void TestStartup::runByHand_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("system"); // the administrator's file
    QTest::addColumn<bool>("folderAtStart"); // the user's settings and logs exist
    QTest::addColumn<bool>("monthOldKept");

    const QByteArray logon = "[General]\nautologin=1\nserviceIP=";
    QTest::addRow("terminal") << true << "en_US.UTF-8" << QByteArray() << true << false;
    QTest::addRow("terminal, settings for all accounts only")
        << true << "zh_CN.UTF-8" << logon << false << false;
    QTest::addRow("not a terminal, logs kept")
        << false << "en_US.UTF-8" << QByteArray("[General]\nlogDays=0\n") << true << true;
}

void TestStartup::runByHand()
{
    QFETCH(bool, terminal);
    QFETCH(QString, locale);
    QFETCH(QByteArray, system);
    QFETCH(bool, folderAtStart);
    QFETCH(bool, monthOldKept);
    TestHome home;
    QVERIFY(home.isValid());
    portal.clearRequests();
    const QString folder = home.configHome() + QStringLiteral("/VelmoClient/");
    const QString todays
        = folder + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt");
    const auto dayFile = [&](int age) -> QString {
        return folder + QDate::currentDate().addDays(-age).toString(QStringLiteral("yyyy-MM-dd"))
            + QStringLiteral(".txt");
    };
    if (system.startsWith("[General]\nautologin"))
        system += portal.address().toLatin1() + '\n';
    if (!system.isEmpty()) {
        const QString systemFile = home.systemConfigHome() + QStringLiteral("/VelmoClient/ClientConfig.ini");
        QVERIFY(QDir().mkpath(QFileInfo(systemFile).absolutePath()));
        QVERIFY(writeFile(systemFile, system));
    }
    if (folderAtStart) {
        QSettings settings(folder + QStringLiteral("ClientConfig.ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("serviceIP"), portal.address());
        settings.setValue(QStringLiteral("autologin"), QStringLiteral("1"));
        settings.sync();
        QVERIFY(writeFile(dayFile(31), "old\r\n"));
        QVERIFY(writeFile(dayFile(30), "old\r\n"));
        QVERIFY(writeFile(folder + QStringLiteral("notes.txt"), "mine\n"));
    }
    const QProcessEnvironment env = launcherEnvironment(home, locale);

    QByteArray seen;
    if (terminal) {
        QByteArrayList variables;
        for (const QString &name : env.keys())
            variables << QFile::encodeName(name + QLatin1Char('=') + env.value(name));
        std::vector<char *> envp;
        for (QByteArray &variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        QByteArray program(VELMO_CLIENT_PATH);
        const QByteArray dir = QFile::encodeName(home.root());
        char *argv[] = {program.data(), nullptr};
        // Ended and reaped however the checks below turn out.
        struct Terminal
        {
            pid_t pid = -1;
            int master = -1;
            ~Terminal()
            {
                if (pid > 0) {
                    ::kill(pid, SIGKILL);
                    ::waitpid(pid, nullptr, 0);
                }
                if (master >= 0)
                    ::close(master);
            }
        } child;
        child.pid = ::forkpty(&child.master, nullptr, nullptr, nullptr);
        QVERIFY(child.pid >= 0);
        if (child.pid == 0) {
            if (::chdir(dir.constData()) == 0)
                ::execve(program.constData(), argv, envp.data());
            ::_exit(127);
        }
        QSocketNotifier output(child.master, QSocketNotifier::Read);
        connect(&output, &QSocketNotifier::activated, &output, [&] {
            char buffer[4096];
            const ssize_t n = ::read(child.master, buffer, sizeof buffer);
            if (n > 0)
                seen.append(buffer, int(n));
            else
                output.setEnabled(false);
        });
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains(marker), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(todaysLog(home).contains(marker), 20000);
    } else {
        QProcess launcher;
        launcher.setProcessEnvironment(env);
        launcher.setWorkingDirectory(home.root());
        launcher.start(QStringLiteral(VELMO_CLIENT_PATH), QStringList());
        QVERIFY(launcher.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(todaysLog(home).contains(marker), 30000);
        launcher.kill();
        launcher.waitForFinished();
        seen = launcher.readAllStandardError() + launcher.readAllStandardOutput();
    }

    // Every line of the file shows on the terminal too, after one naming the file.
    const QByteArray header = "Log file: " + QFile::encodeName(todays);
    QCOMPARE(seen.contains(header), terminal);
    QCOMPARE(seen.contains(marker), terminal);
    if (terminal) {
        const int headerAt = seen.indexOf(header);
        QVERIFY(headerAt < seen.indexOf(") Debug: "));
        const QByteArray notYet = "(not written yet";
        QCOMPARE(seen.mid(headerAt, header.size() + notYet.size() + 1).contains(notYet), !folderAtStart);
    }
    if (folderAtStart) {
        QCOMPARE(QFile::exists(dayFile(31)), monthOldKept);
        QVERIFY(QFile::exists(dayFile(30)));
        QVERIFY(QFile::exists(folder + QStringLiteral("notes.txt")));
    }
}

void TestStartup::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // a pattern for the standard output
    QTest::addColumn<QString>("err"); // and for the standard error output

    const QString usage = QStringLiteral("^Usage: VelmoClient .*--version[^\n]*\n");
    const QString version = QStringLiteral("^VelmoClient %1\\.%2\\.%3\n$")
                                .arg(VELMO_VERSION_MAJOR)
                                .arg(VELMO_VERSION_MINOR)
                                .arg(VELMO_VERSION_PATCH);
    QTest::addRow("help") << QStringList {QStringLiteral("--help")} << 0 << usage << "^$";
    QTest::addRow("version") << QStringList {QStringLiteral("--version")} << 0 << version << "^$";
    QTest::addRow("version after session options")
        << QStringList {QStringLiteral("-session"), QStringLiteral("1a2b"), QStringLiteral("--version")} << 0
        << version << "^$";
    QTest::addRow("unknown option")
        << QStringList {QStringLiteral("--velmo-no-such-option")} << 2 << "^$"
        << QStringLiteral("^VelmoClient: unknown option '--velmo-no-such-option'\nUsage: VelmoClient ");
}

void TestStartup::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    TestHome home;
    QVERIFY(home.isValid());
    // No display of any kind: these answers come before Qt looks for one.
    QProcessEnvironment env = launcherEnvironment(home, QStringLiteral("en_US.UTF-8"));
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    QProcess launcher;
    launcher.setProcessEnvironment(env);
    launcher.setWorkingDirectory(home.root());
    launcher.start(QStringLiteral(VELMO_CLIENT_PATH), arguments);
    QVERIFY(launcher.waitForFinished(20000));
    const QString stdOut = QString::fromLocal8Bit(launcher.readAllStandardOutput());
    const QString stdErr = QString::fromLocal8Bit(launcher.readAllStandardError());
    QCOMPARE(launcher.exitStatus(), QProcess::NormalExit);
    QVERIFY2(launcher.exitCode() == exitCode,
        qPrintable(QStringLiteral("exit %1\n").arg(launcher.exitCode()) + stdErr));
    const QRegularExpression::PatternOption dotAll = QRegularExpression::DotMatchesEverythingOption;
    QVERIFY2(QRegularExpression(out, dotAll).match(stdOut).hasMatch(), qPrintable(stdOut));
    QVERIFY2(QRegularExpression(err, dotAll).match(stdErr).hasMatch(), qPrintable(stdErr));
    // Answered without a trace in the user's folder.
    QVERIFY(!QFileInfo::exists(home.configHome() + QStringLiteral("/VelmoClient")));
}

void TestStartup::qtOptionsStillStart()
{
    // What a session manager passes when it restores the session.
    TestHome home;
    QVERIFY(home.isValid());
    QProcess launcher;
    startWithAutomaticLogon(launcher, home, QStringLiteral("en_US.UTF-8"),
        {QStringLiteral("-session"), QStringLiteral("10b2c3d4e5_123"), QStringLiteral("-name"),
            QStringLiteral("VelmoClient"), QStringLiteral("-reverse")});
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(launcher.state(), QProcess::Running);
    launcher.kill();
    launcher.waitForFinished();
}

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
