#include "RdpTranslation.h"

#include <QFile>
#include <QVector>
#include <QtEndian>

#include <algorithm>

// Values, class lists and device lists are taken whole, never cut to a fixed
// size: a cut would silently corrupt a long gateway host name or password and
// could split a UTF-8 sequence.

namespace {

// The text the keys are searched in: the file was a NUL-terminated C string.
QByteArray searchText(const QByteArray &head)
{
    QByteArray text = head.left(rdpHeadSize);
    if (text.startsWith("\xFF\xFE")) {
        // Unicode files become UTF-8, not Latin-1: values are read as UTF-8,
        // so any other 8-bit form would garble a non-ASCII password.
        QVector<char16_t> units((text.size() - 2) / 2);
        // Only the mark: nothing to copy, and no buffer to copy into.
        if (!units.isEmpty())
            qFromLittleEndian<quint16>(text.constData() + 2, units.size(), units.data());
        text = QString::fromUtf16(units.constData(), units.size()).toUtf8();
    }
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

// The value behind key up to its line end; empty when absent, empty, or not
// ended by a line end (an unfinished last line may be a truncated file).
QString stringValue(const QByteArray &text, const char *key)
{
    const int at = text.indexOf(key);
    if (at < 0)
        return {};
    const int start = at + int(qstrlen(key));
    // The value ends at its own line's end, so a file that mixes LF and CR LF
    // line ends cannot pull the following lines into a value.
    int end = text.indexOf('\n', start);
    if (end < 0)
        return {};
    if (end > start && text.at(end - 1) == '\r')
        --end;
    return QString::fromUtf8(text.constData() + start, end - start);
}

// "vendor:product" of a device item, or empty when the item names no device.
QString deviceId(const QString &item)
{
    QString vendor;
    QString product;
    const QStringList parts = item.split(QLatin1Char('&'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    for (const QString &part : parts) {
        if (part.contains(QLatin1String("USB\\VID_"), Qt::CaseSensitive))
            vendor = part.right(4);
        if (part.startsWith(QLatin1String("PID_"), Qt::CaseSensitive))
            product = part.right(4);
    }
    const auto isHex = [](const QString &digits) {
        return std::all_of(digits.cbegin(), digits.cend(), [](QChar c) {
            return (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
                || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        });
    };
    if (vendor.size() != 4 || product.size() != 4 || !isHex(vendor) || !isHex(product))
        return {};
    return vendor + QLatin1Char(':') + product;
}

} // namespace

QByteArray readRdpHead(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(rdpHeadSize);
}

QString usbOption(const QByteArray &text)
{
    const QString denyAll = QStringLiteral("/usb:denyid:ffff:ffff");
    const QString value = stringValue(text, "usbdevicestoredirect:s:");
    if (value.isEmpty())
        return denyAll;
    const QStringList items = value.split(QLatin1Char(';'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (items.size() < 2)
        return text.contains("usbdevicestoredirect:s:*") ? QStringLiteral("/usb:auto") : denyAll;

    bool autoFlag = false;
    QString classList;
    QStringList allow;
    QStringList deny;
    for (const QString &item : items) {
        if (item.contains(QLatin1Char('*'))) {
            autoFlag = true;
        } else if (item.contains(QLatin1String("denyclassid"), Qt::CaseSensitive)) {
            classList = item.mid(12); // behind "denyclassid:"
        } else {
            const QString id = deviceId(item);
            if (id.isEmpty())
                continue;
            if (item.startsWith(QLatin1String("-USB"), Qt::CaseSensitive))
                deny.append(id);
            else
                allow.append(id);
        }
    }

    if (allow.isEmpty() && deny.isEmpty()) {
        if (!autoFlag)
            return QStringLiteral("/usb:denyclassid:") + classList;
        return classList.isEmpty() ? QStringLiteral("/usb:auto")
                                   : QString(QStringLiteral("/usb:auto,denyclassid:") + classList);
    }
    QString option = autoFlag ? QStringLiteral("/usb:auto,") : QStringLiteral("/usb:");
    if (!classList.isEmpty())
        option += QStringLiteral("denyclassid:") + classList + QLatin1Char(',');
    if (!allow.isEmpty()) {
        option += QStringLiteral("id:") + allow.join(QLatin1Char('#'));
        if (!deny.isEmpty())
            option += QLatin1Char(',');
    }
    if (!deny.isEmpty())
        option += QStringLiteral("denyid:") + deny.join(QLatin1Char('#'));
    return option;
}

QStringList withFloatingBar(QStringList options)
{
    const int fullScreen = options.indexOf(QStringLiteral("/f"));
    if (fullScreen >= 0)
        options.insert(fullScreen + 1, QStringLiteral("/floatbar:sticky:off,default:hidden,show:fullscreen"));
    return options;
}

QStringList rdpOptions(const QByteArray &head)
{
    const QByteArray text = searchText(head);
    const auto has = [&text](const char *key) { return text.contains(key); };
    QStringList options;

    const QString gateway = stringValue(text, "gatewayhostname:s:");
    if (!gateway.isEmpty()) {
        options.append(QStringLiteral("/g:") + gateway);
        const QString user = stringValue(text, "gatewayusername:s:");
        if (!user.isEmpty())
            options.append(QStringLiteral("/gu:") + user);
        const QString password = stringValue(text, "gatewaypassword:s:");
        if (!password.isEmpty())
            options.append(QStringLiteral("/gp:") + password);
        const QString domain = stringValue(text, "gatewaydomain:s:");
        if (!domain.isEmpty())
            options.append(QStringLiteral("/gd:") + domain);
    }

    const bool audioMode = has("audiomode:i:1");
    if (!audioMode && has("videoplaybackmode:i:1"))
        options.append(QStringLiteral("/multimedia:decoder:gstreamer"));
    if (has("use multimon:i:1"))
        options.append(QStringLiteral("/multimon"));
    options.append(QStringLiteral("/f"));
    options.append(audioMode ? QStringLiteral("/audio-mode:1") : QStringLiteral("/sound:latency:200"));
    options << QStringLiteral("-window-drag") << QStringLiteral("-offscreen-cache")
            << QStringLiteral("-glyph-cache") << QStringLiteral("-bitmap-cache");
    if (has("multi touch:i:1"))
        options.append(QStringLiteral("+multitouch"));
    if (has("use gfx:i:1")) {
        options.append(QStringLiteral("/gfx:avc444"));
    } else {
        if (has("GDI rendering:i:1"))
            options.append(QStringLiteral("/gdi:hw"));
        options.append(QStringLiteral("/rfx"));
    }
    options.append(QStringLiteral("/cert:ignore"));

    if (has("redirectprinters:i:1"))
        options.append(QStringLiteral("/printer"));
    if (has("drivestoredirect:s:*"))
        options.append(QStringLiteral("+drives"));
    if (has("servertoclientclipboard:i:0"))
        options.append(QStringLiteral("-sc-clipboard"));
    if (has("clienttoserverclipboard:i:0"))
        options.append(QStringLiteral("-cs-clipboard"));
    if (has("redirectclipboard:i:0"))
        options.append(QStringLiteral("-clipboard"));
    if (has("redirectsmartcards:i:1"))
        options.append(QStringLiteral("/smartcard"));
    options.append(usbOption(text));
    return options;
}
