#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A desktop the demo portal offers for download as a connection file.
struct DemoDesktop
{
    // Also the file name: /desktops/<name>.rdp
    QByteArray name;
    QString title;
    QString description;
    // Settings beyond the common ones, each "key:type:value".
    QList<QByteArray> extraSettings;
};

// The fixed list the portal page shows, in page order.
QList<DemoDesktop> demoDesktops();

// The desktop of that name, or nullptr.
const DemoDesktop *findDemoDesktop(const QList<DemoDesktop> &desktops, const QByteArray &name);
