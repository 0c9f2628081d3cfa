#include "DemoDesktop.h"

QList<DemoDesktop> demoDesktops()
{
    return {
        {"office", QStringLiteral("Office desktop"),
            QStringLiteral("USB devices (one denied), no clipboard to the client, video playback"),
            {"usbdevicestoredirect:s:*;-USB\\VID_0A1B&PID_2C3D;USB\\VID_ABCD&PID_EF01",
                "servertoclientclipboard:i:0", "videoplaybackmode:i:1"}},
        {"lab", QStringLiteral("Lab desktop"), QStringLiteral("Plain connection"), {}},
        {"design", QStringLiteral("Design workstation"), QStringLiteral("Printers and all drives redirected"),
            {"redirectprinters:i:1", "drivestoredirect:s:*"}},
    };
}

const DemoDesktop *findDemoDesktop(const QList<DemoDesktop> &desktops, const QByteArray &name)
{
    for (const DemoDesktop &desktop : desktops) {
        if (desktop.name == name)
            return &desktop;
    }
    return nullptr;
}
