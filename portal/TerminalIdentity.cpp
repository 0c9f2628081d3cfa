#include "TerminalIdentity.h"

#include <QDebug>

QList<InterfaceDescription> describeInterfaces(const QList<QNetworkInterface> &interfaces)
{
    QList<InterfaceDescription> descriptions;
    descriptions.reserve(interfaces.size());
    for (const QNetworkInterface &interface : interfaces) {
        InterfaceDescription description;
        description.flags = interface.flags();
        description.type = interface.type();
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries)
            description.addresses << entry.ip();
        description.hardwareAddress = interface.hardwareAddress();
        descriptions << description;
    }
    return descriptions;
}

namespace {

bool isUsable(const InterfaceDescription &interface)
{
    return interface.flags.testFlag(QNetworkInterface::IsUp)
        && interface.flags.testFlag(QNetworkInterface::IsRunning)
        && !interface.flags.testFlag(QNetworkInterface::IsLoopBack)
        && interface.type != QNetworkInterface::Virtual;
}

bool hasRealIPv4(const InterfaceDescription &interface)
{
    for (const QHostAddress &address : interface.addresses) {
        if (address != QHostAddress(QHostAddress::LocalHost)
            && address.protocol() == QAbstractSocket::IPv4Protocol)
            return true;
    }
    return false;
}

} // namespace

QString selectSerialId(const QList<InterfaceDescription> &interfaces)
{
    for (const InterfaceDescription &interface : interfaces) {
        if (isUsable(interface) && hasRealIPv4(interface))
            return QStringLiteral("DC") + QString(interface.hardwareAddress).remove(QLatin1Char(':'));
    }
    return QString();
}

QString terminalSerialId()
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    qDebug() << interfaces;
    return selectSerialId(describeInterfaces(interfaces));
}
