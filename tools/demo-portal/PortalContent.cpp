#include "PortalContent.h"

#include <QUrlQuery>

namespace PortalContent {

static bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Escaped for HTML text, with control characters made visible as U+FFFD rather
// than passed on to the page.
static QString escaped(const QString &text)
{
    QString clean = text;
    for (QChar &c : clean) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QChar::ReplacementCharacter;
    }
    return clean.toHtmlEscaped();
}

static QByteArray withoutControls(const QString &text)
{
    QByteArray out;
    for (char c : text.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F)
            out += c;
    }
    return out;
}

QString decodeSerialId(const QByteArray &sid, bool *ok)
{
    *ok = false;
    if (sid.size() % 2 != 0)
        return {};
    for (char c : sid) {
        if (!isHexDigit(c))
            return {};
    }
    QByteArray bytes = QByteArray::fromHex(sid);
    for (char &b : bytes)
        b = static_cast<char>(b ^ serialIdKey);
    *ok = true;
    return QString::fromLatin1(bytes);
}

bool hasValidPercentEncoding(const QByteArray &text)
{
    for (int i = text.indexOf('%'); i >= 0; i = text.indexOf('%', i + 1)) {
        if (i + 2 >= text.size() || !isHexDigit(text.at(i + 1)) || !isHexDigit(text.at(i + 2)))
            return false;
    }
    return true;
}

QByteArray rawQueryValue(const QByteArray &rawQuery, const QByteArray &key)
{
    const QUrlQuery query(QString::fromLatin1(rawQuery));
    const QString name = QString::fromLatin1(key);
    if (!query.hasQueryItem(name))
        return {};
    // Present without "=" counts as an empty value, not as absent.
    QByteArray value = query.queryItemValue(name, QUrl::FullyEncoded).toLatin1();
    return value.isNull() ? QByteArray("") : value;
}

QString decodeLatin1Value(const QByteArray &rawValue)
{
    return QString::fromLatin1(QByteArray::fromPercentEncoding(rawValue));
}

QByteArray maskedQuery(const QByteArray &rawQuery)
{
    QList<QByteArray> pairs = rawQuery.split('&');
    for (QByteArray &pair : pairs) {
        const int equals = pair.indexOf('=');
        const QByteArray name = equals < 0 ? pair : pair.left(equals);
        if (QByteArray::fromPercentEncoding(name).toLower() == "password")
            pair = name + "=***";
    }
    return pairs.join('&');
}

QByteArray requestLogLine(const QDateTime &time, const QByteArray &method, const QByteArray &target)
{
    const int question = target.indexOf('?');
    QByteArray shown
        = question < 0 ? target : target.left(question) + '?' + maskedQuery(target.mid(question + 1));
    QByteArray safe;
    for (char c : shown) {
        const auto u = static_cast<unsigned char>(c);
        if (u > 0x20 && u < 0x7F)
            safe += c;
        else
            safe += '%' + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
    }
    QByteArray safeMethod;
    for (char c : method)
        safeMethod += (c > 0x20 && c < 0x7F) ? c : '?';
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1() + ' ' + safeMethod + ' '
        + safe;
}

QByteArray connectionFile(const DemoDesktop &desktop, const QString &host, quint16 port, const QString &user)
{
    QByteArray address = withoutControls(host);
    // An IPv6 literal needs brackets, or its colons would run into the port.
    if (address.contains(':') && !address.startsWith('['))
        address = '[' + address + ']';

    QList<QByteArray> lines;
    lines << "full address:s:" + address + ':' + QByteArray::number(port);
    const QByteArray userName = withoutControls(user);
    if (!userName.isEmpty())
        lines << "username:s:" + userName;
    lines << "screen mode id:i:1"
          << "use multimon:i:0"
          << "audiomode:i:0"
          << "redirectclipboard:i:1"
          << "authentication level:i:0"
          << "prompt for credentials:i:0";
    lines << desktop.extraSettings;

    QByteArray file;
    for (const QByteArray &line : std::as_const(lines))
        file += line + "\r\n";
    return file;
}

