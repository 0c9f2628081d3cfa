#include "ConfigStore.h"
#include "MainWindow.h"
#include "PasswordRules.h"
#include "PasswordStore.h"
#include "RememberedPassword.h"
#include "support/MessageBoxRecorder.h"
#include "support/MessageRecorder.h"
#include "support/PortalServer.h"
#include "support/SilentSecretService.h"
#include "support/TestHome.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString secretService = QStringLiteral("org.freedesktop.secrets");
const QString identityPath = QStringLiteral("/public/merolink-identify/is-me.do");

// A session bus of the test's own that starts nothing by itself, so a
// keyring is there only while the test runs one.
const QByteArray busConfig
    = "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
      "<busconfig><type>session</type><listen>unix:path=%1</listen>"
      "<auth>EXTERNAL</auth><policy context=\"default\">"
      "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
      "<allow own=\"*\"/></policy></busconfig>\n";

} // namespace

// The remembered password in a real keyring: gnome-keyring's Secret Service,
// unlocked, on a bus the test starts; then the same without any.
class TestRememberedPassword : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void loginKeepsItInTheKeyring();
    void olderFileMovesIntoTheKeyring();
    void withoutKeyringTheFileKeepsIt();
    void keyringThatNeverAnswers();

private:
    MainWindow *makeWindow();
    template <typename T> T *child(const QString &name) const { return window->findChild<T *>(name); }
    void login(const QString &user, const QString &password, bool remember);
    // Waits until the window's store or move has reached the keyring or the file.
    bool waitSettled(int count = 1);
    // What secret-tool finds for the key, or nullopt when it finds nothing.
    std::optional<QString> lookup(const QString &user) const;
    QProcessEnvironment sessionEnvironment() const;

    QTemporaryDir keyringHome;
    QProcess bus;
    QProcess keyring;
    QString busAddress;
    QString secretTool;
    PortalServer server;
    QScopedPointer<TestHome> home;
    QScopedPointer<MainWindow> window;
    QScopedPointer<QSignalSpy> settled;
    MessageBoxRecorder boxes;
};

void TestRememberedPassword::initTestCase()
{
    const QString busDaemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    const QString keyringDaemon = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
    secretTool = QStandardPaths::findExecutable(QStringLiteral("secret-tool"));
    if (busDaemon.isEmpty())
        QSKIP("dbus-daemon is not installed (package dbus-daemon)");
    if (keyringDaemon.isEmpty())
        QSKIP("gnome-keyring-daemon is not installed (package gnome-keyring)");
    if (secretTool.isEmpty())
        QSKIP("secret-tool is not installed (package libsecret-tools)");
    QVERIFY(keyringHome.isValid());
    QVERIFY(server.start());
    server.holdIdentity = true;

    // QtKeychain picks KWallet on a KDE desktop; the keyring here is the Secret Service.
    for (const char *name :
        {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"})
        qunsetenv(name);

    const QString config = keyringHome.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QString::fromLatin1(busConfig).arg(keyringHome.filePath(QStringLiteral("bus"))).toUtf8());
    file.close();
    bus.start(busDaemon,
        {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
            QStringLiteral("--config-file=") + config});
    QVERIFY2(bus.waitForStarted(), qPrintable(bus.errorString()));
    QTRY_VERIFY(bus.canReadLine());
    busAddress = QString::fromUtf8(bus.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());

    // The keyring's files (a "login" keyring made and unlocked with this
    // password) live in the test's folder.
    QDir().mkpath(keyringHome.filePath(QStringLiteral("run")));
    QFile::setPermissions(keyringHome.filePath(QStringLiteral("run")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    keyring.setProcessEnvironment(sessionEnvironment());
    keyring.start(keyringDaemon,
        {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    QVERIFY2(keyring.waitForStarted(), qPrintable(keyring.errorString()));
    keyring.write("keyring-pass");
    keyring.closeWriteChannel();
    QDBusConnection connection = QDBusConnection::connectToBus(busAddress, QStringLiteral("test"));
    QVERIFY(connection.isConnected());
    QTRY_VERIFY_WITH_TIMEOUT(connection.interface()->isServiceRegistered(secretService), 15000);
}

void TestRememberedPassword::init()
{
    home.reset(new TestHome);
    QVERIFY(home->isValid());
    writeSetting(Setting::serviceIP, server.address());
    boxes.clear();
}

void TestRememberedPassword::cleanup()
{
    settled.reset();
    window.reset();
    home.reset();
}

void TestRememberedPassword::cleanupTestCase()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("test"));
    for (QProcess *process : {&keyring, &bus}) {
        process->terminate();
        process->waitForFinished();
    }
}

QProcessEnvironment TestRememberedPassword::sessionEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    environment.insert(QStringLiteral("HOME"), keyringHome.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), keyringHome.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), keyringHome.filePath(QStringLiteral("run")));
    return environment;
}

