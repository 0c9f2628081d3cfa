#include "ConfigStore.h"
#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

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

QTEST_GUILESS_MAIN(TestConfigStore)
#include "TestConfigStore.moc"
