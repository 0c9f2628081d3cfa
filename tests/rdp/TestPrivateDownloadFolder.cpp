#include "PrivateDownloadFolder.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

// Root plants; the unprivileged account (uid 65534) runs the folder choice in a
// child copy of this program, as the launcher would, and root looks at the result.

namespace {

constexpr uid_t other = 65534;

struct Node
{
    bool exists = false;
    bool isLink = false;
    bool isDir = false;
    uid_t owner = 0;
    mode_t mode = 0;
};

Node nodeAt(const QString &path)
{
    Node node;
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return node;
    node.exists = true;
    node.isLink = S_ISLNK(st.st_mode);
    node.isDir = S_ISDIR(st.st_mode);
    node.owner = st.st_uid;
    node.mode = st.st_mode & 07777;
    return node;
}

bool makeDir(const QString &path, mode_t mode, uid_t owner)
{
    const QByteArray name = QFile::encodeName(path);
    return ::mkdir(name.constData(), 0700) == 0 && ::chmod(name.constData(), mode) == 0
        && ::lchown(name.constData(), owner, owner) == 0;
}

bool makeFile(const QString &path, mode_t mode, uid_t owner)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("planted\n") != 8)
        return false;
    file.close();
    const QByteArray name = QFile::encodeName(path);
    return ::chmod(name.constData(), mode) == 0 && ::lchown(name.constData(), owner, owner) == 0;
}

bool makeLink(const QString &target, const QString &path, uid_t owner)
{
    const QByteArray name = QFile::encodeName(path);
    return ::symlink(QFile::encodeName(target).constData(), name.constData()) == 0
        && ::lchown(name.constData(), owner, owner) == 0;
}

} // namespace

class TestPrivateDownloadFolder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void choice_data();
    void choice();
    void housekeeping_data();
    void housekeeping();
    void staleDesktops_data();
    void staleDesktops();
    void ownAccount();

private:
    // Runs the child as the other account; its standard output, or null on failure.
    QString runAsOther(const QStringList &arguments);

    QScopedPointer<QTemporaryDir> root;
    QString program;
    QString shared; // stands in for /tmp
    QString runtime; // stands in for /run/user/<uid>
};

void TestPrivateDownloadFolder::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("needs root to plant files and to act as a second account");
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("setpriv (util-linux) is missing");
}

void TestPrivateDownloadFolder::init()
{
    root.reset(new QTemporaryDir);
    QVERIFY(root->isValid());
    QVERIFY(::chmod(QFile::encodeName(root->path()).constData(), 0755) == 0);
    // The other account needs a copy of this program it can reach.
    program = root->path() + QStringLiteral("/child");
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
    QVERIFY(::chmod(QFile::encodeName(program).constData(), 0755) == 0);
    shared = root->path() + QStringLiteral("/tmp");
    QVERIFY(makeDir(shared, 01777, 0));
    runtime = root->path() + QStringLiteral("/run");
}

void TestPrivateDownloadFolder::cleanup()
{
    root.reset();
}

QString TestPrivateDownloadFolder::runAsOther(const QStringList &arguments)
{
    QProcess child;
    child.start(QStringLiteral("setpriv"),
        QStringList {QStringLiteral("--reuid=%1").arg(other), QStringLiteral("--regid=%1").arg(other),
            QStringLiteral("--clear-groups"), program, QStringLiteral("--child")}
            + arguments);
    if (!child.waitForFinished(20000) || child.exitStatus() != QProcess::NormalExit
        || child.exitCode() != 0) {
        qWarning() << "child failed:" << child.readAllStandardError();
        return QString();
    }
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
}

void TestPrivateDownloadFolder::choice_data()
{
    QTest::addColumn<QString>("plant");
    QTest::addColumn<QString>("expected"); // named, fresh, runtime, temp

    QTest::addRow("nothing there") << ""
                                   << "named";
    QTest::addRow("folder of root") << "root-folder"
                                    << "fresh";
    QTest::addRow("closed folder of root") << "root-closed"
                                           << "fresh";
    QTest::addRow("own folder left open") << "open-folder"
                                          << "fresh";
    QTest::addRow("file") << "file"
                          << "fresh";
    QTest::addRow("link to an open folder") << "link-open"
                                            << "fresh";
    QTest::addRow("own link to own private folder") << "link-private"
                                                    << "fresh";
    QTest::addRow("dangling link") << "link-dangling"
                                   << "fresh";
    QTest::addRow("own private folder from before") << "own-private"
                                                    << "named";
    QTest::addRow("runtime folder usable") << "runtime"
                                           << "runtime";
    QTest::addRow("runtime folder of root") << "runtime-root"
                                            << "named";
    QTest::addRow("runtime folder open") << "runtime-open"
                                         << "named";
    QTest::addRow("runtime entry planted as link") << "runtime-link"
                                                   << "named";
    QTest::addRow("temporary folder closed") << "temp-closed"
                                             << "temp";
}

