#include "TerminalIdentity.h"

#include <QtTest>

using Flags = QNetworkInterface::InterfaceFlags;
using Interfaces = QList<InterfaceDescription>;
Q_DECLARE_METATYPE(Interfaces)

namespace {

const Flags upRunning = Flags(QNetworkInterface::IsUp | QNetworkInterface::IsRunning);

InterfaceDescription nic(const QString &mac, const QStringList &addresses, Flags flags = upRunning,
    QNetworkInterface::InterfaceType type = QNetworkInterface::Ethernet)
{
    InterfaceDescription description;
    description.flags = flags;
    description.type = type;
    description.hardwareAddress = mac;
    for (const QString &address : addresses)
        description.addresses << QHostAddress(address);
    return description;
}

} // namespace

class TestTerminalIdentity : public QObject
{
    Q_OBJECT

private slots:
    void selection_data();
    void selection();
    void describesThisMachine();
};

void TestTerminalIdentity::selection_data()
{
    QTest::addColumn<Interfaces>("interfaces");
    QTest::addColumn<QString>("serialId");

    const QString mac1 = QStringLiteral("00:1A:2B:3C:4D:5E");
    const QString mac2 = QStringLiteral("AA:BB:CC:DD:EE:FF");

    QTest::addRow("ethernet") << Interfaces {nic(mac1, {"192.168.1.20"})} << "DC001A2B3C4D5E";
    QTest::addRow("wifi") << Interfaces {nic(mac1, {"10.1.2.3"}, upRunning, QNetworkInterface::Wifi)}
                          << "DC001A2B3C4D5E";
    QTest::addRow("nothing") << Interfaces {} << QString();
    QTest::addRow("up, not running") << Interfaces {nic(mac1, {"192.168.1.20"}, QNetworkInterface::IsUp)}
                                     << QString();
    QTest::addRow("running, not up") << Interfaces {nic(mac1, {"192.168.1.20"}, QNetworkInterface::IsRunning)}
                                     << QString();
    QTest::addRow("loopback") << Interfaces {nic(
        QStringLiteral("00:00:00:00:00:00"), {"10.0.0.1"}, upRunning | QNetworkInterface::IsLoopBack)}
                              << QString();
    QTest::addRow("virtual") << Interfaces {nic(mac1, {"10.0.0.1"}, upRunning, QNetworkInterface::Virtual)}
                             << QString();
    QTest::addRow("ipv6 only") << Interfaces {nic(mac1, {"fe80::1", "2001:db8::5"})} << QString();
    QTest::addRow("ipv6 then ipv4") << Interfaces {nic(mac1, {"fe80::1", "172.16.0.9"})} << "DC001A2B3C4D5E";
    QTest::addRow("only 127.0.0.1") << Interfaces {nic(mac1, {"127.0.0.1"})} << QString();
    QTest::addRow("other loopback net address") << Interfaces {nic(mac1, {"127.0.0.2"})} << "DC001A2B3C4D5E";
    QTest::addRow("link-local ipv4") << Interfaces {nic(mac1, {"169.254.10.1"})} << "DC001A2B3C4D5E";
    QTest::addRow("no addresses") << Interfaces {nic(mac1, {})} << QString();
    QTest::addRow("first qualifying wins")
        << Interfaces {nic(mac1, {"10.0.0.1"}), nic(mac2, {"10.0.0.2"})} << "DC001A2B3C4D5E";
    QTest::addRow("skips unusable first")
        << Interfaces {nic(mac1, {"10.0.0.1"}, QNetworkInterface::IsUp), nic(mac2, {"fe80::2", "10.0.0.2"})}
        << "DCAABBCCDDEEFF";
    QTest::addRow("empty hardware address") << Interfaces {nic(QString(), {"10.0.0.1"})} << "DC";
}

void TestTerminalIdentity::selection()
{
    QFETCH(Interfaces, interfaces);
    QFETCH(QString, serialId);
    QCOMPARE(selectSerialId(interfaces), serialId);
}

void TestTerminalIdentity::describesThisMachine()
{
    // The loopback interface is on every machine and its facts are known.
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    const QList<InterfaceDescription> described = describeInterfaces(all);
    QCOMPARE(described.size(), all.size());
    int loopbacks = 0;
    for (int i = 0; i < all.size(); ++i) {
        if (!all.at(i).flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        ++loopbacks;
        const InterfaceDescription &loopback = described.at(i);
        QVERIFY(loopback.flags.testFlag(QNetworkInterface::IsLoopBack));
        QVERIFY(loopback.flags.testFlag(QNetworkInterface::IsUp));
        QCOMPARE(loopback.type, QNetworkInterface::Loopback);
        QVERIFY(loopback.addresses.contains(QHostAddress(QHostAddress::LocalHost)));
        QCOMPARE(loopback.hardwareAddress, QStringLiteral("00:00:00:00:00:00"));
    }
    QCOMPARE(loopbacks, 1);

    // The identity is some real interface's hardware address, never the loopback's.
    const QString identity = terminalSerialId();
    if (identity.isEmpty())
        return;
    QStringList candidates;
    for (const QNetworkInterface &interface : all) {
        if (!interface.flags().testFlag(QNetworkInterface::IsLoopBack))
            candidates << QStringLiteral("DC") + interface.hardwareAddress().remove(QLatin1Char(':'));
    }
    QVERIFY2(candidates.contains(identity), qPrintable(identity));
}

QTEST_GUILESS_MAIN(TestTerminalIdentity)
#include "TestTerminalIdentity.moc"