static QByteArray page(const QString &title, const QString &bodyHtml)
{
    static const QString style = QStringLiteral(
        "body{margin:0;font-family:'Segoe UI',Helvetica,Arial,sans-serif;background:#eef1f5;color:#1d2733}"
        "header{display:flex;justify-content:space-between;align-items:center;padding:14px 28px;"
        "background:#1f4e79;color:#fff}"
        "header h1{margin:0;font-size:20px;font-weight:600}"
        "header a{color:#fff;text-decoration:none;border:1px solid #fff;border-radius:4px;padding:4px 12px}"
        "main{max-width:720px;margin:28px auto;padding:0 20px}"
        ".card{background:#fff;border-radius:8px;box-shadow:0 1px 3px rgba(0,0,0,.12);padding:18px 24px;"
        "margin-bottom:18px}"
        "ul.desktops{list-style:none;margin:0;padding:0}"
        "ul.desktops li{padding:10px 0;border-bottom:1px solid #e3e7ec}"
        "ul.desktops li:last-child{border-bottom:none}"
        "ul.desktops a{font-weight:600;color:#1f4e79}"
        "ul.desktops span{display:block;font-size:13px;color:#5b6b7c}"
        "code{background:#f3f5f8;padding:1px 5px;border-radius:3px}");
    const QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                                        "<title>")
        + title.toHtmlEscaped() + QStringLiteral("</title><style>") + style
        + QStringLiteral("</style></head>\n<body>\n") + bodyHtml + QStringLiteral("\n</body></html>\n");
    return html.toUtf8();
}

QByteArray portalPage(const QString &userName, bool passwordGiven, const QString &serialId,
    bool serialIdValid, const QList<DemoDesktop> &desktops)
{
    QString serial;
    if (!serialIdValid)
        serial = QStringLiteral("invalid");
    else if (serialId.isEmpty())
        serial = QStringLiteral("(none)");
    else
        serial = escaped(serialId);

    QString list;
    for (const DemoDesktop &desktop : desktops) {
        list += QStringLiteral("<li><a href=\"/desktops/") + QString::fromLatin1(desktop.name)
            + QStringLiteral(".rdp\">") + escaped(desktop.title) + QStringLiteral("</a><span>")
            + escaped(desktop.description) + QStringLiteral("</span></li>\n");
    }

    const QString body = QStringLiteral("<header><h1>Velmo demo portal</h1>"
                                        "<a id=\"exit\" href=\"/logout/abouttarsen\">Sign out</a></header>\n"
                                        "<main>\n<section class=\"card\">"
                                        "<p>Signed in as <strong id=\"user\">")
        + escaped(userName) + QStringLiteral("</strong></p><p>Password: <span id=\"password\">")
        + (passwordGiven ? QStringLiteral("received") : QStringLiteral("missing"))
        + QStringLiteral("</span></p><p>Terminal serial id: <code id=\"serial\">") + serial
        + QStringLiteral("</code></p></section>\n<section class=\"card\"><h2>Your desktops</h2>\n"
                         "<ul class=\"desktops\">\n")
        + list + QStringLiteral("</ul></section>\n</main>");
    return page(QStringLiteral("Velmo demo portal"), body);
}

QByteArray notSignedInPage()
{
    return page(QStringLiteral("Velmo demo portal"),
        QStringLiteral("<header><h1>Velmo demo portal</h1></header>\n<main><section class=\"card\">"
                       "<p>Not signed in.</p><p>The launcher signs in by opening this address with "
                       "<code>?username=&hellip;&amp;password=&hellip;&amp;sid=&hellip;&amp;a=a</code>."
                       "</p></section></main>"));
}

QByteArray signedOutPage()
{
    return page(QStringLiteral("Signed out"),
        QStringLiteral("<header><h1>Velmo demo portal</h1></header>\n<main><section class=\"card\">"
                       "<p>Signed out.</p><p><a href=\"/\">Back to the portal</a></p>"
                       "</section></main>"));
}

QByteArray messagePage(const QString &title, const QString &message)
{
    return page(title,
        QStringLiteral("<header><h1>") + escaped(title)
            + QStringLiteral("</h1></header>\n<main>"
                             "<section class=\"card\"><p>")
            + escaped(message) + QStringLiteral("</p></section></main>"));
}

} // namespace PortalContent