void TestPrivateDownloadFolder::choice()
{
    QFETCH(QString, plant);
    QFETCH(QString, expected);
    const QString named = shared + QStringLiteral("/velmoclient-%1").arg(other);
    const QString elsewhere = root->path() + QStringLiteral("/elsewhere");
    QString runtimeArgument;

    if (plant == QLatin1String("root-folder")) {
        QVERIFY(makeDir(named, 0777, 0));
    } else if (plant == QLatin1String("root-closed")) {
        QVERIFY(makeDir(named, 0700, 0));
    } else if (plant == QLatin1String("open-folder")) {
        QVERIFY(makeDir(named, 0755, other));
    } else if (plant == QLatin1String("file")) {
        QVERIFY(makeFile(named, 0666, 0));
    } else if (plant == QLatin1String("link-open")) {
        QVERIFY(makeDir(elsewhere, 0777, 0));
        QVERIFY(makeLink(elsewhere, named, 0));
    } else if (plant == QLatin1String("link-private")) {
        QVERIFY(makeDir(elsewhere, 0700, other));
        QVERIFY(makeLink(elsewhere, named, other));
    } else if (plant == QLatin1String("link-dangling")) {
        QVERIFY(makeLink(elsewhere, named, 0));
    } else if (plant == QLatin1String("own-private")) {
        QVERIFY(makeDir(named, 0700, other));
    } else if (plant.startsWith(QLatin1String("runtime"))) {
        runtimeArgument = runtime;
        if (plant == QLatin1String("runtime-root"))
            QVERIFY(makeDir(runtime, 0700, 0));
        else if (plant == QLatin1String("runtime-open"))
            QVERIFY(makeDir(runtime, 0755, other));
        else
            QVERIFY(makeDir(runtime, 0700, other));
        if (plant == QLatin1String("runtime-link")) {
            QVERIFY(makeDir(elsewhere, 0777, 0));
            QVERIFY(makeLink(elsewhere, runtime + QStringLiteral("/velmoclient"), 0));
        }
    } else if (plant == QLatin1String("temp-closed")) {
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 0755) == 0);
    }
    const Node plantedBefore = nodeAt(named);

    const QString chosen = runAsOther({QStringLiteral("choose"), shared, runtimeArgument});
    QVERIFY(!chosen.isEmpty());

    if (expected == QLatin1String("named")) {
        QCOMPARE(chosen, named);
    } else if (expected == QLatin1String("runtime")) {
        QCOMPARE(chosen, runtime + QStringLiteral("/velmoclient"));
    } else if (expected == QLatin1String("fresh")) {
        QVERIFY2(chosen.startsWith(named + QLatin1Char('-')), qPrintable(chosen));
        QCOMPARE(chosen.size(), named.size() + 7);
    } else {
        // Nothing could be made: the download still has a place.
        QCOMPARE(chosen, shared);
        return;
    }
    const Node folder = nodeAt(chosen);
    QVERIFY(folder.exists);
    QVERIFY(folder.isDir && !folder.isLink);
    QCOMPARE(folder.owner, other);
    QCOMPARE(folder.mode, mode_t(0700));

    // What was planted is left as it was, and nothing went through a link.
    const Node plantedAfter = nodeAt(named);
    if (plantedBefore.exists && expected == QLatin1String("fresh")) {
        QCOMPARE(plantedAfter.owner, plantedBefore.owner);
        QCOMPARE(plantedAfter.mode, plantedBefore.mode);
        QCOMPARE(plantedAfter.isLink, plantedBefore.isLink);
    }
    if (QFileInfo::exists(elsewhere))
        QCOMPARE(
            QDir(elsewhere).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void TestPrivateDownloadFolder::housekeeping_data()
{
    QTest::addColumn<QString>("plant");
    QTest::addColumn<bool>("removed");

    QTest::addRow("own, readable by all") << "own-0644" << true;
    QTest::addRow("own, private") << "own-0600" << false;
    QTest::addRow("root's, readable by all") << "root-0644" << false;
    QTest::addRow("own link to root's file") << "link" << false;
    QTest::addRow("own folder") << "folder" << false;
}

void TestPrivateDownloadFolder::housekeeping()
{
    QFETCH(QString, plant);
    QFETCH(bool, removed);
    // Not sticky, so a wrong removal of someone else's entry would succeed.
    QVERIFY(::chmod(QFile::encodeName(shared).constData(), 0777) == 0);
    const QString stale = shared + QStringLiteral("/tmp.rdp");
    const QString target = root->path() + QStringLiteral("/target.rdp");
    if (plant == QLatin1String("own-0644"))
        QVERIFY(makeFile(stale, 0644, other));
    else if (plant == QLatin1String("own-0600"))
        QVERIFY(makeFile(stale, 0600, other));
    else if (plant == QLatin1String("root-0644"))
        QVERIFY(makeFile(stale, 0644, 0));
    else if (plant == QLatin1String("folder"))
        QVERIFY(makeDir(stale, 0755, other));
    else {
        QVERIFY(makeFile(target, 0644, 0));
        QVERIFY(makeLink(target, stale, other));
    }
    QCOMPARE(runAsOther({QStringLiteral("housekeep"), shared}), QStringLiteral("done"));
    QCOMPARE(nodeAt(stale).exists, !removed);
    if (plant == QLatin1String("link"))
        QVERIFY(QFile::exists(target));
}

void TestPrivateDownloadFolder::staleDesktops_data()
{
    QTest::addColumn<QString>("name"); // {dead}: a process that has ended, {self}: this one
    QTest::addColumn<bool>("removed");
    QTest::addRow("killed launcher's desktop") << "desktop-{dead}-a1b2c3" << true;
    QTest::addRow("running launcher's desktop") << "desktop-{self}-a1b2c3" << false;
    QTest::addRow("a running process of another account") << "desktop-1-a1b2c3" << false;
    QTest::addRow("no process number") << "desktop-x-a1b2c3" << false;
    QTest::addRow("not a desktop") << "keep-{dead}" << false;
    QTest::addRow("tmp.rdp of an earlier version") << "tmp.rdp" << true;
}

void TestPrivateDownloadFolder::staleDesktops()
{
    QFETCH(QString, name);
    QFETCH(bool, removed);
    QProcess ended;
    ended.start(QStringLiteral("sleep"), {QStringLiteral("10")});
    QVERIFY(ended.waitForStarted());
    const qint64 dead = ended.processId();
    ended.kill();
    QVERIFY(ended.waitForFinished());
    name.replace(QLatin1String("{dead}"), QString::number(dead))
        .replace(QLatin1String("{self}"), QString::number(QCoreApplication::applicationPid()));
    const QString folder = root->path() + QStringLiteral("/private");
    QVERIFY(makeDir(folder, 0700, 0));
    const QString planted = folder + QLatin1Char('/') + name;
    if (name.endsWith(QLatin1String(".rdp")))
        QVERIFY(makeFile(planted, 0600, 0));
    else {
        QVERIFY(makeDir(planted, 0700, 0));
        QVERIFY(makeFile(planted + QStringLiteral("/tmp.rdp"), 0600, 0));
    }
    // The folder a desktop gets now is its own and stays.
    const QString fresh = makeDesktopFolder(folder);
    QVERIFY(
        fresh.startsWith(folder + QStringLiteral("/desktop-%1-").arg(QCoreApplication::applicationPid())));
    QCOMPARE(nodeAt(fresh).mode, mode_t(0700));

    removeStaleDesktopFolders(folder);
    QCOMPARE(nodeAt(planted).exists, !removed);
    QVERIFY(nodeAt(fresh).exists);
}

void TestPrivateDownloadFolder::ownAccount()
{
    // Run as root too: the same folder choice for the account that runs the tests.
    const QString chosen = privateDownloadFolder(shared, QString());
    QCOMPARE(chosen, shared + QStringLiteral("/velmoclient-0"));
    QCOMPARE(nodeAt(chosen).mode, mode_t(0700));
}

int main(int argc, char *argv[])
{
    if (argc >= 3 && qstrcmp(argv[1], "--child") == 0) {
        if (qstrcmp(argv[2], "choose") == 0 && argc == 5) {
            std::printf("%s\n",
                privateDownloadFolder(QFile::decodeName(argv[3]), QFile::decodeName(argv[4]))
                    .toLocal8Bit()
                    .constData());
            return 0;
        }
        if (qstrcmp(argv[2], "housekeep") == 0 && argc == 4) {
            removeStaleConnectionFile(QFile::decodeName(argv[3]));
            std::printf("done\n");
            return 0;
        }
        return 2;
    }
    QCoreApplication app(argc, argv);
    TestPrivateDownloadFolder test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestPrivateDownloadFolder.moc"
