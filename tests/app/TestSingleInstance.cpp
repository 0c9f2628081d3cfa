#include "SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>

namespace {

const char *roleName(SingleInstance::Role role)
{
    switch (role) {
    case SingleInstance::Role::First:
        return "first";
    case SingleInstance::Role::Second:
        return "second";
    case SingleInstance::Role::Alone:
        return "alone";
    }
    return "?";
}

// A start of the launcher in another process: prints its role, and while it
// serves, a line for each request to come forward. With a go file it waits
// for that to appear first, so that several start at the same moment.
int runStart(const QString &folder, const QString &go)
{
    while (!go.isEmpty() && !QFile::exists(go))
        QThread::usleep(200);
    SingleInstance instance(folder);
    const SingleInstance::Role role = instance.start();
    std::printf("%s\n", roleName(role));
    std::fflush(stdout);
    if (role != SingleInstance::Role::First)
        return 0;
    QObject::connect(&instance, &SingleInstance::comeForward, &instance, [] {
        std::printf("forward\n");
        std::fflush(stdout);
    });
    return QCoreApplication::exec();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void rendezvous_data();
    void rendezvous();
    void role_data();
    void role();
    void startsAtTheSameMoment();

private:
    QProcess *startOther(const QString &folder, QObject *parent, const QString &go = QString());
};

QProcess *TestSingleInstance::startOther(const QString &folder, QObject *parent, const QString &go)
{
    auto *process = new QProcess(parent);
    process->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start"), folder, go});
    return process;
}

void TestSingleInstance::rendezvous_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");

    // The socket's address holds 107 bytes; "/launcher" takes 9 of them.
    const QString longest = QLatin1Char('/') + QString(97, QLatin1Char('a'));
    QTest::addRow("runtime folder") << "/run/user/1000/velmoclient"
                                    << "/run/user/1000/velmoclient/launcher";
    QTest::addRow("temporary folder") << "/tmp/velmoclient-1000"
                                      << "/tmp/velmoclient-1000/launcher";
    QTest::addRow("no folder") << QString() << QString();
    QTest::addRow("longest that fits") << longest << longest + QStringLiteral("/launcher");
    QTest::addRow("one byte too long") << longest + QLatin1Char('a') << QString();
    // Counted in the bytes of the file name, not in characters.
    QTest::addRow("accent too long") << QLatin1Char('/') + QString(96, QLatin1Char('a')) + QChar(0xe9)
                                     << QString();
}

void TestSingleInstance::rendezvous()
{
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(rendezvousName(folder), expected);
}

void TestSingleInstance::role_data()
{
    QTest::addColumn<QString>("before"); // what the folder holds before this start
    QTest::addColumn<SingleInstance::Role>("expected");

    QTest::addRow("nobody ran") << "nothing" << SingleInstance::Role::First;
    QTest::addRow("a launcher runs") << "running" << SingleInstance::Role::Second;
    QTest::addRow("a killed launcher's socket and lock") << "killed" << SingleInstance::Role::First;
    QTest::addRow("a lock whose holder never answers") << "held" << SingleInstance::Role::Alone;
    QTest::addRow("folder open to others") << "open" << SingleInstance::Role::Alone;
}

void TestSingleInstance::role()
{
    QFETCH(QString, before);
    QFETCH(SingleInstance::Role, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path();
    QObject owner;
    QProcess *other = nullptr;
    QLockFile held(folder + QStringLiteral("/launcher.lock"));
    if (before == QLatin1String("running") || before == QLatin1String("killed")) {
        other = startOther(folder, &owner);
        QVERIFY(other->waitForReadyRead(10000));
        QCOMPARE(other->readLine(), QByteArray("first\n"));
        if (before == QLatin1String("killed")) {
            other->kill();
            QVERIFY(other->waitForFinished());
            QVERIFY(QFile::exists(folder + QStringLiteral("/launcher")));
        }
    } else if (before == QLatin1String("held")) {
        QVERIFY(held.tryLock(0));
    } else if (before == QLatin1String("open")) {
        QVERIFY(QFile::setPermissions(folder, QFile::permissions(folder) | QFileDevice::ExeOther));
    }

    SingleInstance instance(folder);
    QCOMPARE(instance.start(300), expected);
    if (before == QLatin1String("running")) {
        QTRY_VERIFY(other->canReadLine());
        QCOMPARE(other->readLine(), QByteArray("forward\n"));
    }
    if (expected != SingleInstance::Role::First)
        return;
    // Whoever serves now answers the next start.
    QProcess *next = startOther(folder, &owner);
    QSignalSpy forward(&instance, &SingleInstance::comeForward);
    QTRY_COMPARE_WITH_TIMEOUT(next->state(), QProcess::NotRunning, 10000);
    QCOMPARE(next->readAllStandardOutput(), QByteArray("second\n"));
    QCOMPARE(forward.count(), 1);
}

void TestSingleInstance::startsAtTheSameMoment()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + QStringLiteral("/run");
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QFile::setPermissions(
        folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const QString go = dir.path() + QStringLiteral("/go");
    QObject owner;
    QList<QProcess *> starts;
    for (int i = 0; i < 8; ++i) {
        starts << startOther(folder, &owner, go);
        QVERIFY(starts.last()->waitForStarted());
    }
    QFile(go).open(QIODevice::WriteOnly);
    QByteArray roles;
    QProcess *first = nullptr;
    for (QProcess *start : qAsConst(starts)) {
        QVERIFY(start->waitForReadyRead(15000));
        const QByteArray role = start->readLine();
        roles += role;
        if (role == "first\n")
            first = start;
    }
    QCOMPARE(roles.count("first\n"), 1);
    QCOMPARE(roles.count("second\n"), 7);
    QByteArray told;
    QTRY_COMPARE_WITH_TIMEOUT((told += first->readAllStandardOutput()).count("forward\n"), 7, 10000);
    first->kill();
    first->waitForFinished();
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--start") == 0)
        return runStart(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]));
    TestSingleInstance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestSingleInstance.moc"
