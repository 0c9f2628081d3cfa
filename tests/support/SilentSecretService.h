#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>

// Takes every call to the objects of a Secret Service and never answers, like
// a keyring waiting for an unlock nobody gives. Register it under
// /org/freedesktop/secrets with QDBusConnection::SubPath.
class SilentSecretService : public QDBusVirtualObject
{
public:
    using QDBusVirtualObject::QDBusVirtualObject;

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &, const QDBusConnection &) override
    {
        ++calls;
        return true;
    }

    int calls = 0;
};
