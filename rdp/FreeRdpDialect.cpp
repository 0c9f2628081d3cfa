#include "FreeRdpDialect.h"

namespace {

// Upstream's "/usb:" knows an allow list and "auto" but no deny list and no
// class filter: "auto" survives only when nothing restricts it. Empty when
// nothing is left, which means no USB redirection at all.
QString upstreamUsbOption(const QString &option)
{
    bool autoWanted = false;
    bool restricted = false;
    QStringList ids;
    const QStringList parts = option.mid(5).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part == QLatin1String("auto")) {
            autoWanted = true;
        } else if (part.startsWith(QLatin1String("id:"))) {
            if (part.size() > 3)
                ids.append(part.mid(3));
        } else {
            // "denyid:", "denyclassid:", or a part not known here: all may restrict.
            restricted = true;
        }
    }
    QStringList kept;
    if (autoWanted && !restricted)
        kept.append(QStringLiteral("auto"));
    if (!ids.isEmpty())
        kept.append(QStringLiteral("id:") + ids.join(QLatin1Char('#')));
    if (kept.isEmpty())
        return {};
    return QStringLiteral("/usb:") + kept.join(QLatin1Char(','));
}

} // namespace

QStringList adaptForUpstreamFreeRdp(const QStringList &options)
{
    QStringList adapted;
    bool clipboardOff = false;
    for (const QString &option : options) {
        if (option == QLatin1String("/multimedia:decoder:gstreamer"))
            continue;
        // Upstream turns the clipboard off only in both directions at once.
        if (option == QLatin1String("-sc-clipboard") || option == QLatin1String("-cs-clipboard")
            || option == QLatin1String("-clipboard")) {
            if (!clipboardOff)
                adapted.append(QStringLiteral("-clipboard"));
            clipboardOff = true;
            continue;
        }
        if (option.startsWith(QLatin1String("/usb:"))) {
            const QString usb = upstreamUsbOption(option);
            if (!usb.isEmpty())
                adapted.append(usb);
            continue;
        }
        adapted.append(option);
    }
    return adapted;
}
