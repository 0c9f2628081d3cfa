#pragma once

#include <QHostAddress>
#include <QList>
#include <QNetworkInterface>
#include <QString>

// The terminal's identity: "DC" and the MAC address of its first usable
// network interface. Selection works on plain descriptions so that every rule
// can be checked without real hardware.

struct InterfaceDescription
{
    QNetworkInterface::InterfaceFlags flags;
    QNetworkInterface::InterfaceType type = QNetworkInterface::Unknown;
    QList<QHostAddress> addresses; // in the order the system lists them
    QString hardwareAddress; // "00:1A:2B:3C:4D:5E"
};

QList<InterfaceDescription> describeInterfaces(const QList<QNetworkInterface> &interfaces);

// "DC" + hardware address without colons of the first interface that is up,
// running, neither loopback nor virtual, and has an IPv4 address other than
// 127.0.0.1; "" when none qualifies.
QString selectSerialId(const QList<InterfaceDescription> &interfaces);

// The identity of this machine; logs the interface list first.
QString terminalSerialId();