MainWindow *TestRememberedPassword::makeWindow()
{
    settled.reset();
    window.reset(new MainWindow);
    settled.reset(new QSignalSpy(window->findChild<RememberedPassword *>(), &RememberedPassword::settled));
    return window.data();
}

void TestRememberedPassword::login(const QString &user, const QString &password, bool remember)
{
    auto *userEdit = child<QLineEdit>(QStringLiteral("userEdit"));
    auto *passwordEdit = child<QLineEdit>(QStringLiteral("passwordEdit"));
    userEdit->clear();
    QTest::keyClicks(userEdit, user);
    passwordEdit->clear();
    QTest::keyClicks(passwordEdit, password);
    child<QCheckBox>(QStringLiteral("recordPassBox"))->setChecked(remember);
    QTest::mouseClick(child<QPushButton>(QStringLiteral("loginButton")), Qt::LeftButton);
}

bool TestRememberedPassword::waitSettled(int count)
{
    return QTest::qWaitFor(
        [this, count] { return settled->count() >= count; }, 2 * PasswordStore::defaultTimeoutMs);
}

std::optional<QString> TestRememberedPassword::lookup(const QString &user) const
{
    QProcess tool;
    tool.setProcessEnvironment(sessionEnvironment());
    tool.start(secretTool,
        {QStringLiteral("lookup"), QStringLiteral("server"), QStringLiteral("VelmoClient"),
            QStringLiteral("user"), keyringKey(server.address(), user)});
    if (!tool.waitForFinished() || tool.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("secret-tool did not finish");
    if (tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput());
}

void TestRememberedPassword::loginKeepsItInTheKeyring()
{
    const QString password = QStringLiteral("Pa55 word");
    makeWindow();
    login(QStringLiteral("alice"), password, true);
    QVERIFY(waitSettled());
    QCOMPARE(lookup(QStringLiteral("alice")), std::optional<QString>(password));
    QCOMPARE(readSetting(Setting::password), QString());
    QCOMPARE(readSetting(Setting::user), QStringLiteral("alice"));

    // The next start shows the form at once and the password from the keyring.
    makeWindow();
    auto *passwordEdit = child<QLineEdit>(QStringLiteral("passwordEdit"));
    QCOMPARE(child<QLineEdit>(QStringLiteral("userEdit"))->text(), QStringLiteral("alice"));
    QTRY_COMPARE(passwordEdit->text(), password);

    // An automatic logon waits for it: the press stores what the keyring gave.
    const int checksBefore = server.requestsTo(identityPath).size();
    writeSetting(Setting::autologin, QStringLiteral("1"));
    makeWindow();
    QTRY_COMPARE(server.requestsTo(identityPath).size(), checksBefore + 1);
    QCOMPARE(child<QLineEdit>(QStringLiteral("passwordEdit"))->text(), password);
    QVERIFY(waitSettled());
    QCOMPARE(lookup(QStringLiteral("alice")), std::optional<QString>(password));
    QCOMPARE(readSetting(Setting::password), QString());

    // Unticked, it leaves the keyring.
    writeSetting(Setting::autologin, QStringLiteral("0"));
    makeWindow();
    QTRY_COMPARE(child<QLineEdit>(QStringLiteral("passwordEdit"))->text(), password);
    login(QStringLiteral("alice"), password, false);
    QVERIFY(waitSettled());
    QCOMPARE(lookup(QStringLiteral("alice")), std::nullopt);
    QCOMPARE(readSetting(Setting::password), QString());
}

void TestRememberedPassword::olderFileMovesIntoTheKeyring()
{
    MessageRecorder log;
    writeSetting(Setting::recordpass, QStringLiteral("1"));
    writeSetting(Setting::user, QStringLiteral("bob"));
    writeSetting(Setting::password, QStringLiteral("old secret"));

    makeWindow();
    QCOMPARE(child<QLineEdit>(QStringLiteral("passwordEdit"))->text(), QStringLiteral("old secret"));
    QVERIFY(waitSettled());
    QCOMPARE(lookup(QStringLiteral("bob")), std::optional<QString>(QStringLiteral("old secret")));
    QCOMPARE(readSetting(Setting::password), QString());
    QCOMPARE(log.count(QStringLiteral("moved from the settings file into the keyring")), 1);
    QCOMPARE(log.messages().filter(QStringLiteral("old secret")), QStringList());
}

void TestRememberedPassword::withoutKeyringTheFileKeepsIt()
{
    keyring.terminate();
    QVERIFY(keyring.waitForFinished());
    QDBusConnection connection(QStringLiteral("test"));
    QTRY_VERIFY(!connection.interface()->isServiceRegistered(secretService));

    MessageRecorder log;
    makeWindow();
    login(QStringLiteral("carol"), QStringLiteral("file pw"), true);
    QVERIFY(waitSettled());
    QCOMPARE(readSetting(Setting::password), QStringLiteral("file pw"));
    QCOMPARE(log.count(QtWarningMsg, QStringLiteral("No keyring answered")), 1);
    QCOMPARE(log.messages().filter(QStringLiteral("file pw")), QStringList());

    // The next start takes it from the file, and says once more why it is there.
    makeWindow();
    QCOMPARE(child<QLineEdit>(QStringLiteral("passwordEdit"))->text(), QStringLiteral("file pw"));
    QVERIFY(waitSettled());
    QCOMPARE(readSetting(Setting::password), QStringLiteral("file pw"));
    QCOMPARE(log.count(QtWarningMsg, QStringLiteral("No keyring answered")), 2);
}

void TestRememberedPassword::keyringThatNeverAnswers()
{
    QDBusConnection connection(QStringLiteral("test"));
    SilentSecretService silent;
    QVERIFY(connection.registerVirtualObject(
        QStringLiteral("/org/freedesktop/secrets"), &silent, QDBusConnection::SubPath));
    QVERIFY(connection.registerService(secretService));
    MessageRecorder log;
    writeSetting(Setting::recordpass, QStringLiteral("1"));
    writeSetting(Setting::user, QStringLiteral("dave"));
    writeSetting(Setting::autologin, QStringLiteral("1"));
    const int checksBefore = server.requestsTo(identityPath).size();

    // The automatic logon goes ahead once the keyring's time is up.
    makeWindow();
    QTRY_COMPARE_WITH_TIMEOUT(
        server.requestsTo(identityPath).size(), checksBefore + 1, 2 * PasswordStore::defaultTimeoutMs);
    QVERIFY(silent.calls > 0);
    QCOMPARE(log.count(QtWarningMsg, QStringLiteral("no answer within 5 s")), 1);

    // A press whose keyring does not answer leaves the password in the file.
    window->findChild<RememberedPassword *>()->keyring()->setTimeout(300);
    login(QStringLiteral("dave"), QStringLiteral("late pw"), true);
    QVERIFY(waitSettled());
    QCOMPARE(readSetting(Setting::password), QStringLiteral("late pw"));

    QVERIFY(connection.unregisterService(secretService));
    connection.unregisterObject(QStringLiteral("/org/freedesktop/secrets"), QDBusConnection::UnregisterTree);
}

QTEST_MAIN(TestRememberedPassword)
#include "TestRememberedPassword.moc"
