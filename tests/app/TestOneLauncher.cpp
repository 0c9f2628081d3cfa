#include "support/TestHome.h"
#include "support/WindowManager.h"

#include <QDirIterator>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QWidget>

// The real program under a window manager: a second start brings the running
// launcher's window to the front and ends, and a launcher killed outright
// leaves nothing that keeps the next one from starting.
class TestOneLauncher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void secondStartBringsFirstForward_data();
    void secondStartBringsFirstForward();
    void killedLauncherDoesNotBlock();

private:
    QProcess *startLauncher();
    static QList<WId> windowsOf(const QProcess *launcher);
    static WId managedWindowOf(const QProcess *launcher, int timeout);
    static WId activeWindow();
    static WId topWindow();
    static bool isIconic(WId window);
    QByteArray logs() const;

    QScopedPointer<TestHome> home;
    QScopedPointer<WindowManager> manager;
    QList<QProcess *> launchers;
};

void TestOneLauncher::initTestCase()
{
    // The launcher's folders, not this test's.
    QCoreApplication::setApplicationName(QStringLiteral("VelmoClient"));
}

void TestOneLauncher::init()
{
    home.reset(new TestHome);
    QVERIFY(home->isValid());
    // A login press would go nowhere but here; none is made.
    QVERIFY(home->makeAppConfigDir());
    QSettings settings(home->configFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("serviceIP"), QStringLiteral("https://127.0.0.1"));
    settings.setValue(QStringLiteral("language"), QStringLiteral("1"));
    settings.sync();
    manager.reset(new WindowManager);
    QVERIFY2(manager->start(), "openbox did not take the display");
}

void TestOneLauncher::cleanup()
{
    for (QProcess *launcher : qAsConst(launchers)) {
        launcher->kill();
        launcher->waitForFinished();
        delete launcher;
    }
    launchers.clear();
    manager.reset();
    home.reset();
}

QProcess *TestOneLauncher::startLauncher()
{
    auto *launcher = new QProcess;
    launchers << launcher;
    launcher->setWorkingDirectory(home->root());
    launcher->setProcessChannelMode(QProcess::ForwardedChannels);
    launcher->start(QStringLiteral(VELMO_CLIENT_PATH), QStringList());
    return launcher;
}

QList<WId> TestOneLauncher::windowsOf(const QProcess *launcher)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
            QString::number(launcher->processId())});
    search.waitForFinished(5000);
    QList<WId> ids;
    for (const QByteArray &line : search.readAllStandardOutput().split('\n')) {
        if (!line.trimmed().isEmpty())
            ids << WId(line.trimmed().toULongLong());
    }
    return ids;
}

// The launcher's one window once the manager has framed it. While openbox
// reparents a window it is briefly unmapped, so the bare list can flicker.
WId TestOneLauncher::managedWindowOf(const QProcess *launcher, int timeout)
{
    QDeadlineTimer deadline(timeout);
    do {
        const QList<WId> ids = windowsOf(launcher);
        if (ids.size() == 1 && WindowManager::isFramed(ids.first()) && windowsOf(launcher) == ids)
            return ids.first();
        QTest::qWait(50);
    } while (!deadline.hasExpired());
    return 0;
}

namespace {

// The windows an xprop line names, as in "_NET_ACTIVE_WINDOW(WINDOW): window id # 0x600007".
QList<WId> windowIds(const QByteArray &xpropLine)
{
    QList<WId> ids;
    const int hash = xpropLine.indexOf('#');
    if (hash < 0)
        return ids;
    for (const QByteArray &id : xpropLine.mid(hash + 1).split(','))
        ids << WId(id.trimmed().toULongLong(nullptr, 16));
    return ids;
}

} // namespace

WId TestOneLauncher::activeWindow()
{
    const QList<WId> ids = windowIds(WindowManager::rootProperty("_NET_ACTIVE_WINDOW"));
    return ids.isEmpty() ? 0 : ids.first();
}

// The managed window that is on top of all others.
WId TestOneLauncher::topWindow()
{
    const QList<WId> ids = windowIds(WindowManager::rootProperty("_NET_CLIENT_LIST_STACKING"));
    return ids.isEmpty() ? 0 : ids.last();
}

bool TestOneLauncher::isIconic(WId window)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
        {QStringLiteral("-id"), QString::number(window), QStringLiteral("WM_STATE")});
    xprop.waitForFinished(5000);
    return xprop.readAllStandardOutput().contains("window state: Iconic");
}

QByteArray TestOneLauncher::logs() const
{
    QByteArray all;
    QDirIterator files(home->appConfigDir(), {QStringLiteral("*.txt")}, QDir::Files);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly))
            all += file.readAll();
    }
    return all;
}

void TestOneLauncher::secondStartBringsFirstForward_data()
{
    QTest::addColumn<bool>("minimised"); // else behind another window

    QTest::addRow("minimised") << true;
    QTest::addRow("behind another window") << false;
}

void TestOneLauncher::secondStartBringsFirstForward()
{
    QFETCH(bool, minimised);
    QProcess *first = startLauncher();
    const WId window = managedWindowOf(first, 30000);
    QVERIFY(window);
    QWidget other;
    if (minimised) {
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                     {QStringLiteral("windowminimize"), QStringLiteral("--sync"), QString::number(window)}),
            0);
        QTRY_VERIFY(isIconic(window));
    } else {
        other.setWindowTitle(QStringLiteral("another program"));
        other.resize(1000, 700);
        other.show();
        other.activateWindow();
        QTRY_COMPARE(topWindow(), other.winId());
    }
    QVERIFY(activeWindow() != window);

    QProcess *second = startLauncher();
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!isIconic(window) && topWindow() == window && activeWindow() == window, 10000);
    QCOMPARE(windowsOf(first), QList<WId> {window});
    QCOMPARE(logs().count("Another start of the launcher"), 1);
}

void TestOneLauncher::killedLauncherDoesNotBlock()
{
    QProcess *killed = startLauncher();
    QVERIFY(managedWindowOf(killed, 30000));
    killed->kill();
    QVERIFY(killed->waitForFinished());
    // What it leaves behind: its socket and its lock.
    const QString folder = home->runtimeDir() + QStringLiteral("/velmoclient");
    QVERIFY(QFile::exists(folder + QStringLiteral("/launcher")));
    QVERIFY(QFile::exists(folder + QStringLiteral("/launcher.lock")));

    QProcess *next = startLauncher();
    // Under the sanitizers on a loaded machine a start once showed no window within 30 s.
    QVERIFY(managedWindowOf(next, 60000));
    QCOMPARE(next->state(), QProcess::Running);
    // And it serves the start after it.
    QProcess *after = startLauncher();
    QVERIFY(after->waitForFinished(20000));
    QCOMPARE(after->exitCode(), 0);
    QTRY_COMPARE(logs().count("Another start of the launcher"), 1);
}

QTEST_MAIN(TestOneLauncher)
#include "TestOneLauncher.moc"
