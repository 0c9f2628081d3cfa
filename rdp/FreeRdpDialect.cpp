#include "FreeRdpDialect.h"

#include <QRegularExpression>

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

bool isClipboardSwitch(const QString &option)
{
    return option == QLatin1String("-sc-clipboard") || option == QLatin1String("-cs-clipboard")
        || option == QLatin1String("-clipboard");
}

const QLatin1String gstreamer("/multimedia:decoder:gstreamer");

struct GatewayField
{
    const char *option;
    const char *key;
    const char *name;
};

// In the order FreeRDP 3's "/gateway:" lists them.
const GatewayField gatewayFields[] = {
    {"/g:", "g:", "gateway host name"},
    {"/gu:", "u:", "gateway user name"},
    {"/gp:", "p:", "gateway password"},
    {"/gd:", "d:", "gateway domain"},
};

int gatewayFieldIndex(const QString &option)
{
    for (int i = 0; i < 4; ++i) {
        if (option.startsWith(QLatin1String(gatewayFields[i].option)))
            return i;
    }
    return -1;
}

struct CacheSwitch
{
    const char *option;
    const char *part;
};

const CacheSwitch cacheSwitches[] = {
    {"-bitmap-cache", "bitmap:off"},
    {"-glyph-cache", "glyph:off"},
    {"-offscreen-cache", "offscreen:off"},
};

bool isCacheSwitch(const QString &option)
{
    for (const CacheSwitch &cache : cacheSwitches) {
        if (option == QLatin1String(cache.option))
            return true;
    }
    return false;
}

} // namespace

FreeRdpDialect dialectFromProgramName(const QString &fileName)
{
    QString name = fileName.toLower();
    if (name.endsWith(QLatin1String(".exe")))
        name.chop(4);
    if (!name.contains(QLatin1String("freerdp")))
        return FreeRdpDialect::Unknown;
    if (name.endsWith(QLatin1Char('3')))
        return FreeRdpDialect::FreeRdp3;
    if (name.endsWith(QLatin1Char('2')))
        return FreeRdpDialect::FreeRdp2;
    return FreeRdpDialect::Unknown;
}

FreeRdpDialect dialectFromVersionOutput(const QByteArray &output)
{
    static const QRegularExpression version(QStringLiteral("FreeRDP version (\\d+)\\."));
    const QRegularExpressionMatch match = version.match(QString::fromUtf8(output));
    if (!match.hasMatch())
        return FreeRdpDialect::Unknown;
    const int major = match.captured(1).toInt();
    if (major == 2)
        return FreeRdpDialect::FreeRdp2;
    // Later versions keep the FreeRDP 3 syntax until they show otherwise.
    if (major >= 3)
        return FreeRdpDialect::FreeRdp3;
    return FreeRdpDialect::Unknown;
}

QStringList adaptForFreeRdp2(const QStringList &options)
{
    QStringList adapted;
    bool clipboardOff = false;
    for (const QString &option : options) {
        if (option == gstreamer)
            continue;
        // FreeRDP 2 turns the clipboard off only in both directions at once.
        if (isClipboardSwitch(option)) {
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

FreeRdp3Adaptation adaptForFreeRdp3(const QStringList &options, bool connectionHasPassword)
{
    FreeRdp3Adaptation result;

    QString gateway[4];
    bool serverToClientOff = false;
    bool clientToServerOff = false;
    bool clipboardOff = false;
    bool cacheOff[3] = {false, false, false};
    bool passwordGiven = connectionHasPassword;
    for (const QString &option : options) {
        const int field = gatewayFieldIndex(option);
        if (field >= 0)
            gateway[field] = option.mid(int(qstrlen(gatewayFields[field].option)));
        serverToClientOff |= option == QLatin1String("-sc-clipboard");
        clientToServerOff |= option == QLatin1String("-cs-clipboard");
        clipboardOff |= option == QLatin1String("-clipboard");
        for (int i = 0; i < 3; ++i)
            cacheOff[i] |= option == QLatin1String(cacheSwitches[i].option);
        passwordGiven |= option.startsWith(QLatin1String("/p:"));
    }

    // Items of "/gateway:" are split at commas; a value holding one would be
    // cut into pieces that mean something else.
    for (int i = 0; i < 4; ++i) {
        if (gateway[i].contains(QLatin1Char(','))) {
            result.refusedField = QLatin1String(gatewayFields[i].name);
            return result;
        }
    }

    if (!passwordGiven)
        result.options.append(QStringLiteral("/p:"));

    bool gatewayDone = false;
    bool clipboardDone = false;
    bool cacheDone = false;
    for (const QString &option : options) {
        if (option == gstreamer)
            continue;
        if (gatewayFieldIndex(option) >= 0) {
            if (gatewayDone)
                continue;
            gatewayDone = true;
            QStringList items;
            for (int i = 0; i < 4; ++i) {
                if (!gateway[i].isEmpty())
                    items.append(QLatin1String(gatewayFields[i].key) + gateway[i]);
            }
            result.options.append(QStringLiteral("/gateway:") + items.join(QLatin1Char(',')));
            continue;
        }
        if (isClipboardSwitch(option)) {
            if (clipboardDone)
                continue;
            clipboardDone = true;
            if (clipboardOff || (serverToClientOff && clientToServerOff))
                result.options.append(QStringLiteral("-clipboard"));
            else if (serverToClientOff)
                result.options.append(QStringLiteral("/clipboard:direction-to:remote"));
            else
                result.options.append(QStringLiteral("/clipboard:direction-to:local"));
            continue;
        }
        if (isCacheSwitch(option)) {
            if (cacheDone)
                continue;
            cacheDone = true;
            QStringList parts;
            for (int i = 0; i < 3; ++i) {
                if (cacheOff[i])
                    parts.append(QLatin1String(cacheSwitches[i].part));
            }
            result.options.append(QStringLiteral("/cache:") + parts.join(QLatin1Char(',')));
            continue;
        }
        if (option.startsWith(QLatin1String("/usb:"))) {
            const QString usb = upstreamUsbOption(option);
            if (!usb.isEmpty())
                result.options.append(usb);
            continue;
        }
        result.options.append(option);
    }
    return result;
}

bool connectionFileHasPassword(const QByteArray &text)
{
    // Keys as FreeRDP reads them from a connection file, without regard to case.
    static const QRegularExpression password(
        QStringLiteral("(^|\\n)\\s*(password 51:b|cleartextpassword:s|password:s):[^\\r\\n]*\\S"),
        QRegularExpression::CaseInsensitiveOption);
    QString decoded;
    if (text.startsWith("\xFF\xFE"))
        decoded = QString::fromUtf16(
            reinterpret_cast<const char16_t *>(text.constData() + 2), (text.size() - 2) / 2);
    else if (text.startsWith("\xEF\xBB\xBF"))
        decoded = QString::fromLatin1(text.mid(3));
    else
        decoded = QString::fromLatin1(text);
    return password.match(decoded).hasMatch();
}
